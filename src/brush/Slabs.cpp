#include "brush/Slabs.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>
#include <vector>

#include "brush/EditorPlanes.h"
#include "level/Adjoins.h"

namespace {

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
  const float p1[3] = {b0->X, b0->Y, b0->Z}, p2[3] = {b1->X, b1->Y, b1->Z};
  return PlaneThrough(p1, p2, c);
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
      if (!planes[i].Valid || EditorKeepsPolygon(planes, i)) continue;
      Sides.erase(Sides.begin() + static_cast<std::ptrdiff_t>(i - 2));
      dropped = true;
    }
  }
}

}  // namespace

bool AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes,
                  const TConversionOptions& Options, const TSharedCorners* Shared) {
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
