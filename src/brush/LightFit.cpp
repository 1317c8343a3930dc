#include "brush/LightFit.h"

#include <cmath>
#include <unordered_set>

#include "brush/DrawnAdjoins.h"

namespace {

// A surface the game lights from its corners: drawn (a material and a geometry mode), not the
// sky, not fully lit (light mode 0), a wall or a drawn adjoin.
bool LitSurface(const TSurface& S, const TJKLevel::TSurfaceLight& Light) {
  return S.MaterialIndex != -1 && S.GeoMode != 0 && Light.LightMode != 0 &&
         !(S.Flags & SkySurfaceFlags) && S.Vertices.Count() >= 3;
}

struct TSectorShape {
  double X = 0, Y = 0, Z = 0, Radius = 0;
};

// The mean of a sector's corners (each vertex once) and the farthest of them from it.
TSectorShape Shape(const T3DMesh& Sector) {
  std::unordered_set<const TVertex*> seen;
  std::vector<const TVertex*> corners;
  for (int k = 0; k < Sector.Surfaces.Count(); ++k) {
    const TSurface* s = Sector.Surfaces.Items(k);
    for (int c = 0; c < s->Vertices.Count(); ++c)
      if (seen.insert(s->Vertices.Items(c)).second) corners.push_back(s->Vertices.Items(c));
  }
  TSectorShape shape;
  if (corners.empty()) return shape;
  for (const TVertex* v : corners) shape.X += v->X, shape.Y += v->Y, shape.Z += v->Z;
  const double n = static_cast<double>(corners.size());
  shape.X /= n, shape.Y /= n, shape.Z /= n;
  for (const TVertex* v : corners) {
    const double dx = v->X - shape.X, dy = v->Y - shape.Y, dz = v->Z - shape.Z;
    shape.Radius = std::fmax(shape.Radius, std::sqrt(dx * dx + dy * dy + dz * dz));
  }
  return shape;
}

}  // namespace

TLightFit FitGameLights(const TJKLevel& Level, double Scale) {
  TLightFit fit;
  for (size_t i = 0; i < Level.Lights.size(); ++i) {
    const TLightRec& light = *Level.Lights[i];
    // The table's first value is the intensity, the second the range.
    const double intensity = light.Value1, range = light.Value2;
    if (intensity < 0) {
      ++fit.DroppedNegative;
      continue;
    }
    if (!(intensity > 0) || !(range > 0) || !std::isfinite(intensity) || !std::isfinite(range)) {
      ++fit.DroppedNoRange;
      continue;
    }
    TFitLight out;
    const float s = static_cast<float>(Scale);
    out.Origin = TVector3{light.Position.X * s, light.Position.Y * s, light.Position.Z * s};
    out.Light = static_cast<float>(LightUnit * intensity / LinearLightScale);
    out.Fade = static_cast<float>(LightUnit * intensity / (range * Scale));
    out.Source = static_cast<int>(i);
    fit.Lights.push_back(out);
  }

  // The extra light of each lit surface (its own and its sector's), and of each sector the mean
  // over its lit surfaces.
  const int sectors = Level.Sectors.Count();
  std::vector<double> sectorSum(static_cast<size_t>(sectors), 0);
  std::vector<int> sectorLit(static_cast<size_t>(sectors), 0);
  double sum = 0;
  int lit = 0;
  std::unordered_map<const TSurface*, size_t> index;
  for (int i = 0; i < Level.Surfaces.Count(); ++i) index.emplace(Level.Surfaces.Items(i), i);
  for (int i = 0; i < sectors; ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    const double sectorExtra = static_cast<size_t>(i) < Level.SectorExtraLight.size()
                                   ? Level.SectorExtraLight[static_cast<size_t>(i)]
                                   : 0;
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      const size_t at = index[s];
      if (at >= Level.SurfaceLights.size()) continue;
      const TJKLevel::TSurfaceLight& light = Level.SurfaceLights[at];
      if (!LitSurface(*s, light) || (s->Adjoin != -1 && !IsDrawnAdjoin(*s))) continue;
      const double extra = light.ExtraLight + sectorExtra;
      if (!std::isfinite(extra)) continue;
      sum += extra, ++lit;
      sectorSum[static_cast<size_t>(i)] += extra;
      ++sectorLit[static_cast<size_t>(i)];
    }
  }
  const double mean = lit > 0 ? sum / lit : 0;
  fit.MinLight = static_cast<float>(LightUnit * std::fmax(0, std::fmin(1, mean)));
  for (int i = 0; i < sectors; ++i) {
    const size_t u = static_cast<size_t>(i);
    if (sectorLit[u] == 0) continue;
    const double above = std::fmin(1, sectorSum[u] / sectorLit[u]) - std::fmax(0, mean);
    if (!(above > 0)) continue;
    const TSectorShape shape = Shape(*Level.Sectors.Items(i));
    const double reach = FillReach * shape.Radius * Scale;
    if (!(reach > 0)) continue;
    TFitLight fill;
    fill.Origin = TVector3{static_cast<float>(shape.X * Scale), static_cast<float>(shape.Y * Scale),
                           static_cast<float>(shape.Z * Scale)};
    fill.Light = static_cast<float>(LightUnit * above / LinearLightScale);
    fill.Fade = static_cast<float>(LightUnit * above / reach);
    fill.Sector = i;
    fit.Lights.push_back(fill);
  }
  return fit;
}
