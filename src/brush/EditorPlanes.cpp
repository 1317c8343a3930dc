#include "brush/EditorPlanes.h"

#include <array>
#include <cmath>

#include "brush/FrontFaces.h"

namespace {

using TWinding = std::vector<std::array<double, 3>>;

// A square of half-size 2^20 on the plane, wound so that its normal is the plane's: where an
// editor starts a face's polygon before the other faces cut it.
TWinding BaseWinding(const TEditorPlane& p) {
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
  const double sx[4] = {-1, 1, 1, -1}, sy[4] = {1, 1, -1, -1};
  TWinding w(4);
  for (size_t k = 0; k < 4; ++k)
    for (int i = 0; i < 3; ++i)
      w[k][static_cast<size_t>(i)] = p.N[i] * p.Dist + sx[k] * right[i] * r + sy[k] * up[i] * r;
  return w;
}

// What of the polygon lies behind the plane, as an editor cuts it: points within 0.01 unit of the
// plane count as on it; nothing strictly behind leaves nothing.
TWinding ClipBehind(const TWinding& in, const TEditorPlane& p) {
  constexpr double Epsilon = 0.01;
  std::vector<double> dist(in.size());
  bool front = false, back = false;
  for (size_t i = 0; i < in.size(); ++i) {
    dist[i] = in[i][0] * p.N[0] + in[i][1] * p.N[1] + in[i][2] * p.N[2] - p.Dist;
    front = front || dist[i] > Epsilon;
    back = back || dist[i] < -Epsilon;
  }
  if (!back || !front) return back ? in : TWinding();
  TWinding out;
  for (size_t i = 0; i < in.size(); ++i) {
    const size_t j = (i + 1) % in.size();
    if (dist[i] <= Epsilon) out.push_back(in[i]);
    if ((dist[i] > Epsilon && dist[j] < -Epsilon) || (dist[i] < -Epsilon && dist[j] > Epsilon)) {
      const double t = dist[i] / (dist[i] - dist[j]);
      std::array<double, 3> m;
      for (size_t k = 0; k < 3; ++k) m[k] = in[i][k] + t * (in[j][k] - in[i][k]);
      out.push_back(m);
    }
  }
  return out;
}

}  // namespace

TEditorPlane PlaneThrough(const float P1[3], const float P2[3], const float P3[3]) {
  const float a[3] = {P1[0] - P2[0], P1[1] - P2[1], P1[2] - P2[2]};
  const float d[3] = {P3[0] - P2[0], P3[1] - P2[1], P3[2] - P2[2]};
  const float n[3] = {a[1] * d[2] - a[2] * d[1], a[2] * d[0] - a[0] * d[2],
                      a[0] * d[1] - a[1] * d[0]};
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  TEditorPlane p;
  if (!(len > 0) || !std::isfinite(len)) return p;
  for (int i = 0; i < 3; ++i) p.N[i] = n[i] / len;
  p.Dist = P1[0] * p.N[0] + P1[1] * p.N[1] + P1[2] * p.N[2];
  p.Valid = true;
  return p;
}

TEditorPlane HandedPlane(const TSurface& Face) {
  float p1[3], p2[3], p3[3];
  HandOffPoints(Face, p1, p2, p3);
  return PlaneThrough(p1, p2, p3);
}

bool EditorTakesAsOne(const TEditorPlane& p, const TEditorPlane& q) {
  return p.Valid && q.Valid &&
         double(p.N[0]) * q.N[0] + double(p.N[1]) * q.N[1] + double(p.N[2]) * q.N[2] > 1 - 0.001 &&
         std::fabs(double(p.Dist) - q.Dist) < 0.01;
}

bool EditorKeepsPolygon(const std::vector<TEditorPlane>& Planes, size_t Face) {
  TWinding w = BaseWinding(Planes[Face]);
  for (size_t j = 0; j < Planes.size() && w.size() >= 3; ++j)
    if (j != Face && Planes[j].Valid && !EditorTakesAsOne(Planes[Face], Planes[j]))
      w = ClipBehind(w, Planes[j]);
  return w.size() >= 3;
}
