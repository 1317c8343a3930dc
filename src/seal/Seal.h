// What a level needs to become a map that a game's compiler seals: its sectors as regions for
// the shell (brush/Shell.h), the shell's boxes as brushes, the things that lie in no sector,
// the entities buried in a slab, and the world's edge.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "brush/O_brush.h"
#include "brush/Reach.h"
#include "level/O_jkl.h"
#include "level/Progress.h"
#include "level/SpatialGrid.h"
#include "seal/Shell.h"

// Each sector of Level in editor units (coordinates times Scale): the convex polyhedron its
// surfaces bound, each plane moved out just enough to hold its own surface's corners; a sector
// that is not convex within the overlap tolerance, or has a surface without area, is its
// bounding box. A sector without corners has no region; RegionOf (when given) receives each
// sector's region index, or -1.
std::vector<shell::TRegion> SectorRegions(const TJKLevel& Level, double Scale,
                                          std::vector<int>* RegionOf = nullptr);

// Whether P lies in at least one of Regions.
bool InAnyRegion(const std::vector<shell::TRegion>& Regions, const shell::TPoint& P);

// Regions with a grid of their bounds, so that the region holding each of many points is looked
// for among the few near it.
class TRegionIndex {
 public:
  explicit TRegionIndex(const std::vector<shell::TRegion>& Regions);
  // As InAnyRegion; Hint, when it is an index of Regions, is tried first (the region a point
  // was made in).
  bool Holds(const shell::TPoint& P, int Hint = -1) const;

 private:
  const std::vector<shell::TRegion>& regions_;
  TSpatialGrid grid_;
  mutable std::vector<int> near_;
};

// Appends one brush of the kind ShellBox and six faces per box: eight corners, no material,
// flags 0; each face's first two corners and centre give an outward normal, as on a slab.
void AddShellBrushes(const std::vector<shell::TBox>& Boxes, T3DMeshList& Brushes);

// The bounds of Brushes[0, Count), computed once, so that the brush holding each of many points
// is found by comparing numbers first.
struct TBrushBounds {
  std::vector<shell::TBox> Bounds;
  explicit TBrushBounds(const T3DMeshList& Brushes, int Count);
  // The first of Brushes[0, Count) that holds P more than 0.01 unit inside every face plane, or -1.
  int Holding(const T3DMeshList& Brushes, const shell::TPoint& P) const;

 private:
  TSpatialGrid grid_;  // of the bounds that hold anything
  mutable std::vector<int> near_;
};

// The compiler's block size for a level that spans [Min, Max] (editor units), per axis: 1024
// (the compiler's own) unless the level spans more than 512 such blocks, then doubled on the
// axis of the most blocks until it spans no more. Each block of open air the compiler cuts is
// one more cluster for vis; a level tens of thousands of units across would be cut into
// thousands of them, while without blocks the compiler's choice of split planes grows with the
// square of the faces of a node.
std::array<int, 3> ChooseBlockSize(const shell::TPoint& Min, const shell::TPoint& Max);

// The point to start a player from in Region: above the middle of its bounds, 25 units above its
// floor there (where a standing player's feet are 1 unit above it), or halfway up a region lower
// than 50 units.
shell::TPoint StartPoint(const shell::TRegion& Region);

// The limits of the game's map format that a map can pass: brushes, brush sides and planes.
struct TCompileLimits {
  int Brushes = 32768;
  int BrushSides = 131072;
  int Planes = 131072;
};

// One line when the brush level passes one of Limits or the world's edge, naming each limit and
// what to do; empty otherwise. Planes are counted as the compiler keeps them: a face plane and
// its reverse are two, planes closer than it tells apart one.
std::string CompileLimitsLine(const TBrushLevel& BrushLevel,
                              const TCompileLimits& Limits = TCompileLimits());

// Seals the brush level a conversion just filled: its slabs become detail, the shell's boxes
// follow them as structural brushes. With Entities (a host that writes the things and lights),
// those in no sector are marked stray, each with one console line, and the others open the
// shell's cells and are checked for lying inside a slab (one console line each). Stray things
// and lights are also marked without Seal. Sealed with entities, a level whose sectors hold no
// player start gets one at the StartPoint of its largest sector (one console line), and a level
// with a single one gets an "info_player_start" at its place and facing besides, for the game's
// single player. Sealed, one console line says when the map passes the compiler's limits.
// With Entities and Fill, each of Fill's points is marked inside a sector or not (one line
// counts those outside); those inside open the shell's cells like the entities.
// Console receives the lines. The result: the compiler's block size for the sealed level
// (ChooseBlockSize), or all 0 without Seal.
struct TSealFill {
  std::vector<shell::TPoint> Points;  // lights the map holds besides the level's own
  std::vector<int> Sectors;           // the sector each was made in (-1 or none: not known)
  std::vector<bool> Inside;           // set by the seal: whether each lies in a sector
};
std::array<int, 3> SealBrushLevel(const TJKLevel& Level, TBrushLevel& BrushLevel, double Scale,
                                  bool Seal, bool Entities, const TConsoleProc& Console,
                                  TSealFill* Fill = nullptr);
