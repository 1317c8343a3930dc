#include "light/LightBake.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <unordered_map>

#include "light/GameLightFile.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

struct V3 {
  double X = 0, Y = 0, Z = 0;
};
V3 Sub(const V3& a, const V3& b) { return {a.X - b.X, a.Y - b.Y, a.Z - b.Z}; }
double Dot(const V3& a, const V3& b) { return a.X * b.X + a.Y * b.Y + a.Z * b.Z; }
V3 Cross(const V3& a, const V3& b) {
  return {a.Y * b.Z - a.Z * b.Y, a.Z * b.X - a.X * b.Z, a.X * b.Y - a.Y * b.X};
}
V3 Scaled(const V3& a, double k) { return {a.X * k, a.Y * k, a.Z * k}; }
double Length(const V3& a) { return std::sqrt(Dot(a, a)); }
V3 Of(const TVector3& v) { return {v.X, v.Y, v.Z}; }

// A triangle of a polygon's fan: its corners and their light, its plane, and per edge the
// inward normal within the plane, so that the distance inside is one dot product per edge.
struct TFanTriangle {
  V3 P[3];
  double Light[3];
  double Extra;
  V3 Facing;  // the polygon's normal: the way its surface faces
  V3 Plane;   // the triangle's own unit normal
  V3 Inward[3];
};

// No polygon of any map lies beyond this; a corner farther out is a damaged file's.
constexpr double MaxCoordinate = 1.0e6;

std::vector<TFanTriangle> FanTriangles(const std::vector<TLitPolygon>& Polygons) {
  std::vector<TFanTriangle> out;
  for (const TLitPolygon& p : Polygons) {
    bool inRange = p.Corners.size() == p.Light.size();
    for (const TVector3& c : p.Corners)
      inRange = inRange && std::fabs(c.X) < MaxCoordinate && std::fabs(c.Y) < MaxCoordinate &&
                std::fabs(c.Z) < MaxCoordinate;
    if (!inRange) continue;
    for (size_t k = 1; k + 1 < p.Corners.size(); ++k) {
      TFanTriangle t;
      const size_t at[3] = {0, k, k + 1};
      double longest = 0;
      for (int j = 0; j < 3; ++j) {
        t.P[j] = Of(p.Corners[at[j]]);
        t.Light[j] = p.Light[at[j]];
      }
      for (int j = 0; j < 3; ++j)
        longest = std::fmax(longest, Length(Sub(t.P[(j + 1) % 3], t.P[j])));
      const V3 n = Cross(Sub(t.P[1], t.P[0]), Sub(t.P[2], t.P[0]));
      // Corners in line: the game draws nothing there, and the triangle claims no luxel.
      if (!(Length(n) > 1e-6 * longest * longest)) continue;
      t.Plane = Scaled(n, 1 / Length(n));
      t.Facing = Of(p.Normal);
      t.Extra = p.Extra;
      for (int j = 0; j < 3; ++j) {
        const V3 in = Cross(t.Plane, Sub(t.P[(j + 1) % 3], t.P[j]));
        t.Inward[j] = Scaled(in, 1 / Length(in));
      }
      out.push_back(t);
    }
  }
  return out;
}

// How deep P lies inside the triangle, seen along its plane: the least distance to an edge,
// negative outside.
double Inside(const TFanTriangle& T, const V3& P) {
  double least = std::numeric_limits<double>::infinity();
  for (int j = 0; j < 3; ++j) least = std::fmin(least, Dot(Sub(P, T.P[j]), T.Inward[j]));
  return least;
}

// The weights of P's foot on the triangle's plane; negative outside.
void PlaneWeights(const TFanTriangle& T, const V3& P, double W[3]) {
  const double area = Dot(Cross(Sub(T.P[1], T.P[0]), Sub(T.P[2], T.P[0])), T.Plane);
  for (int j = 0; j < 3; ++j) {
    const V3& a = T.P[(j + 1) % 3];
    W[j] = Dot(Cross(Sub(T.P[(j + 2) % 3], a), Sub(P, a)), T.Plane) / area;
  }
}

// The game's light at P: the corners' light by the weights of the point of the triangle nearest
// to P (P itself inside; on the nearest edge for the luxels along a border), plus the extra
// light.
double GameLight(const TFanTriangle& T, const V3& P) {
  double w[3];
  PlaneWeights(T, P, w);
  if (w[0] < 0 || w[1] < 0 || w[2] < 0) {
    double nearest = std::numeric_limits<double>::infinity();
    for (int j = 0; j < 3; ++j) {
      const int a = (j + 1) % 3, b = (j + 2) % 3;
      const V3 edge = Sub(T.P[b], T.P[a]);
      const double k = std::fmax(0, std::fmin(1, Dot(Sub(P, T.P[a]), edge) / Dot(edge, edge)));
      const V3 foot = Sub(Sub(P, T.P[a]), Scaled(edge, k));
      if (Dot(foot, foot) >= nearest) continue;
      nearest = Dot(foot, foot);
      w[j] = 0, w[a] = 1 - k, w[b] = k;
    }
  }
  return w[0] * T.Light[0] + w[1] * T.Light[1] + w[2] * T.Light[2] + T.Extra;
}

// The triangles by the cubes of space their plane passes near. The cube's size grows until the
// cubes looked at stay within a bound, so that no file makes the index take unbounded work.
class TTriangleGrid {
 public:
  explicit TTriangleGrid(const std::vector<TFanTriangle>& Triangles) : tris_(Triangles) {
    while (!Build()) cell_ *= 2;
  }
  template <typename TVisit>
  void Near(const V3& P, TVisit Visit) const {
    const auto found = cells_.find(Key(Cell(P.X), Cell(P.Y), Cell(P.Z)));
    if (found == cells_.end()) return;
    for (int t : found->second) Visit(tris_[static_cast<size_t>(t)]);
  }

 private:
  static constexpr double Margin = 48;  // a border luxel and the plane's tolerance, in units
  static constexpr long long Budget = 1LL << 26;
  int64_t Cell(double v) const { return static_cast<int64_t>(std::floor(v / cell_)); }
  static int64_t Key(int64_t x, int64_t y, int64_t z) {
    return (x & 0x1fffff) | (y & 0x1fffff) << 21 | (z & 0x1fffff) << 42;
  }
  bool Build() {
    cells_.clear();
    long long work = 0;
    const double reach = cell_ * 0.8660254 + Margin;  // half a cube's diagonal, and the margin
    for (size_t i = 0; i < tris_.size(); ++i) {
      const TFanTriangle& t = tris_[i];
      int64_t lo[3], hi[3];
      for (int a = 0; a < 3; ++a) {
        auto axis = [a](const V3& v) { return a == 0 ? v.X : a == 1 ? v.Y : v.Z; };
        const double l = std::fmin(axis(t.P[0]), std::fmin(axis(t.P[1]), axis(t.P[2])));
        const double h = std::fmax(axis(t.P[0]), std::fmax(axis(t.P[1]), axis(t.P[2])));
        lo[a] = Cell(l - Margin), hi[a] = Cell(h + Margin);
      }
      work += (hi[0] - lo[0] + 1) * (hi[1] - lo[1] + 1) * (hi[2] - lo[2] + 1);
      if (work > Budget) return false;
      for (int64_t x = lo[0]; x <= hi[0]; ++x)
        for (int64_t y = lo[1]; y <= hi[1]; ++y)
          for (int64_t z = lo[2]; z <= hi[2]; ++z) {
            const V3 centre{(x + 0.5) * cell_, (y + 0.5) * cell_, (z + 0.5) * cell_};
            if (std::fabs(Dot(Sub(centre, t.P[0]), t.Plane)) <= reach)
              cells_[Key(x, y, z)].push_back(static_cast<int>(i));
          }
    }
    return true;
  }
  const std::vector<TFanTriangle>& tris_;
  double cell_ = 64;
  std::unordered_map<int64_t, std::vector<int>> cells_;
};

// A triangle of a compiled surface in its lightmap page (luxel units) and in space.
struct TLuxelTriangle {
  double U[3], V[3];
  V3 P[3];
  V3 Normal;
  double LuxelSize;  // units per luxel
};

// Per luxel of the rectangle a surface covers in its page, the triangle of the surface that holds
// the luxel's centre best (at most PageBorder luxels outside it) and the centre's weights in it.
struct THold {
  int Triangle = -1;
  double Depth = -std::numeric_limits<double>::infinity();
  double W[3] = {0, 0, 0};
};
// The luxels a compiled triangle owns in its page: those within a luxel of it, whose light the
// renderer's filter draws across its edges.
constexpr double PageBorder = 1;

struct TRect {
  int X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;  // inclusive; empty when X1 < X0
  int Width() const { return X1 - X0 + 1; }
  size_t Size() const {
    return X1 < X0 || Y1 < Y0 ? 0 : static_cast<size_t>(Width()) * static_cast<size_t>(Y1 - Y0 + 1);
  }
};

std::vector<TLuxelTriangle> LuxelTriangles(const bsp::TRbsp& File, const bsp::TSurface& S) {
  std::vector<TLuxelTriangle> out;
  for (int k = 0; k + 2 < S.NumIndexes; k += 3) {
    TLuxelTriangle t;
    V3 facing;  // the vertices' normals: a compiler winds its triangles either way
    for (int j = 0; j < 3; ++j) {
      const size_t index = static_cast<size_t>(S.FirstIndex + k + j);
      const bsp::TDrawVert& v = File.Verts[static_cast<size_t>(S.FirstVert + File.Indexes[index])];
      t.U[j] = v.Lightmap[0] * bsp::LightmapSize, t.V[j] = v.Lightmap[1] * bsp::LightmapSize;
      t.P[j] = V3{v.Xyz[0], v.Xyz[1], v.Xyz[2]};
      facing = V3{facing.X + v.Normal[0], facing.Y + v.Normal[1], facing.Z + v.Normal[2]};
    }
    const double area =
        (t.U[1] - t.U[0]) * (t.V[2] - t.V[0]) - (t.U[2] - t.U[0]) * (t.V[1] - t.V[0]);
    const V3 n = Cross(Sub(t.P[1], t.P[0]), Sub(t.P[2], t.P[0]));
    if (!(std::fabs(area) > 1e-9) || !(Length(n) > 1e-9) || !std::isfinite(Length(n))) continue;
    t.Normal = Scaled(n, (Dot(n, facing) < 0 ? -1 : 1) / Length(n));
    t.LuxelSize = std::sqrt(Length(n) / std::fabs(area));
    out.push_back(t);
  }
  return out;
}

// The weights of luxel centre (U, V) in T and its least distance inside T's edges, in luxels.
double Weights(const TLuxelTriangle& T, double U, double V, double W[3]) {
  const double area = (T.U[1] - T.U[0]) * (T.V[2] - T.V[0]) - (T.U[2] - T.U[0]) * (T.V[1] - T.V[0]);
  double depth = std::numeric_limits<double>::infinity();
  for (int j = 0; j < 3; ++j) {
    const int a = (j + 1) % 3, b = (j + 2) % 3;
    const double eu = T.U[b] - T.U[a], ev = T.V[b] - T.V[a];
    const double cross = eu * (V - T.V[a]) - ev * (U - T.U[a]);
    W[j] = cross / area;
    const double edge = std::sqrt(eu * eu + ev * ev);
    depth = std::fmin(depth, (area > 0 ? cross : -cross) / edge);
  }
  return depth;
}

// The luxels of the page within PageBorder of any of Tris.
TRect PageRect(const std::vector<TLuxelTriangle>& Tris) {
  TRect r{bsp::LightmapSize, bsp::LightmapSize, -1, -1};
  for (const TLuxelTriangle& t : Tris)
    for (int j = 0; j < 3; ++j) {
      const double u = std::fmax(-1.0, std::fmin(t.U[j], bsp::LightmapSize + 1.0));
      const double v = std::fmax(-1.0, std::fmin(t.V[j], bsp::LightmapSize + 1.0));
      r.X0 = std::min(r.X0, static_cast<int>(std::floor(u - PageBorder)));
      r.Y0 = std::min(r.Y0, static_cast<int>(std::floor(v - PageBorder)));
      r.X1 = std::max(r.X1, static_cast<int>(std::ceil(u + PageBorder)));
      r.Y1 = std::max(r.Y1, static_cast<int>(std::ceil(v + PageBorder)));
    }
  r.X0 = std::max(r.X0, 0), r.Y0 = std::max(r.Y0, 0);
  r.X1 = std::min(r.X1, bsp::LightmapSize - 1), r.Y1 = std::min(r.Y1, bsp::LightmapSize - 1);
  return r;
}

std::vector<THold> Holds(const TRect& R, const std::vector<TLuxelTriangle>& Tris) {
  std::vector<THold> holds(R.Size());
  for (size_t i = 0; i < Tris.size(); ++i) {
    const TLuxelTriangle& t = Tris[i];
    TRect own = PageRect({t});
    own.X0 = std::max(own.X0, R.X0), own.Y0 = std::max(own.Y0, R.Y0);
    for (int y = own.Y0; y <= own.Y1; ++y)
      for (int x = own.X0; x <= own.X1; ++x) {
        double w[3];
        const double depth = Weights(t, x + 0.5, y + 0.5, w);
        THold& h = holds[static_cast<size_t>(y - R.Y0) * static_cast<size_t>(R.Width()) +
                         static_cast<size_t>(x - R.X0)];
        if (depth < -PageBorder || depth <= h.Depth) continue;
        h.Triangle = static_cast<int>(i), h.Depth = depth;
        for (int j = 0; j < 3; ++j) h.W[j] = w[j];
      }
  }
  return holds;
}

// The fan triangle that holds P best, facing as N does; null when none is near enough.
const TFanTriangle* Holder(const TTriangleGrid& Grid, const V3& P, const V3& N, double Border,
                           double& Depth) {
  const TFanTriangle* best = nullptr;
  Depth = -Border;
  Grid.Near(P, [&](const TFanTriangle& t) {
    if (Dot(N, t.Facing) < MaxTurnCos || std::fabs(Dot(Sub(P, t.P[0]), t.Plane)) > PlaneTolerance)
      return;
    const double depth = Inside(t, P);
    if (depth >= Depth) best = &t, Depth = depth;
  });
  return best;
}

struct TPages {
  bsp::TRbsp& File;
  std::vector<double> Depth;  // per luxel of every page: how well its polygon holds it
};

bool BakeSurface(TPages& Pages, const bsp::TSurface& S, const TTriangleGrid& Grid,
                 TBakeCount& Count) {
  const std::vector<TLuxelTriangle> tris = LuxelTriangles(Pages.File, S);
  const TRect rect = PageRect(tris);
  const std::vector<THold> holds = Holds(rect, tris);
  bool baked = false;
  for (int y = rect.Y0; y <= rect.Y1; ++y)
    for (int x = rect.X0; x <= rect.X1; ++x) {
      const THold& h = holds[static_cast<size_t>(y - rect.Y0) * static_cast<size_t>(rect.Width()) +
                             static_cast<size_t>(x - rect.X0)];
      if (h.Triangle < 0) continue;
      const TLuxelTriangle& t = tris[static_cast<size_t>(h.Triangle)];
      V3 p;
      for (int j = 0; j < 3; ++j)
        p.X += h.W[j] * t.P[j].X, p.Y += h.W[j] * t.P[j].Y, p.Z += h.W[j] * t.P[j].Z;
      double depth = 0;
      const TFanTriangle* holder = Holder(Grid, p, t.Normal, BorderLuxels * t.LuxelSize, depth);
      if (!holder) continue;
      const int px = x, py = y;
      const size_t at =
          (static_cast<size_t>(S.LightmapNum) * bsp::LightmapSize + static_cast<size_t>(py)) *
              bsp::LightmapSize +
          static_cast<size_t>(px);
      // Surfaces may share a page's luxels (a compiler shares identical lightmaps): the
      // polygon that holds the luxel best wins.
      double& held = Pages.Depth[at];
      if (depth <= held) continue;
      if (std::isinf(held)) ++Count.Luxels;
      held = depth;
      uint8_t* luxel = Pages.File.Luxel(S.LightmapNum, px, py);
      luxel[0] = luxel[1] = luxel[2] = LuxelValue(GameLight(*holder, p));
      baked = true;
    }
  return baked;
}

}  // namespace

unsigned char LuxelValue(double Light) {
  const double v = std::round(LightUnit * std::fmax(0, std::fmin(1, Light)));
  return static_cast<unsigned char>(std::fmin(255, v));
}

TBakeCount BakeGameLight(bsp::TRbsp& File, const std::vector<TLitPolygon>& Polygons) {
  const std::vector<TFanTriangle> triangles = FanTriangles(Polygons);
  const TTriangleGrid grid(triangles);
  TPages pages{File, std::vector<double>(static_cast<size_t>(File.Lightmaps) * bsp::LightmapSize *
                                             bsp::LightmapSize,
                                         -std::numeric_limits<double>::infinity())};
  TBakeCount count;
  for (const bsp::TSurface& s : File.Surfaces) {
    if (s.LightmapNum < 0) continue;
    if (s.Type != bsp::SurfacePlanar && s.Type != bsp::SurfaceTriangles) continue;
    ++count.Surfaces;
    if (BakeSurface(pages, s, grid, count)) ++count.Baked;
  }
  return count;
}

TBakeCount BakeCompiledLevel(const std::string& BspPath) {
  const std::string lightPath = GameLightPath(BspPath);
  if (rtl::PathKind(lightPath) != rtl::TPathKind::File)
    throw rtl::Exception("No game light file '" + lightPath +
                         "' beside the compiled level: import the level with --lights or "
                         "--game-ready (GameLights=1), compile that map, then bake");
  const TGameLightFile light = ParseGameLight(
      rtl::ReadFileToString(lightPath, MaxGameLightBytes, "a game light file"), lightPath);
  const std::string bytes =
      rtl::ReadFileToString(BspPath, MaxCompiledLevelBytes, "a compiled level");
  bsp::TRbsp file = bsp::ReadRbsp(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  file.Bytes.shrink_to_fit();
  const std::string id = bsp::WorldspawnValue(file.Entities, IdKey);
  if (id.empty())
    throw rtl::Exception("'" + BspPath +
                         "' was not compiled from a map that Morvane wrote with "
                         "the game's light (its worldspawn has no " +
                         IdKey + " key)");
  if (id != light.Id)
    throw rtl::Exception("'" + lightPath + "' belongs to another map than the one '" + BspPath +
                         "' was compiled from: import the level again and compile its map");
  const TBakeCount count = BakeGameLight(file, light.Polygons);
  rtl::WriteFileAtomic(BspPath, std::string(file.Bytes.begin(), file.Bytes.end()));
  return count;
}
