#include "brush/DrawnAdjoins.h"

#include <map>

#include "brush/BrushConvert.h"
#include "rtl/SysUtils.h"

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

bool AddDrawnAdjoinBrush(const TSurface& Surface, const TSurface* Mirror, double Scale,
                         T3DMeshList& Brushes, const TImportOptions& Options) {
  if (!AddSlabBrush(Surface, Scale, DrawnAdjoinDepth, Brushes, Options)) return false;
  T3DMesh* brush = Brushes.Items(Brushes.Count() - 1);
  brush->Brush = TBrushRecord{TBrushKind::DrawnAdjoin, &Surface, true};
  if (brush->Surfaces.Count() > 1)
    brush->Surfaces.Items(1)->MaterialName =
        Mirror && IsDrawnAdjoin(*Mirror) ? Mirror->MaterialName : std::string();
  return true;
}

const TSurface* DrawnAdjoinBack(const T3DMesh& Brush) {
  if (Brush.Brush.Kind != TBrushKind::DrawnAdjoin || Brush.Surfaces.Count() < 2) return nullptr;
  const TSurface* back = Brush.Surfaces.Items(DrawnAdjoinBackFace);
  return back->MaterialName.empty() ? nullptr : back;
}

std::vector<TMaterialLook> LevelMaterialLooks(const TJKLevel& Level, bool Adjoins) {
  struct TUse {
    size_t Order;
    TMaterialLook Look;
    bool OnSolid = false;
  };
  std::map<std::string, TUse> uses;  // by the lower-cased name, as the level compares them
  for (int i = 0; i < Level.Sectors.Count(); ++i) {
    const T3DMesh* sector = Level.Sectors.Items(i);
    for (int k = 0; k < sector->Surfaces.Count(); ++k) {
      const TSurface* s = sector->Surfaces.Items(k);
      const bool solid = s->Adjoin == -1;
      const bool drawn = Adjoins && IsDrawnAdjoin(*s);
      if (s->MaterialIndex == -1 || (!solid && !drawn)) continue;
      auto it = uses.try_emplace(rtl::LowerCase(s->MaterialName), TUse{uses.size(), {}}).first;
      TUse& use = it->second;
      if (use.Look.Material.empty()) use.Look.Material = s->MaterialName;
      if (solid) use.OnSolid = true;
      if (solid && (s->Flags & SkySurfaceFlags)) use.Look.Sky = true;
      if (s->FaceFlags & TranslucentFaceFlag) use.Look.Translucent = true;
      if (drawn) use.Look.SeeThrough = true;
    }
  }
  std::vector<TMaterialLook> looks(uses.size());
  size_t n = 0;
  for (auto& [key, use] : uses) {
    TMaterialLook& look = use.Look;
    look.NonSolid = look.SeeThrough && !use.OnSolid;
    if (look.Sky) look.Translucent = look.SeeThrough = look.NonSolid = false;
    if (!look.Sky && !look.Translucent && !look.SeeThrough) continue;
    looks[use.Order] = look;
    ++n;
  }
  // Keep the order of first use, without the ordinary materials.
  std::vector<TMaterialLook> out;
  out.reserve(n);
  for (TMaterialLook& look : looks)
    if (!look.Material.empty()) out.push_back(std::move(look));
  return out;
}
