#include "light/LightOcclusion.h"

#include <algorithm>
#include <cmath>

namespace {

// The cells along the grid's longest side.
constexpr int MaxCells = 64;
// Parts of the segment this near its ends (a share of its length) are the ends themselves: a
// corner lies on its own surface and its neighbours' planes.
constexpr double EndMargin = 1e-4;
// A crossing this near a polygon's edge (level units) is a graze.
constexpr double EdgeMargin = 1e-5;

}  // namespace

TOccluders::TOccluders(const TJKLevel& Level) {
  double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (int i = 0; i < Level.Surfaces.Count(); ++i) {
    const TSurface* s = Level.Surfaces.Items(i);
    if (s->Adjoin != -1 || s->Vertices.Count() < 3) continue;
    const double n[3] = {s->Normal.X, s->Normal.Y, s->Normal.Z};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0) || !std::isfinite(length)) continue;
    TPolygon p;
    for (int a = 0; a < 3; ++a) p.Normal[a] = n[a] / length;
    for (int c = 0; c < s->Vertices.Count(); ++c) {
      const TVertex* v = s->Vertices.Items(c);
      p.Corners.insert(p.Corners.end(), {v->X, v->Y, v->Z});
    }
    p.Offset = p.Normal[0] * p.Corners[0] + p.Normal[1] * p.Corners[1] + p.Normal[2] * p.Corners[2];
    for (size_t k = 0; k < p.Corners.size(); ++k)
      lo[k % 3] = std::fmin(lo[k % 3], p.Corners[k]),
             hi[k % 3] = std::fmax(hi[k % 3], p.Corners[k]);
    if (std::isfinite(p.Offset)) polygons_.push_back(std::move(p));
  }
  if (polygons_.empty()) return;
  const double longest = std::fmax(hi[0] - lo[0], std::fmax(hi[1] - lo[1], hi[2] - lo[2]));
  size_ = std::fmax(longest / MaxCells, 1e-3);
  for (int a = 0; a < 3; ++a) {
    origin_[a] = lo[a];
    cells_[a] = std::min(MaxCells, static_cast<int>((hi[a] - lo[a]) / size_) + 1);
  }
  grid_.resize(static_cast<size_t>(cells_[0]) * cells_[1] * cells_[2]);
  seen_.assign(polygons_.size(), 0);
  auto cell = [this](double v, int a) {
    return std::max(0, std::min(cells_[a] - 1, static_cast<int>((v - origin_[a]) / size_)));
  };
  for (size_t i = 0; i < polygons_.size(); ++i) {
    int from[3], to[3];
    for (int a = 0; a < 3; ++a) {
      double l = HUGE_VAL, h = -HUGE_VAL;
      for (size_t k = static_cast<size_t>(a); k < polygons_[i].Corners.size(); k += 3)
        l = std::fmin(l, polygons_[i].Corners[k]), h = std::fmax(h, polygons_[i].Corners[k]);
      from[a] = cell(l, a), to[a] = cell(h, a);
    }
    for (int z = from[2]; z <= to[2]; ++z)
      for (int y = from[1]; y <= to[1]; ++y)
        for (int x = from[0]; x <= to[0]; ++x)
          grid_[static_cast<size_t>(CellIndex(x, y, z))].push_back(static_cast<int>(i));
  }
}

bool TOccluders::Crosses(const TPolygon& P, const double A[3], const double B[3]) const {
  const double da = P.Normal[0] * A[0] + P.Normal[1] * A[1] + P.Normal[2] * A[2] - P.Offset;
  const double db = P.Normal[0] * B[0] + P.Normal[1] * B[1] + P.Normal[2] * B[2] - P.Offset;
  if ((da > 0) == (db > 0) || da == db) return false;
  const double t = da / (da - db);
  if (t < EndMargin || t > 1 - EndMargin) return false;
  const double x[3] = {A[0] + t * (B[0] - A[0]), A[1] + t * (B[1] - A[1]),
                       A[2] + t * (B[2] - A[2])};
  // Inside when on the same side of every edge as the polygon's normal says (a convex polygon,
  // either winding).
  int sign = 0;
  const size_t n = P.Corners.size() / 3;
  for (size_t k = 0; k < n; ++k) {
    const double* a = &P.Corners[3 * k];
    const double* b = &P.Corners[3 * ((k + 1) % n)];
    const double e[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double r[3] = {x[0] - a[0], x[1] - a[1], x[2] - a[2]};
    const double c[3] = {e[1] * r[2] - e[2] * r[1], e[2] * r[0] - e[0] * r[2],
                         e[0] * r[1] - e[1] * r[0]};
    const double side = c[0] * P.Normal[0] + c[1] * P.Normal[1] + c[2] * P.Normal[2];
    const double edge = std::sqrt(e[0] * e[0] + e[1] * e[1] + e[2] * e[2]);
    if (!(edge > 0)) continue;
    if (std::fabs(side) <= EdgeMargin * edge) return false;
    const int s = side > 0 ? 1 : -1;
    if (sign != 0 && s != sign) return false;
    sign = s;
  }
  return sign != 0;
}

bool TOccluders::Clear(const double A[3], const double B[3]) const {
  for (int a = 0; a < 3; ++a)
    if (!std::isfinite(A[a]) || !std::isfinite(B[a])) return true;
  if (grid_.empty()) return true;
  ++test_;
  // Only the part of the segment within the grid's box can meet a polygon.
  double d[3], t = 0, end = 1;
  for (int a = 0; a < 3; ++a) {
    d[a] = B[a] - A[a];
    const double lo = origin_[a], hi = origin_[a] + cells_[a] * size_;
    if (d[a] == 0) {
      if (A[a] < lo || A[a] > hi) return true;
      continue;
    }
    const double t0 = (lo - A[a]) / d[a], t1 = (hi - A[a]) / d[a];
    t = std::fmax(t, std::fmin(t0, t1)), end = std::fmin(end, std::fmax(t0, t1));
  }
  if (!(t <= end)) return true;
  // The cells the segment passes, one after another (the grid's own walk along a line).
  double next[3], step[3];
  int at[3], dir[3];
  for (int a = 0; a < 3; ++a) {
    const double u = (A[a] + t * d[a] - origin_[a]) / size_;
    at[a] = std::max(0, std::min(cells_[a] - 1, static_cast<int>(std::floor(u))));
    dir[a] = d[a] > 0 ? 1 : d[a] < 0 ? -1 : 0;
    step[a] = dir[a] != 0 ? size_ / std::fabs(d[a]) : HUGE_VAL;
    const double edge = (dir[a] > 0 ? at[a] + 1 : at[a]) * size_ + origin_[a];
    next[a] = dir[a] != 0 ? (edge - A[a]) / d[a] : HUGE_VAL;
  }
  while (at[0] >= 0 && at[1] >= 0 && at[2] >= 0 && at[0] < cells_[0] && at[1] < cells_[1] &&
         at[2] < cells_[2]) {
    for (int i : grid_[static_cast<size_t>(CellIndex(at[0], at[1], at[2]))]) {
      if (seen_[static_cast<size_t>(i)] == test_) continue;
      seen_[static_cast<size_t>(i)] = test_;
      if (Crosses(polygons_[static_cast<size_t>(i)], A, B)) return false;
    }
    const int a = next[0] < next[1] ? (next[0] < next[2] ? 0 : 2) : (next[1] < next[2] ? 1 : 2);
    if (!(next[a] <= end)) break;
    next[a] += step[a], at[a] += dir[a];
  }
  return true;
}
