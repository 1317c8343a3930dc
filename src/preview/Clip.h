// Clipping a face against the perspective camera's near plane: what lies behind the camera or
// too close to it is cut away, and the corners made on the plane carry interpolated texture
// coordinates and light, so a face that crosses the plane is drawn in part, not dropped.
#pragma once

#include <vector>

#include "level/P_vec.h"

namespace preview {

struct TClipVertex {
  TVector3 View;  // in the camera's frame: Z along the view
  float U = 0, V = 0, Light = 1;
};

// The part of the convex polygon In with View.Z >= Near, in the same order (empty when none).
void ClipNear(const std::vector<TClipVertex>& In, float Near, std::vector<TClipVertex>& Out);

}  // namespace preview
