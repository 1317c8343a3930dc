#include "brush/DrawnAdjoins.h"

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
