#include "brush/O_brush.h"

void TBrushLevel::Clear() {
  Brushes.Clear();
  Entities.Clear();
  Lights.clear();
  Sources.clear();
}
