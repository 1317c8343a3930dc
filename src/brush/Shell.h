// The structural shell that seals a level for a map compiler: axis-aligned boxes on a grid, in
// every closed cell that touches an open one, so the playable space is enclosed whatever the
// slabs do where slanted planes meet. The slabs then only carry the look (as detail brushes).
//
// A cell is open when it may overlap a region (a sector: a convex polyhedron, or its bounding
// box when it is not convex) or holds one of the given points (the entities written with the
// map). The overlap test is conservative: a cell is closed only when one plane of a region has
// all eight corners of the cell in front of it, so no closed cell holds playable space.
//
// Cells are kept per column (x, y) as runs of z: a convex region covers one run of each column
// it touches, so a level's open space costs a few runs per column, however tall or wide it is.
#pragma once

#include <array>
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
};

// How far a corner may lie in front of a plane and the cell still count as overlapping: the
// rounding of the level's coordinates must not close a cell that a wall merely touches.
constexpr double OverlapTolerance = 0.01;

// Whether the cell of integer coordinates (I, J, K) (covering [I*Cell, (I+1)*Cell) and so on)
// may overlap Region.
bool CellMayOverlap(const TRegion& Region, int I, int J, int K, double Cell);

// Whether Point lies in Region, within the tolerance.
bool RegionHolds(const TRegion& Region, const TPoint& Point);

// The shell's boxes: every closed cell touching an open cell through a face, an edge or a
// corner, merged greedily (runs along z, then rows along x, then along y) into boxes.
std::vector<TBox> BuildShell(const std::vector<TRegion>& Regions, const std::vector<TPoint>& Points,
                             const TShellOptions& Options);

}  // namespace shell
