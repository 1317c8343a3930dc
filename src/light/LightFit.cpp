#include "light/LightFit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>

#include "level/Adjoins.h"
#include "level/SpatialGrid.h"
#include "light/LightOcclusion.h"

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

// A corner the game lit, where the fit compares: its place and facing (level units), its sector
// and the game's light there (0 to 1).
struct TCorner {
  double X, Y, Z, NX, NY, NZ;
  int Sector;
  double Target;
};

// A light the fit may use: where it stands, how far it reaches (level units), its strength at
// weight 1, and which corners it may light (any, or those of its sector and the sectors next to
// it: the compiler's own shadows decide the rest).
struct TCandidate {
  double X, Y, Z, Reach, Strength;
  int Sector = -1;  // -1: any corner
  int Source = -1, FillSector = -1;
  std::vector<std::pair<size_t, double>> Column;  // corner and light at weight 1
};

double Basis(const TCandidate& C, const TCorner& P) {
  const double dx = C.X - P.X, dy = C.Y - P.Y, dz = C.Z - P.Z;
  // A linear light without angle falloff still lights only what faces it.
  if (dx * P.NX + dy * P.NY + dz * P.NZ <= 0) return 0;
  const double d = std::sqrt(dx * dx + dy * dy + dz * dz);
  return d < C.Reach ? C.Strength * (1 - d / C.Reach) : 0;
}

// Whether the compiler's light from C reaches corner P: the segment between them, from just in
// front of the corner, crosses none of the level's solid surfaces.
bool Visible(const TOccluders& Occluders, const TCandidate& C, const TCorner& P) {
  const double from[3] = {P.X + CornerLift * P.NX, P.Y + CornerLift * P.NY,
                          P.Z + CornerLift * P.NZ};
  const double to[3] = {C.X, C.Y, C.Z};
  return Occluders.Clear(from, to);
}

// Calls Visit(sector, surface, its light record, the sector's extra light) for each surface the
// game lit (a solid surface or a drawn adjoin), sector by sector.
template <typename TVisit>
void ForEachLitSurface(const TJKLevel& Level, TVisit Visit) {
  std::unordered_map<const TSurface*, size_t> index;
  for (int i = 0; i < Level.Surfaces.Count(); ++i) index.emplace(Level.Surfaces.Items(i), i);
  // A surface that several sectors list is lit once, with the first of them.
  std::unordered_set<const TSurface*> visited;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    const double sectorExtra = static_cast<size_t>(i) < Level.SectorExtraLight.size()
                                   ? Level.SectorExtraLight[static_cast<size_t>(i)]
                                   : 0;
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      if (Level.SurfacesShared && !visited.insert(s).second) continue;
      const size_t at = index[s];
      if (at >= Level.SurfaceLights.size()) continue;
      const TJKLevel::TSurfaceLight& light = Level.SurfaceLights[at];
      if (!LitSurface(*s, light) || (s->Adjoin != -1 && !IsDrawnAdjoin(*s))) continue;
      Visit(i, *s, light, sectorExtra);
    }
  }
}

// The level's corners the game lit, with the index of each lit surface's first corner.
std::vector<TCorner> LitCorners(const TJKLevel& Level, std::vector<std::vector<size_t>>& BySector,
                                std::vector<std::pair<const TSurface*, int>>& Surfaces) {
  std::vector<TCorner> corners;
  BySector.assign(static_cast<size_t>(Level.Sectors.Count()), {});
  ForEachLitSurface(Level, [&](int i, const TSurface& surface, const TJKLevel::TSurfaceLight& light,
                               double sectorExtra) {
    const TSurface* s = &surface;
    const double nx = s->Normal.X, ny = s->Normal.Y, nz = s->Normal.Z;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (!(length > 0)) return;
    Surfaces.emplace_back(s, i);
    for (int c = 0; c < s->Vertices.Count(); ++c) {
      const size_t slot = static_cast<size_t>(light.First) + static_cast<size_t>(c);
      const double intensity = slot < Level.Intensities.size() ? Level.Intensities[slot] : 0;
      const double target = intensity + light.ExtraLight + sectorExtra;
      if (!std::isfinite(target)) continue;
      const TVertex* v = s->Vertices.Items(c);
      BySector[static_cast<size_t>(i)].push_back(corners.size());
      corners.push_back(TCorner{v->X, v->Y, v->Z, nx / length, ny / length, nz / length, i,
                                std::fmax(0, std::fmin(1, target))});
    }
  });
  return corners;
}

// Sectors next to each other through an adjoin.
std::vector<std::vector<int>> Neighbours(const TJKLevel& Level) {
  const int sectors = Level.Sectors.Count();
  std::vector<std::vector<int>> next(static_cast<size_t>(sectors));
  std::unordered_map<const TSurface*, int> sectorOf;
  for (int i = 0; i < sectors; ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k)
      sectorOf.emplace(sector->Surfaces.Items(k), i);
  }
  // In the level's order of surfaces, not the map's: the order of a column's corners is the
  // order of the fit's sums, which must not hang on where the surfaces lie in memory.
  const auto mirrors = MirrorSurfaces(Level);
  for (int s = 0; s < Level.Surfaces.Count(); ++s) {
    const TSurface* surface = Level.Surfaces.Items(s);
    const auto m = mirrors.find(surface);
    if (m == mirrors.end()) continue;
    const auto a = sectorOf.find(surface), b = sectorOf.find(m->second);
    if (a != sectorOf.end() && b != sectorOf.end() && a->second != b->second)
      next[static_cast<size_t>(a->second)].push_back(b->second);
  }
  return next;
}

// The calibrated lights as candidates, and a fill for every sector the calibration left
// without one.
std::vector<TCandidate> LightCandidates(const TJKLevel& Level, const TLightFit& Calibrated,
                                        const std::vector<std::vector<size_t>>& BySector,
                                        double Scale) {
  std::vector<TCandidate> candidates;
  for (const TFitLight& light : Calibrated.Lights) {
    TCandidate c;
    if (light.Source >= 0) {
      const TLightRec& rec = *Level.Lights[static_cast<size_t>(light.Source)];
      c.X = rec.Position.X, c.Y = rec.Position.Y, c.Z = rec.Position.Z;
      c.Reach = rec.Value2, c.Strength = rec.Value1, c.Source = light.Source;
    } else {
      c.X = light.Origin.X / Scale, c.Y = light.Origin.Y / Scale, c.Z = light.Origin.Z / Scale;
      c.Strength = 1, c.Sector = c.FillSector = light.Sector;
      c.Reach = light.Light * LinearLightScale / light.Fade / Scale;
    }
    candidates.push_back(std::move(c));
  }
  std::vector<bool> filled(static_cast<size_t>(Level.Sectors.Count()), false);
  for (const TCandidate& c : candidates)
    if (c.FillSector >= 0) filled[static_cast<size_t>(c.FillSector)] = true;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    if (filled[static_cast<size_t>(i)] || BySector[static_cast<size_t>(i)].empty()) continue;
    const TSectorShape shape = Shape(*Level.Sectors.Items(i));
    TCandidate c;
    c.X = shape.X, c.Y = shape.Y, c.Z = shape.Z, c.Reach = FillReach * shape.Radius;
    c.Strength = 1, c.Sector = c.FillSector = i;
    if (c.Reach > 0) candidates.push_back(std::move(c));
  }
  return candidates;
}

// A light before a lit surface, a sixth of its radius out, reaching its corners and a little
// beyond; inside its sector: in front of every surface of it, nearer the surface where the
// sector is thin; a sector that is not convex may refuse every place, and gets one close by.
TCandidate SurfaceCandidate(const TJKLevel& Level, const TSurface& S, int Sector) {
  TVector3 centre;
  S.GetCentre(centre);
  double radius = 0;
  for (int k = 0; k < S.Vertices.Count(); ++k) {
    const TVertex* v = S.Vertices.Items(k);
    const double dx = v->X - centre.X, dy = v->Y - centre.Y, dz = v->Z - centre.Z;
    radius = std::fmax(radius, std::sqrt(dx * dx + dy * dy + dz * dz));
  }
  const double length =
      std::sqrt(S.Normal.X * S.Normal.X + S.Normal.Y * S.Normal.Y + S.Normal.Z * S.Normal.Z);
  const double nx = S.Normal.X / length, ny = S.Normal.Y / length, nz = S.Normal.Z / length;
  const T3DMesh* home = Level.Sectors.Items(Sector);
  auto inside = [home](double x, double y, double z) {
    for (int k = 0; k < home->Surfaces.Count(); ++k) {
      const TSurface* o = home->Surfaces.Items(k);
      if (o->Vertices.Count() == 0) continue;
      const TVertex* v = o->Vertices.Items(0);
      if (o->Normal.X * (x - v->X) + o->Normal.Y * (y - v->Y) + o->Normal.Z * (z - v->Z) <= 0)
        return false;
    }
    return true;
  };
  double out = radius / 6;
  for (int tries = 0; tries < 4; ++tries, out /= 2)
    if (inside(centre.X + nx * out, centre.Y + ny * out, centre.Z + nz * out)) break;
  TCandidate c;
  c.X = centre.X + nx * out, c.Y = centre.Y + ny * out, c.Z = centre.Z + nz * out;
  c.Reach = radius + out, c.Strength = 1, c.Sector = Sector;
  return c;
}

// The surface lights of one sector and one block of the compiler's light grid (LightGridCell)
// become one: the grid, which lights models and players, blends them anyway, and the surfaces
// themselves get the game's light from a bake. It stands at their mean and reaches every corner
// they reach.
std::vector<TCandidate> GridCandidates(const std::vector<TCandidate>& Surface, double Scale) {
  std::map<std::tuple<int64_t, int64_t, int64_t, int>, std::vector<const TCandidate*>> cells;
  for (const TCandidate& c : Surface)
    cells[{static_cast<int64_t>(std::floor(c.X * Scale / LightGridCell[0])),
           static_cast<int64_t>(std::floor(c.Y * Scale / LightGridCell[1])),
           static_cast<int64_t>(std::floor(c.Z * Scale / LightGridCell[2])), c.Sector}]
        .push_back(&c);
  std::vector<TCandidate> out;
  for (const auto& [cell, members] : cells) {
    TCandidate merged;
    merged.X = merged.Y = merged.Z = merged.Reach = 0;
    merged.Strength = 1, merged.Sector = std::get<3>(cell);
    for (const TCandidate* c : members) merged.X += c->X, merged.Y += c->Y, merged.Z += c->Z;
    const double n = static_cast<double>(members.size());
    merged.X /= n, merged.Y /= n, merged.Z /= n;
    for (const TCandidate* c : members) {
      const double dx = c->X - merged.X, dy = c->Y - merged.Y, dz = c->Z - merged.Z;
      merged.Reach = std::fmax(merged.Reach, c->Reach + std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    out.push_back(std::move(merged));
  }
  return out;
}

// Each candidate's column: the corners it lights at weight 1 and sees past the level's solid
// surfaces (as the compiler traces its shadows), those of its sector (all, when it has none) and
// then of each sector next to it in turn, each sector's in the level's order. A
// grid of the corners hands a candidate only those within its reach, in that same order, so the
// fit's sums are the ones a walk over every corner gives.
void Columns(std::vector<TCandidate>& Candidates, const std::vector<TCorner>& Corners,
             const std::vector<std::vector<int>>& Next, const TOccluders& Occluders) {
  std::vector<double> reaches;
  for (const TCandidate& c : Candidates) reaches.push_back(c.Reach);
  TSpatialGrid grid(TSpatialGrid::CellFor(reaches));
  for (size_t k = 0; k < Corners.size(); ++k) {
    const double at[3] = {Corners[k].X, Corners[k].Y, Corners[k].Z};
    grid.Add(static_cast<int>(k), at, at);
  }
  std::vector<int> near;
  for (TCandidate& c : Candidates) {
    const double lo[3] = {c.X - c.Reach, c.Y - c.Reach, c.Z - c.Reach};
    const double hi[3] = {c.X + c.Reach, c.Y + c.Reach, c.Z + c.Reach};
    grid.Query(lo, hi, near);
    auto take = [&c, &Corners, &Occluders](size_t k) {
      const double b = Basis(c, Corners[k]);
      if (b > 0 && Visible(Occluders, c, Corners[k])) c.Column.emplace_back(k, b);
    };
    if (c.Sector < 0) {
      for (int k : near) take(static_cast<size_t>(k));
      continue;
    }
    // The corners are stored sector by sector: those of one sector are a run of the answer.
    auto run = [&](int Sector) {
      const auto bySector = [&Corners](int k, int s) {
        return Corners[static_cast<size_t>(k)].Sector < s;
      };
      auto first = std::lower_bound(near.begin(), near.end(), Sector, bySector);
      for (; first != near.end() && Corners[static_cast<size_t>(*first)].Sector == Sector; ++first)
        take(static_cast<size_t>(*first));
    };
    run(c.Sector);
    for (int n : Next[static_cast<size_t>(c.Sector)]) run(n);
  }
}

}  // namespace

TLightFit CalibratedLights(const TJKLevel& Level, double Scale) {
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
    // A range so small that the fade is no number a map holds lights nothing either.
    if (!std::isfinite(out.Fade) || !std::isfinite(out.Light)) {
      fit.DroppedTooNarrow.push_back(static_cast<int>(i));
      continue;
    }
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
  ForEachLitSurface(
      Level, [&](int i, const TSurface&, const TJKLevel::TSurfaceLight& light, double sectorExtra) {
        const double extra = light.ExtraLight + sectorExtra;
        if (!std::isfinite(extra)) return;
        sum += extra, ++lit;
        sectorSum[static_cast<size_t>(i)] += extra;
        ++sectorLit[static_cast<size_t>(i)];
      });
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

namespace {

// The map's lights of the fit: each candidate at its weight, in the compiler's units.
TLightFit FittedLights(const TLightFit& Calibrated, const std::vector<TCandidate>& Candidates,
                       const std::vector<double>& Weight, double Ambient, double Scale) {
  TLightFit fit;
  fit.DroppedNegative = Calibrated.DroppedNegative;
  fit.DroppedNoRange = Calibrated.DroppedNoRange;
  fit.DroppedTooNarrow = Calibrated.DroppedTooNarrow;
  // Less than a step of the lightmap everywhere is no light: the sweeps leave such crumbs.
  fit.Ambient = LightUnit * Ambient >= 1 ? static_cast<float>(LightUnit * Ambient) : 0.0f;
  for (size_t j = 0; j < Candidates.size(); ++j) {
    const TCandidate& c = Candidates[j];
    const double strength = LightUnit * Weight[j] * c.Strength;
    // Less than a step of the lightmap where it stands: no light worth a compiler's time.
    if (!(strength >= 1)) continue;
    TFitLight light;
    light.Origin = TVector3{static_cast<float>(c.X * Scale), static_cast<float>(c.Y * Scale),
                            static_cast<float>(c.Z * Scale)};
    light.Light = static_cast<float>(strength / LinearLightScale);
    light.Fade = static_cast<float>(strength / (c.Reach * Scale));
    light.Source = c.Source;
    light.Sector = c.Sector;
    fit.Lights.push_back(light);
  }
  return fit;
}

}  // namespace

// The fit: non-negative weights for the level's lights (in their own shape), a fill light per
// sector and a light before the lit surfaces of each sector in each block of the light grid, and
// a light everywhere (the compiler's "_ambient"), chosen by least squares over the lit corners,
// starting from the calibrated lights. Corners are lit in this model by every candidate they
// face, that reaches them and whose segment to them crosses none of the level's solid surfaces;
// fill and surface lights only light their own sector and the sectors next to it. Coordinate
// descent never raises the squared error, so the fit is at least as close to the game's light as
// the calibrated lights in this model.
TLightFit FitGameLights(const TJKLevel& Level, double Scale) {
  TLightFit calibrated = CalibratedLights(Level, Scale);
  std::vector<std::vector<size_t>> bySector;
  std::vector<std::pair<const TSurface*, int>> surfaces;
  const std::vector<TCorner> corners = LitCorners(Level, bySector, surfaces);
  if (corners.empty()) return calibrated;

  const std::vector<std::vector<int>> next = Neighbours(Level);
  std::vector<TCandidate> candidates = LightCandidates(Level, calibrated, bySector, Scale);
  std::vector<TCandidate> own;
  for (const auto& [s, sector] : surfaces) {
    TCandidate c = SurfaceCandidate(Level, *s, sector);
    if (c.Reach > 0) own.push_back(std::move(c));
  }
  for (TCandidate& c : GridCandidates(own, Scale)) candidates.push_back(std::move(c));
  Columns(candidates, corners, next, TOccluders(Level));

  // Start from the calibrated lights: the level's at their own strength, the fills at theirs.
  std::vector<double> weight(candidates.size(), 0);
  for (size_t j = 0; j < calibrated.Lights.size(); ++j) {
    const TFitLight& light = calibrated.Lights[j];
    weight[j] = light.Source >= 0 ? 1 : light.Light * LinearLightScale / LightUnit;
  }
  std::vector<double> residual(corners.size());
  for (size_t k = 0; k < corners.size(); ++k) residual[k] = corners[k].Target;
  for (size_t j = 0; j < candidates.size(); ++j)
    for (const auto& [k, b] : candidates[j].Column) residual[k] -= weight[j] * b;
  double ambient = 0;
  // A sweep that moves nothing leaves the next ones nothing to move: the fit ends there.
  for (int sweep = 0, moved = 1; sweep < FitSweeps && moved; ++sweep) {
    moved = 0;
    for (size_t j = 0; j < candidates.size(); ++j) {
      const auto& column = candidates[j].Column;
      double bb = 0, br = 0;
      for (const auto& [k, b] : column) bb += b * b, br += b * residual[k];
      if (!(bb > 0)) continue;
      const double w = std::fmax(0, weight[j] + br / bb);
      const double delta = w - weight[j];
      if (delta == 0) continue;
      for (const auto& [k, b] : column) residual[k] -= delta * b;
      weight[j] = w;
      moved = 1;
    }
    double sum = 0;
    for (double r : residual) sum += r;
    const double a = std::fmax(0, ambient + sum / static_cast<double>(corners.size()));
    if (a != ambient) moved = 1;
    for (double& r : residual) r -= a - ambient;
    ambient = a;
  }

  return FittedLights(calibrated, candidates, weight, ambient, Scale);
}

std::vector<TLitPolygon> LitPolygons(const TJKLevel& Level, double Scale) {
  std::vector<TLitPolygon> out;
  const float s = static_cast<float>(Scale);
  ForEachLitSurface(Level, [&](int, const TSurface& surface, const TJKLevel::TSurfaceLight& light,
                               double sectorExtra) {
    const double nx = surface.Normal.X, ny = surface.Normal.Y, nz = surface.Normal.Z;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    const double extra = light.ExtraLight + sectorExtra;
    if (!(length > 0) || !std::isfinite(extra)) return;
    TLitPolygon polygon;
    polygon.Extra = static_cast<float>(extra);
    polygon.Normal = TVector3{static_cast<float>(nx / length), static_cast<float>(ny / length),
                              static_cast<float>(nz / length)};
    for (int c = 0; c < surface.Vertices.Count(); ++c) {
      const size_t slot = static_cast<size_t>(light.First) + static_cast<size_t>(c);
      const double intensity = slot < Level.Intensities.size() ? Level.Intensities[slot] : 0;
      if (!std::isfinite(intensity)) return;
      const TVertex* v = surface.Vertices.Items(c);
      polygon.Corners.push_back(TVector3{v->X * s, v->Y * s, v->Z * s});
      polygon.Light.push_back(static_cast<float>(intensity));
    }
    out.push_back(std::move(polygon));
  });
  return out;
}
