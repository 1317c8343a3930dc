#include "brush/O_brush.h"

void TBrushLevel::Clear() {
  Brushes.Clear();
  Entities.Clear();
  Lights.clear();
  StrayThings.clear();
  StrayLights.clear();
  SuffixTexts.clear();
  FittingScale = 0;
  NoScaleFits = false;
}
