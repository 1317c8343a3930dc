// What an editor of the Radiant family makes of the brushes of a .map file when it loads them:
// each face's plane from its three points as written, a huge polygon on that plane clipped by the
// planes of all the other faces of its brush. A face whose plane an earlier face already has is
// discarded as a duplicate; a face whose polygon is clipped away (or has no plane at all) is
// left without a polygon; a brush with no polygon left is lost. The tests and the bench tool
// map_check measure converted levels with it.
//
// Planes are computed in Singles, as the editor does; the clipping runs in doubles. Planes are
// the same when the dot product of their normals exceeds 1 - NormalTolerance and their distances
// differ by less than 0.01 unit; a point within 0.01 unit of a clipping plane lies on it. The
// loose rule (0.001) is what such editors use; the strict one (normals equal to rounding)
// folds fewer faces together, so that more of them are left for the clipping to lose: a level
// that passes both passes whichever an editor uses in between.
#pragma once

#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace editor_check {

using TFacePoints = std::array<float, 9>;  // the three points of a face line, as written
using TBrushFaces = std::vector<TFacePoints>;

struct TPlane {
  double N[3] = {0, 0, 0};
  double Dist = 0;
  bool Valid = false;  // false: the three points do not span a plane
};

// normal = (p1 - p2) x (p3 - p2) normalised, distance = p1 . normal, every step in Singles.
inline TPlane PlaneOf(const TFacePoints& p) {
  const float a[3] = {p[0] - p[3], p[1] - p[4], p[2] - p[5]};
  const float b[3] = {p[6] - p[3], p[7] - p[4], p[8] - p[5]};
  const float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                      a[0] * b[1] - a[1] * b[0]};
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  TPlane plane;
  if (!(len > 0) || !std::isfinite(len)) return plane;
  float u[3] = {n[0] / len, n[1] / len, n[2] / len};
  plane.N[0] = u[0];
  plane.N[1] = u[1];
  plane.N[2] = u[2];
  plane.Dist = p[0] * u[0] + p[1] * u[1] + p[2] * u[2];
  plane.Valid = true;
  return plane;
}

struct TRules {
  double NormalTolerance = 0.001;
};
const TRules LooseRules{0.001};
const TRules StrictRules{1e-12};

inline bool SamePlane(const TPlane& a, const TPlane& b, const TRules& rules) {
  return a.Valid && b.Valid &&
         a.N[0] * b.N[0] + a.N[1] * b.N[1] + a.N[2] * b.N[2] > 1 - rules.NormalTolerance &&
         std::fabs(a.Dist - b.Dist) < 0.01;
}

using TWinding = std::vector<std::array<double, 3>>;

// A square of half-size 2^20 on the plane, wound so that its normal is the plane's.
inline TWinding BaseWinding(const TPlane& p) {
  int axis = 0;
  for (int i = 1; i < 3; ++i)
    if (std::fabs(p.N[i]) > std::fabs(p.N[axis])) axis = i;
  double up[3] = {0, 0, 0};
  up[axis == 2 ? 0 : 2] = 1;
  const double d = up[0] * p.N[0] + up[1] * p.N[1] + up[2] * p.N[2];
  for (int i = 0; i < 3; ++i) up[i] -= d * p.N[i];
  const double ul = std::sqrt(up[0] * up[0] + up[1] * up[1] + up[2] * up[2]);
  for (double& c : up) c /= ul;
  const double right[3] = {up[1] * p.N[2] - up[2] * p.N[1], up[2] * p.N[0] - up[0] * p.N[2],
                           up[0] * p.N[1] - up[1] * p.N[0]};
  const double r = 1 << 20;
  TWinding w(4);
  for (int i = 0; i < 3; ++i) {
    const double o = p.N[i] * p.Dist;
    w[0][i] = o - right[i] * r + up[i] * r;
    w[1][i] = o + right[i] * r + up[i] * r;
    w[2][i] = o + right[i] * r - up[i] * r;
    w[3][i] = o - right[i] * r - up[i] * r;
  }
  return w;
}

// Keeps what lies behind the plane. Nothing strictly behind it: the polygon is gone; nothing
// strictly in front: it stays whole.
inline TWinding ClipBehind(const TWinding& in, const TPlane& p, double epsilon = 0.01) {
  std::vector<double> dist(in.size());
  bool front = false, back = false;
  for (size_t i = 0; i < in.size(); ++i) {
    dist[i] = in[i][0] * p.N[0] + in[i][1] * p.N[1] + in[i][2] * p.N[2] - p.Dist;
    front = front || dist[i] > epsilon;
    back = back || dist[i] < -epsilon;
  }
  if (!back) return {};
  if (!front) return in;
  TWinding out;
  for (size_t i = 0; i < in.size(); ++i) {
    const size_t j = (i + 1) % in.size();
    const bool iFront = dist[i] > epsilon, jFront = dist[j] > epsilon;
    const bool iBack = dist[i] < -epsilon, jBack = dist[j] < -epsilon;
    if (!iFront) out.push_back(in[i]);
    if ((iFront && jBack) || (iBack && jFront)) {
      const double t = dist[i] / (dist[i] - dist[j]);
      std::array<double, 3> m;
      for (int k = 0; k < 3; ++k) m[k] = in[i][k] + t * (in[j][k] - in[i][k]);
      out.push_back(m);
    }
  }
  return out;
}

struct TBrushReport {
  int Faces = 0;
  int Duplicates = 0;  // faces on the plane of an earlier face
  int NoPolygon = 0;   // other faces whose polygon is clipped away or that have no plane
  bool Lost = false;   // no face has a polygon
};

inline TBrushReport CheckBrush(const TBrushFaces& faces, const TRules& rules = LooseRules) {
  TBrushReport report;
  report.Faces = static_cast<int>(faces.size());
  std::vector<TPlane> planes;
  for (const TFacePoints& f : faces) planes.push_back(PlaneOf(f));
  int withPolygon = 0;
  for (size_t i = 0; i < planes.size(); ++i) {
    bool duplicate = false;
    for (size_t j = 0; j < i && !duplicate; ++j) duplicate = SamePlane(planes[i], planes[j], rules);
    if (duplicate) {
      ++report.Duplicates;
      continue;
    }
    TWinding w;
    if (planes[i].Valid) w = BaseWinding(planes[i]);
    for (size_t j = 0; j < planes.size() && w.size() >= 3; ++j) {
      if (j == i || !planes[j].Valid || SamePlane(planes[i], planes[j], rules)) continue;
      w = ClipBehind(w, planes[j]);
    }
    if (w.size() >= 3)
      ++withPolygon;
    else
      ++report.NoPolygon;
  }
  report.Lost = withPolygon == 0;
  return report;
}

// The brushes of every entity of a .map text: each "{ ... }" block nested in an entity, of face
// lines beginning "( x y z ) ( x y z ) ( x y z )".
inline std::vector<TBrushFaces> ParseMapBrushes(const std::string& text) {
  std::vector<TBrushFaces> brushes;
  int depth = 0;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line == "{") {
      if (++depth == 2) brushes.emplace_back();
    } else if (line == "}") {
      --depth;
    } else if (depth == 2 && !line.empty() && line[0] == '(') {
      TFacePoints p{};
      const char* s = line.c_str();
      for (int k = 0; k < 9; ++k) {
        while (*s == ' ' || *s == '(' || *s == ')') ++s;
        char* next = nullptr;
        p[static_cast<size_t>(k)] = static_cast<float>(std::strtod(s, &next));
        s = next;
      }
      brushes.back().push_back(p);
    }
  }
  return brushes;
}

struct TMapReport {
  long Brushes = 0, Faces = 0;
  long Duplicates = 0, NoPolygon = 0;
  long BrushesWithProblems = 0;  // with a duplicate or a face without polygon
  long LostBrushes = 0;
};

inline TMapReport CheckMap(const std::string& text, const TRules& rules = LooseRules) {
  TMapReport r;
  for (const TBrushFaces& brush : ParseMapBrushes(text)) {
    const TBrushReport b = CheckBrush(brush, rules);
    ++r.Brushes;
    r.Faces += b.Faces;
    r.Duplicates += b.Duplicates;
    r.NoPolygon += b.NoPolygon;
    r.BrushesWithProblems += (b.Duplicates + b.NoPolygon) > 0;
    r.LostBrushes += b.Lost;
  }
  return r;
}

}  // namespace editor_check
