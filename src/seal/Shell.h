// The structural shell that seals a level for a map compiler: axis-aligned boxes in the closed
// space that touches the open space, so the playable space is enclosed whatever the slabs do where
// slanted planes meet. The slabs then only carry the look (as detail brushes).
//
// A cell is open when it may overlap a region (a sector: a convex polyhedron, or its bounding
// box when it is not convex) or holds one of the given points (the entities written with the
// map). The overlap test is conservative: a cell is closed only when one plane of a region has
// all eight corners of the cell in front of it, so no closed cell holds playable space.
//
// The cells form an octree: a cube that lies inside a region is open whole, a cube that meets no
// region and no point is closed whole, and only a cube a region's boundary crosses is split, down
// to the grid's cell. Open air and solid rock thus cost one cube each however large they are, and
// the tree grows with the area of the level's boundary, not with its volume. Every closed cube
// that touches an open one through a face, an edge or a corner is shell.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace shell {

using TPoint = std::array<double, 3>;

// A point p lies in front of (outside) the plane when Normal . p > Offset.
struct TPlane {
  TPoint Normal;
  double Offset;
};

// A convex region: the intersection of the planes' back sides, within its bounds (the planes
// may be empty: the region is then its bounds).
struct TRegion {
  std::vector<TPlane> Planes;
  TPoint Min, Max;
};

struct TBox {
  TPoint Min, Max;
};

struct TShellOptions {
  double Cell = 64;      // the grid's cell size
  double Limit = 65536;  // no box reaches beyond +-Limit on any axis
  // With a budget (not 0), a shell of more boxes, or a boundary of more grid cells than 16 times
  // as many, is built again on a grid twice as coarse, until it fits: the cost and the map
  // compiler's work stay bounded on levels whose boundary is vast or slanted.
  size_t BoxBudget = 0;
};

// A shell and the cell size it was built on.
struct TShell {
  std::vector<TBox> Boxes;
  double Cell = 0;
};

// How far a corner may lie in front of a plane and the cell still count as overlapping: the
// rounding of the level's coordinates must not close a cell that a wall merely touches.
constexpr double OverlapTolerance = 0.01;

// Whether the cell of integer coordinates (I, J, K) (covering [I*Cell, (I+1)*Cell) and so on)
// may overlap Region.
bool CellMayOverlap(const TRegion& Region, int I, int J, int K, double Cell);

// Whether Point lies in Region, within the tolerance.
bool RegionHolds(const TRegion& Region, const TPoint& Point);

// The shell's boxes: every closed cube touching an open one through a face, an edge or a corner,
// cut to one cell beyond the open space, then merged greedily (along z, then x, then y) where two
// boxes share a whole face. Regions and points that are not finite are passed over.
TShell BuildShellOf(const std::vector<TRegion>& Regions, const std::vector<TPoint>& Points,
                    const TShellOptions& Options);

// The boxes of BuildShellOf.
std::vector<TBox> BuildShell(const std::vector<TRegion>& Regions, const std::vector<TPoint>& Points,
                             const TShellOptions& Options);

}  // namespace shell
