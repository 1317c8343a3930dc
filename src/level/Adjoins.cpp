#include "level/Adjoins.h"

#include <vector>

bool IsDrawnAdjoin(const TSurface& Surface) {
  return Surface.Adjoin != -1 && Surface.MaterialIndex != -1 && Surface.GeoMode != 0;
}

std::unordered_map<const TSurface*, const TSurface*> MirrorSurfaces(const TJKLevel& Level) {
  const int adjoins = static_cast<int>(Level.Adjoins.size());
  std::vector<const TSurface*> owner(Level.Adjoins.size(), nullptr);
  for (int i = 0; i < Level.Surfaces.Count(); ++i) {
    const TSurface* s = Level.Surfaces.Items(i);
    if (s->Adjoin >= 0 && s->Adjoin < adjoins && !owner[static_cast<size_t>(s->Adjoin)])
      owner[static_cast<size_t>(s->Adjoin)] = s;
  }
  std::unordered_map<const TSurface*, const TSurface*> mirrors;
  for (int i = 0; i < Level.Surfaces.Count(); ++i) {
    const TSurface* s = Level.Surfaces.Items(i);
    if (s->Adjoin < 0 || s->Adjoin >= adjoins) continue;
    const int32_t m = Level.Adjoins[static_cast<size_t>(s->Adjoin)];
    if (m < 0 || m >= adjoins) continue;
    const TSurface* mirror = owner[static_cast<size_t>(m)];
    if (mirror && mirror != s) mirrors[s] = mirror;
  }
  return mirrors;
}
