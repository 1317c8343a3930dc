// What stands between a light and a point in a light compiler's eyes: the slabs the importer
// makes of the level's solid surfaces. A segment is blocked where it crosses the front face of
// one of them (its surface's polygon); grazing a polygon's plane or edge is not. A grid of the
// polygons keeps each test to the cells the segment passes.
#pragma once

#include <cstdint>
#include <vector>

#include "level/O_jkl.h"

class TOccluders {
 public:
  explicit TOccluders(const TJKLevel& Level);
  // True when nothing solid lies on the segment from A to B (level units), its ends excluded.
  bool Clear(const double A[3], const double B[3]) const;
  size_t Polygons() const { return polygons_.size(); }

 private:
  struct TPolygon {
    std::vector<double> Corners;  // x, y, z of each corner
    double Normal[3], Offset;     // the plane: Normal . p = Offset
  };
  bool Crosses(const TPolygon& P, const double A[3], const double B[3]) const;
  int CellIndex(int X, int Y, int Z) const { return (Z * cells_[1] + Y) * cells_[0] + X; }

  std::vector<TPolygon> polygons_;
  double origin_[3] = {0, 0, 0}, size_ = 1;  // the grid's corner and cell size
  int cells_[3] = {0, 0, 0};
  std::vector<std::vector<int>> grid_;
  mutable std::vector<uint32_t> seen_;  // the last test that looked at each polygon
  mutable uint32_t test_ = 0;
};
