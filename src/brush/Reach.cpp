#include "brush/Reach.h"

#include <algorithm>
#include <cmath>

#include "level/Adjoins.h"

namespace {

// The largest size a finite point's coordinates take; nothing for a point at no finite place (a
// thing there is left out or refused where entities are written: it is no part of the map).
void Reach(double& reach, double x, double y, double z) {
  if (std::isfinite(x) && std::isfinite(y) && std::isfinite(z))
    reach = std::max({reach, std::fabs(x), std::fabs(y), std::fabs(z)});
}

// Brushes always; entities and lights when Entities. FiniteOnly leaves out points at no finite
// place; otherwise they make the reach infinite.
double BrushLevelReach(const TBrushLevel& BrushLevel, bool Entities, bool FiniteOnly) {
  double reach = 0;
  auto take = [&](double x, double y, double z) {
    if (FiniteOnly)
      Reach(reach, x, y, z);
    else
      reach = std::max({reach, std::fabs(x), std::fabs(y), std::fabs(z)});
  };
  for (int i = 0; i < BrushLevel.Brushes.Count(); ++i) {
    const T3DMesh* brush = BrushLevel.Brushes.Items(i);
    for (int k = 0; k < brush->Vertices.Count(); ++k) {
      const TVertex* v = brush->Vertices.Items(k);
      take(v->X, v->Y, v->Z);
    }
  }
  if (!Entities) return reach;
  for (int i = 0; i < BrushLevel.Entities.Count(); ++i) {
    const TVector3& p = BrushLevel.Entities.Objects(i)->Origin;
    take(p.X, p.Y, p.Z);
  }
  for (const auto& light : BrushLevel.Lights)
    take(light->Position.X, light->Position.Y, light->Position.Z);
  return reach;
}

}  // namespace

double ImportReach(const TJKLevel& Level, const TConversionOptions& Options) {
  double reach = 0;
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      if (s->Adjoin != -1 && !(Options.ImportAdjoins && IsDrawnAdjoin(*s))) continue;
      for (int j = 0; j < s->Vertices.Count(); ++j) {
        const TVector3 p = s->Vertices.Items(j)->Position();
        Reach(reach, p.X, p.Y, p.Z);
      }
    }
  }
  if (!Options.WritesEntities) return reach;
  for (int i = 0; i < Level.Things.Count(); ++i) {
    const TVector3& p = Level.Things.Objects(i)->Origin;
    Reach(reach, p.X, p.Y, p.Z);
  }
  for (const auto& light : Level.Lights)
    Reach(reach, light->Position.X, light->Position.Y, light->Position.Z);
  return reach;
}

double WrittenReach(const TBrushLevel& BrushLevel, bool Entities) {
  return BrushLevelReach(BrushLevel, Entities, true);
}

double MapReach(const TBrushLevel& BrushLevel) { return BrushLevelReach(BrushLevel, true, false); }

double LargestFittingScale(double Reach, double Depth) {
  double scale = 1048576;  // 2^20
  while (scale > 1.0 / 1048576 && Reach * scale + Depth > WorldEdge) scale /= 2;
  return scale;
}
