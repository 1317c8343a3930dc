// What a level needs to become a map that a game's compiler seals: its sectors as regions for
// the shell (brush/Shell.h), the shell's boxes as brushes, the things that lie in no sector,
// the entities buried in a slab, and the world's edge.
#pragma once

#include <string>
#include <vector>

#include "brush/O_brush.h"
#include "brush/Shell.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// The map compiler's and the engine's limit on every coordinate.
constexpr double WorldEdge = 65536;

// Each sector of Level in editor units (coordinates times Scale): the convex polyhedron its
// surfaces bound, each plane moved out just enough to hold its own surface's corners; a sector
// that is not convex within the overlap tolerance, or has a surface without area, is its
// bounding box.
std::vector<shell::TRegion> SectorRegions(const TJKLevel& Level, double Scale);

// Whether P lies in at least one of Regions.
bool InAnyRegion(const std::vector<shell::TRegion>& Regions, const shell::TPoint& P);

// Appends one brush of the kind ShellBox and six faces per box: eight corners, no material,
// flags 0; each face's first two corners and centre give an outward normal, as on a slab.
void AddShellBrushes(const std::vector<shell::TBox>& Boxes, T3DMeshList& Brushes);

// The first of Brushes[0, Count) that holds P more than 0.01 unit inside every face plane, or -1.
int BrushHolding(const T3DMeshList& Brushes, int Count, const shell::TPoint& P);

// The largest coordinate size of the level's solid surfaces, things and lights, in level units.
double LevelReach(const TJKLevel& Level);

// The largest coordinate size of the brushes, entities and lights, in editor units.
double MapReach(const TBrushLevel& BrushLevel);

// The largest power of two that, as the Scale, keeps Reach * Scale + Depth within the world's
// edge (at least 2^-20).
double LargestFittingScale(double Reach, double Depth);

// Seals the brush level a conversion just filled: its slabs become detail, the shell's boxes
// follow them as structural brushes. With Entities (a host that writes the things and lights),
// those in no sector are marked stray, each with one console line, and the others open the
// shell's cells and are checked for lying inside a slab (one console line each). Stray things
// and lights are also marked without Seal. Console receives the lines.
void SealBrushLevel(const TJKLevel& Level, TBrushLevel& BrushLevel, double Scale, bool Seal,
                    bool Entities, const TConsoleProc& Console);
