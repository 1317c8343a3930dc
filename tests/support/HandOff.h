// The plug-in's hand-off of a whole brush level, for tests that build brushes by hand: the faces
// decided as an import decides them (EditorBrushes), then sent through the editor's table.
#pragma once

#include <string>
#include <vector>

#include "brush/FrontFaces.h"
#include "import/EditorFaces.h"
#include "plugin/SendBrushes.h"

inline void HandOffBrushLevel(const TBrushLevel& Brushes, const std::string& FacePrefix,
                              const std::string& NonVisTex = std::string(),
                              const std::vector<texfit::TClassicFit>* Fits = nullptr) {
  TLevelNames names;
  names.FacePrefix = FacePrefix;
  TFacePolicy policy;
  policy.Names = &names;
  policy.NonVisTex = NonVisTex;
  if (Fits) policy.Fits = *Fits;
  SendBrushesToHost(EditorBrushes(Brushes, policy), nullptr);
}
