#include "brush/Slabs.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <vector>

#include "brush/FrontFaces.h"
#include "level/Adjoins.h"

namespace {

// A face's plane as an editor of the Radiant family computes it from the three points it is
// handed (HandOffPoints: the first two corners and the centre), every step in Singles.
struct TEditorPlane {
  float N[3] = {0, 0, 0};
  float Dist = 0;
  bool Valid = false;
};

TEditorPlane SidePlane(const TVertex* b0, const TVertex* b1, const TVertex* f1, const TVertex* f0) {
  // The centre as GetCentre makes it: running sums in Singles, divided by the count.
  float sum[3] = {0, 0, 0};
  for (const TVertex* v : {b0, b1, f1, f0}) {
    sum[0] = sum[0] + v->X;
    sum[1] = sum[1] + v->Y;
    sum[2] = sum[2] + v->Z;
  }
  const float c[3] = {static_cast<float>(sum[0] / 4.0), static_cast<float>(sum[1] / 4.0),
                      static_cast<float>(sum[2] / 4.0)};
  const float a[3] = {b0->X - b1->X, b0->Y - b1->Y, b0->Z - b1->Z};
  const float d[3] = {c[0] - b1->X, c[1] - b1->Y, c[2] - b1->Z};
  const float n[3] = {a[1] * d[2] - a[2] * d[1], a[2] * d[0] - a[0] * d[2],
                      a[0] * d[1] - a[1] * d[0]};
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  TEditorPlane p;
  if (!(len > 0) || !std::isfinite(len)) return p;
  for (int i = 0; i < 3; ++i) p.N[i] = n[i] / len;
  p.Dist = b0->X * p.N[0] + b0->Y * p.N[1] + b0->Z * p.N[2];
  p.Valid = true;
  return p;
}

// The rule by which such an editor discards a face as a duplicate of an earlier one: normals
// within 0.001 of each other's direction (as a dot product) and distances within 0.01 unit.
bool EditorTakesAsOne(const TEditorPlane& p, const TEditorPlane& q) {
  return p.Valid && q.Valid &&
         double(p.N[0]) * q.N[0] + double(p.N[1]) * q.N[1] + double(p.N[2]) * q.N[2] > 1 - 0.001 &&
         std::fabs(double(p.Dist) - q.Dist) < 0.01;
}

// The sides of a slab, from corner k to corner k + 1 (the last back to the first), in the order
// they are written. An editor of the Radiant family discards a face whose plane it takes for that
// of another face of the brush: where cleaning keeps corners a hair off the line of their
// neighbours (another surface shares them), two sides of a slab can lie on one plane by that rule.
// The later of two is left out, as the editor would leave it out (the brush changes by no more
// than the rule allows), so that the editor has nothing to discard.
std::vector<std::pair<size_t, size_t>> SidesOnDistinctPlanes(const std::vector<TVertex*>& f,
                                                             const std::vector<TVertex*>& b) {
  const size_t n = f.size();
  std::vector<std::pair<size_t, size_t>> sides;
  std::vector<TEditorPlane> planes;
  for (size_t k = n; k-- > 0;) {
    const size_t k1 = (k + 1) % n;
    const TEditorPlane plane = SidePlane(b[k], b[k1], f[k1], f[k]);
    bool same = false;
    for (const TEditorPlane& other : planes) same = same || EditorTakesAsOne(plane, other);
    if (same) continue;
    planes.push_back(plane);
    sides.emplace_back(k, k1);
  }
  return sides;
}

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

TEditorPlane HandedPlane(const TSurface& Face) {
  float p1[3], p2[3], p3[3];
  HandOffPoints(Face, p1, p2, p3);
  const float a[3] = {p1[0] - p2[0], p1[1] - p2[1], p1[2] - p2[2]};
  const float d[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
  const float n[3] = {a[1] * d[2] - a[2] * d[1], a[2] * d[0] - a[0] * d[2],
                      a[0] * d[1] - a[1] * d[0]};
  const float len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  TEditorPlane p;
  if (!(len > 0) || !std::isfinite(len)) return p;
  for (int i = 0; i < 3; ++i) p.N[i] = n[i] / len;
  p.Dist = p1[0] * p.N[0] + p1[1] * p.N[1] + p1[2] * p.N[2];
  p.Valid = true;
  return p;
}

// Where cleaning keeps a corner a hair off the line of its neighbours, the other faces can cut a
// side away entirely, and an editor discards that side. Such sides are left out, one at a time
// until every side keeps a polygon: the brush is then the one the editor would hold.
void DropSidesWithoutPolygon(std::vector<std::pair<size_t, size_t>>& Sides,
                             const std::vector<TVertex*>& f, const std::vector<TVertex*>& b,
                             const TSurface& Front, const TSurface& Back) {
  for (bool dropped = true; dropped;) {
    dropped = false;
    std::vector<TEditorPlane> planes{HandedPlane(Front), HandedPlane(Back)};
    for (const auto& [k0, k1] : Sides) planes.push_back(SidePlane(b[k0], b[k1], f[k1], f[k0]));
    for (size_t i = 2; i < planes.size() && !dropped; ++i) {
      if (!planes[i].Valid) continue;
      TWinding w = BaseWinding(planes[i]);
      for (size_t j = 0; j < planes.size() && w.size() >= 3; ++j)
        if (j != i && planes[j].Valid && !EditorTakesAsOne(planes[i], planes[j]))
          w = ClipBehind(w, planes[j]);
      if (w.size() >= 3) continue;
      Sides.erase(Sides.begin() + static_cast<std::ptrdiff_t>(i - 2));
      dropped = true;
    }
  }
}

}  // namespace

bool AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes,
                  const TImportOptions& Options, const TSharedCorners* Shared) {
  // The surface's corners that make the slab, in order: all of them, or what cleaning keeps.
  std::vector<int> corners;
  if (Options.CleanSlabs) {
    corners = CleanSlabCorners(Surface, Scale, Shared);
    if (corners.empty()) return false;
  } else {
    corners.resize(static_cast<size_t>(Surface.Vertices.Count()));
    std::iota(corners.begin(), corners.end(), 0);
  }
  T3DMesh* brush = Brushes.AddNew();
  const int n = static_cast<int>(corners.size());
  // Sky surfaces (horizon and ceiling) become sky faces in the editor.
  const int flags = (Surface.Flags & SkySurfaceFlags) ? 4 : 0;

  // Corners: n on the front, n on the back, four on each of the n sides; texture vertices for
  // the corners of the front and of the back.
  brush->Reserve(2 * static_cast<size_t>(n), static_cast<size_t>(n) + 2, 6 * static_cast<size_t>(n),
                 2 * static_cast<size_t>(n), 2);

  TSurface* front = brush->AddNewSurface();
  front->MaterialName = Surface.MaterialName;
  front->Flags = flags;
  brush->ReserveCorners(*front, static_cast<size_t>(n), true);
  // A surface whose texture vertices are fewer than its corners has none worth keeping.
  const bool texels =
      CarriesTexels(Options) && Surface.TXVertices.Count() == Surface.Vertices.Count();
  if (texels) front->TXVertexMissing = Surface.TXVertexMissing;
  std::vector<TVertex*> f;  // f[j]: the front face's corner j
  f.reserve(static_cast<size_t>(n));
  for (int k = n - 1; k >= 0; --k) {
    // Source corner c; the texels of corners that cleaning dropped are not used.
    const int c = corners[static_cast<size_t>(k)];
    const TVertex* s = Surface.Vertices.Items(c);
    TVertex* v = brush->AddNewVertex(Scale * s->X, Scale * s->Y, Scale * s->Z);
    // The corner and its texel stay paired through the reversal.
    front->AddVertex(v, texels ? Surface.TXVertices.Items(c) : nullptr);
    f.push_back(v);
  }

  // The corners run backwards, so this is the source surface's own right-hand normal and the
  // slab lies on the side from which the source corners appear clockwise.
  // A surface without corners makes an empty brush (the hand-off passes over its faces); one
  // with a single corner stops here with the vertex list's error for index 1.
  TVector3 normal;
  if ((Options.CleanSlabs || Options.SealLevel) && n >= 3) FitFrontPlane(*front, Surface.Normal);
  if (n > 0) front->GetNormal(normal);

  TSurface* back = brush->AddNewSurface();
  back->MaterialName = Surface.MaterialName;
  back->Flags = flags;
  brush->ReserveCorners(*back, static_cast<size_t>(n), true);
  std::vector<TVertex*> b(static_cast<size_t>(n));  // b[k]: the back corner behind f[k]
  for (int j = n - 1; j >= 0; --j) {
    const TVertex* v = f[static_cast<size_t>(j)];
    TVertex* w = brush->AddNewVertex(v->X - Depth * normal.X, v->Y - Depth * normal.Y,
                                     v->Z - Depth * normal.Z);
    back->AddVertex(w, nullptr);
    b[static_cast<size_t>(j)] = w;
  }

  // One side from each corner to the next; with cleaning, none on the plane of another.
  std::vector<std::pair<size_t, size_t>> sides;
  if (Options.CleanSlabs) {
    sides = SidesOnDistinctPlanes(f, b);
    DropSidesWithoutPolygon(sides, f, b, *front, *back);
  } else {
    for (size_t k = static_cast<size_t>(n); k-- > 0;)
      sides.emplace_back(k, (k + 1) % static_cast<size_t>(n));
  }
  for (const auto& [k0, k1] : sides) {
    TSurface* side = brush->AddNewSurface();
    side->MaterialName = Surface.MaterialName;
    side->Flags = flags;
    brush->ReserveCorners(*side, 4, false);
    side->Vertices.Add(b[k0]);
    side->Vertices.Add(b[k1]);
    side->Vertices.Add(f[k1]);
    side->Vertices.Add(f[k0]);
  }
  return true;
}
