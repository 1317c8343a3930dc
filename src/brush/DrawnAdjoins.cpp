#include "brush/DrawnAdjoins.h"

#include "brush/Slabs.h"
#include "rtl/SysUtils.h"

bool AddDrawnAdjoinBrush(const TSurface& Surface, const TSurface* Mirror, double Scale,
                         T3DMeshList& Brushes, const TConversionOptions& Options) {
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
