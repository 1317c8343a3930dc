#include "brush/O_brush.h"

void TBrushLevel::Clear() {
  Brushes.Clear();
  Entities.Clear();
  Lights.clear();
  StrayThings.clear();
  StrayLights.clear();
  FittingScale = 0;
}
