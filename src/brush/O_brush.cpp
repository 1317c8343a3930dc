#include "brush/O_brush.h"

void TBrushLevel::Clear() {
  Brushes.Clear();
  Entities.Clear();
  Lights.clear();
  Sources.clear();
  ShellBoxes = 0;
  DetailSlabs = false;
  StrayThings.clear();
  StrayLights.clear();
  FittingScale = 0;
  GameLights.reset();
}
