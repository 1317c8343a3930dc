#include "brush/SlabCorners.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <numeric>
#include <unordered_set>
#include <vector>

#include "level/Vec3.h"

namespace {

using vec::Cross;
using vec::Dot;
using vec::Minus;
using vec::TVec3d;

// Twice the area of the polygon of the corners keep, as a vector along its normal (the sum of
// the cross products of the edges from the first corner), and the square of its longest edge.
TVec3d AreaVector(const std::vector<TVec3d>& at, const std::vector<int>& keep, double& longest) {
  TVec3d area{0, 0, 0};
  longest = 0;
  const TVec3d& o = at[static_cast<size_t>(keep[0])];
  for (size_t i = 0; i < keep.size(); ++i) {
    const TVec3d& p = at[static_cast<size_t>(keep[i])];
    const TVec3d& q = at[static_cast<size_t>(keep[(i + 1) % keep.size()])];
    const TVec3d c = Cross(Minus(p, o), Minus(q, o));
    area = {area.X + c.X, area.Y + c.Y, area.Z + c.Z};
    const TVec3d e = Minus(q, p);
    longest = std::max(longest, Dot(e, e));
  }
  return area;
}

// No more area than the rounding of Singles makes of a straight line, against the longest edge.
bool EnclosesArea(const TVec3d& area, double longest) {
  return Dot(area, area) > 1e-12 * longest * longest;
}

std::array<uint32_t, 3> PositionKey(const TVec3d& p) {
  std::array<uint32_t, 3> key;
  const float f[3] = {static_cast<float>(p.X), static_cast<float>(p.Y), static_cast<float>(p.Z)};
  for (int a = 0; a < 3; ++a) std::memcpy(&key[static_cast<size_t>(a)], &f[a], sizeof(float));
  return key;
}

TVec3d Scaled(const TVertex* v, double Scale) {
  return {static_cast<float>(Scale * v->X), static_cast<float>(Scale * v->Y),
          static_cast<float>(Scale * v->Z)};
}

}  // namespace

TSharedCorners SharedCorners(const TJKLevel& Level, double Scale) {
  std::unordered_set<std::array<uint32_t, 3>, TSharedCorners::THash> once;
  TSharedCorners shared;
  // A surface listed by two sectors is still one surface.
  std::unordered_set<const TSurface*> seen;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      if (s->Adjoin != -1 || s->Vertices.Count() < 3 || !seen.insert(s).second) continue;
      std::vector<TVec3d> at;
      std::vector<int> all;
      for (int j = 0; j < s->Vertices.Count(); ++j) {
        at.push_back(Scaled(s->Vertices.Items(j), Scale));
        all.push_back(j);
      }
      double longest = 0;
      if (!EnclosesArea(AreaVector(at, all, longest), longest)) continue;
      std::unordered_set<std::array<uint32_t, 3>, TSharedCorners::THash> own;
      for (const TVec3d& p : at) own.insert(PositionKey(p));
      for (const auto& key : own)
        if (!once.insert(key).second) shared.Positions.insert(key);
    }
  }
  return shared;
}

bool FitFrontPlane(TSurface& Front, const TVector3& LevelNormal) {
  const int n = Front.Vertices.Count();
  if (n < 3) return false;
  std::vector<TVec3d> at(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) at[static_cast<size_t>(k)] = Scaled(Front.Vertices.Items(k), 1);
  TVector3 c;
  Front.GetCentre(c);
  const TVec3d centre{c.X, c.Y, c.Z};
  const TVec3d planeNormal = Cross(Minus(at[0], at[1]), Minus(centre, at[1]));
  const double planeLength = std::sqrt(Dot(planeNormal, planeNormal));
  bool flat = planeLength > 0;
  for (const TVec3d& p : at)
    flat = flat && std::fabs(Dot(planeNormal, Minus(p, at[1]))) <= FlatTolerance * planeLength;
  if (flat) return false;

  // The corners run backwards on the front face: their area turns against the surface's normal.
  std::vector<int> all(static_cast<size_t>(n));
  std::iota(all.begin(), all.end(), 0);
  double longest = 0;
  const TVec3d area = AreaVector(at, all, longest);
  TVec3d normal{-area.X, -area.Y, -area.Z};
  const TVec3d level{LevelNormal.X, LevelNormal.Y, LevelNormal.Z};
  if (Dot(level, level) > 0 && Dot(level, normal) > 0) normal = level;
  const double length = std::sqrt(Dot(normal, normal));
  if (!(length > 0)) return false;
  normal = {normal.X / length, normal.Y / length, normal.Z / length};
  TVec3d mean{0, 0, 0};
  for (const TVec3d& p : at) mean = {mean.X + p.X / n, mean.Y + p.Y / n, mean.Z + p.Z / n};
  for (int k = 0; k < n; ++k) {
    TVertex* v = Front.Vertices.Items(k);
    const TVec3d& p = at[static_cast<size_t>(k)];
    const double off = Dot(normal, Minus(p, mean));
    v->X = static_cast<float>(p.X - off * normal.X);
    v->Y = static_cast<float>(p.Y - off * normal.Y);
    v->Z = static_cast<float>(p.Z - off * normal.Z);
  }
  Front.Normal = MakeVector(static_cast<float>(normal.X), static_cast<float>(normal.Y),
                            static_cast<float>(normal.Z));
  return true;
}

std::vector<int> CleanSlabCorners(const TSurface& Surface, double Scale,
                                  const TSharedCorners* Shared) {
  const int n = Surface.Vertices.Count();
  if (n < 3) return {};
  std::vector<int> keep(static_cast<size_t>(n));
  std::iota(keep.begin(), keep.end(), 0);
  // Compared where the front face will hold them: scaled and rounded to Singles. Coordinates
  // beyond the range of Singles (or so near its top that a face's centre may overflow) have no
  // line or area to judge: the slab is built from every corner, and the conversion's own check
  // names the vertex.
  std::vector<TVec3d> at(static_cast<size_t>(n));
  for (int k = 0; k < n; ++k) {
    const TVertex* s = Surface.Vertices.Items(k);
    const double p[3] = {Scale * s->X, Scale * s->Y, Scale * s->Z};
    for (double c : p)
      if (!(std::fabs(c) * std::max(n, 4) * 1.01 < static_cast<double>(FLT_MAX))) return keep;
    at[static_cast<size_t>(k)] = {static_cast<float>(p[0]), static_cast<float>(p[1]),
                                  static_cast<float>(p[2])};
  }

  // The corners are compared as seen along the surface's normal, the direction in which the
  // slab's side faces run: real surfaces are not quite flat, and a corner that lies off the
  // surface only along that direction makes a side face on its neighbour's plane all the same.
  double longest = 0;
  TVec3d normal = AreaVector(at, keep, longest);
  if (!EnclosesArea(normal, longest)) return {};
  const double length = std::sqrt(Dot(normal, normal));
  normal = {normal.X / length, normal.Y / length, normal.Z / length};

  auto same = [&](int a, int b) {
    const TVec3d &p = at[static_cast<size_t>(a)], &q = at[static_cast<size_t>(b)];
    return p.X == q.X && p.Y == q.Y && p.Z == q.Z;
  };
  // How far b lies off the line through a and c, both seen along the normal: in line within
  // FlatTolerance, however long the edges (a share of a long edge could be far more than the
  // neighbouring surface, which keeps its corner, leaves open). A spike that turns back on
  // itself lies on the line too, and so does a corner that only lies behind its neighbour.
  auto inLine = [&](int a, int b, int c) {
    const TVec3d ab = Minus(at[static_cast<size_t>(b)], at[static_cast<size_t>(a)]);
    const TVec3d ac = Minus(at[static_cast<size_t>(c)], at[static_cast<size_t>(a)]);
    const double acAlong = Dot(normal, ac);
    const double ac2 = std::max(0.0, Dot(ac, ac) - acAlong * acAlong);
    const double off = Dot(normal, Cross(ac, ab));
    if (ac2 > 0 && off * off > FlatTolerance * FlatTolerance * ac2) return false;
    // Where another surface has a corner, its slab meets this one there: a corner off the line
    // by more than the rounding of Singles stays, or a sliver would open beside that slab.
    const bool straight =
        !(ac2 > 0) || off * off <= SharedCornerTolerance * SharedCornerTolerance * ac2;
    return straight || !Shared || !Shared->Positions.count(PositionKey(at[static_cast<size_t>(b)]));
  };

  // A repeat of the corner before it goes first; the last corner repeats the first.
  keep.erase(std::unique(keep.begin(), keep.end(), same), keep.end());
  while (keep.size() > 1 && same(keep.back(), keep.front())) keep.pop_back();
  // Dropping a corner changes what its neighbours lie between, so sweep until nothing goes.
  for (bool dropped = true; dropped && keep.size() >= 3;) {
    dropped = false;
    for (size_t i = 0; i < keep.size() && keep.size() >= 3;) {
      const size_t m = keep.size();
      if (inLine(keep[(i + m - 1) % m], keep[i], keep[(i + 1) % m])) {
        keep.erase(keep.begin() + static_cast<std::ptrdiff_t>(i));
        dropped = true;
      } else {
        ++i;
      }
    }
  }
  if (keep.size() < 3) return {};
  // What is left may still fold onto itself (a figure that doubles back).
  if (!EnclosesArea(AreaVector(at, keep, longest), longest)) return {};
  // Nor is a sliver narrower than a map compiler's plane tolerance a surface: its slab would be
  // chopped away to nothing.
  const TVec3d area = AreaVector(at, keep, longest);
  if (Dot(area, area) < MinSlabWidth * MinSlabWidth * longest) return {};
  return keep;
}
