// A whole map as one text, for tests that compare what the editor holds with a .map.
#pragma once

#include <string>
#include <vector>

#include "import/MapWriter.h"

// One worldspawn holding every brush in commit order; Skipped receives the brushes left out.
inline std::string WriteMap(const std::vector<TEditorBrush>& Brushes, int& Skipped) {
  std::string out;
  TMapWriter writer([&](const char* data, size_t size) { out.append(data, size); });
  writer.BeginWorldspawn();
  for (const TEditorBrush& brush : Brushes) writer.WriteBrush(brush);
  writer.EndEntity();
  writer.Flush();
  Skipped = writer.Skipped();
  return out;
}
