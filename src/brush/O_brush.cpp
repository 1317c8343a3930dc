#include "brush/O_brush.h"

void TBrushLevel::Clear() {
  Brushes.Clear();
  Entities.Clear();
  Lights.clear();
  Sources.clear();
  ShellBoxes = 0;
  DetailSlabs = false;
  BlockSize = {0, 0, 0};
  StrayThings.clear();
  StrayLights.clear();
  FittingScale = 0;
}
