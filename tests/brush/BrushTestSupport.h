// Shared by the brush tests: settings for a conversion, levels built by hand, and the rule that
// every face plane of a slab brush faces out of it.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "brush/BrushConvert.h"
#include "import/BrushStages.h"
#include "plugin/main.h"
#include "rtl/Classes.h"

namespace brush_test {

// Scale and BrushDepth of a conversion, as a host resolves them.
inline TSlabSettings Slab(double scale, double depth) {
  TSlabSettings slab;
  slab.Scale.Value = scale;
  slab.Depth.Value = depth;
  return slab;
}

// A level assembled from polygons, as the reader would leave it.
class LevelBuilder {
 public:
  TJKLevel Level;
  void NewSector() {
    sector_ = Level.Sectors.Items(Level.Sectors.Add(std::make_unique<T3DMesh>()));
  }
  TSurface* AddSurface(const std::vector<TVector3>& corners, int adjoin = -1, int flags = 0,
                       const std::string& material = "dflt.mat") {
    if (!sector_) NewSector();
    TSurface* s = Level.Surfaces.Items(Level.Surfaces.Add(std::make_unique<TSurface>()));
    for (const TVector3& c : corners)
      s->AddVertex(
          Level.Vertices.Items(Level.Vertices.Add(std::make_unique<TVertex>(c.X, c.Y, c.Z))),
          nullptr);
    s->Adjoin = adjoin;
    s->Flags = flags;
    s->MaterialName = material;
    sector_->AddSurface(s);
    return s;
  }

 private:
  T3DMesh* sector_ = nullptr;
};

struct Vec {
  double x, y, z;
};
inline Vec Of(const TVertex* v) { return {v->X, v->Y, v->Z}; }
inline Vec Of(const TVector3& v) { return {v.X, v.Y, v.Z}; }
inline Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec Cross(Vec a, Vec b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double Len(Vec a) { return std::sqrt(Dot(a, a)); }

// How far the plane of the face, taken through the three points the editor is given (first
// corner, second corner, centre), faces out of the brush: the cosine between
// (first - second) x (centre - second) and (face centre - brush centre). Positive means out.
// Returns NaN for a face whose three points are (nearly) in line.
inline double OutwardCosine(const T3DMesh& brush, const TSurface& face) {
  TVector3 fc, bc;
  face.GetCentre(fc);
  brush.Vertices.GetCentre(bc);
  Vec p1 = Of(face.Vertices.Items(0)), p2 = Of(face.Vertices.Items(1)), p3 = Of(fc);
  Vec n = Cross(Sub(p1, p2), Sub(p3, p2));
  Vec out = Sub(Of(fc), Of(bc));
  double scale = Len(Sub(p1, p2)) * Len(Sub(p3, p2));
  if (scale == 0 || Len(n) < 1e-6 * scale || Len(out) == 0) return std::nan("");
  return Dot(n, out) / (Len(n) * Len(out));
}

}  // namespace brush_test
