// The preview's camera: a parallel projection fitted to what is drawn, so the whole level fills
// the picture whatever its size. Parallel rather than perspective: an overview reads better
// without foreshortening, and depth and texture coordinates then stay affine on screen.
#pragma once

#include <vector>

#include "level/P_vec.h"

namespace preview {

enum class TView {
  Iso,  // from a corner (south-west, looking north-east), 35.26 degrees down: the isometric angle
  Top,  // straight down, north (+Y) up
};

class TCamera {
 public:
  // Fits the points into a Width x Height picture with a margin of Margin pixels on each side
  // of the tighter direction. No points (or a single one) gives a camera that still maps the
  // points to the picture's centre.
  TCamera(TView View, const std::vector<TVector3>& Points, int Width, int Height,
          float Margin = 16);

  // Screen X to the right and Y downwards in pixels; Depth grows away from the viewer.
  struct TProjected {
    float X, Y, Depth;
  };
  TProjected Project(const TVector3& P) const;

  // The direction the camera looks in (unit length).
  TVector3 Forward() const { return forward_; }

 private:
  TVector3 right_, up_, forward_;
  double centreX_ = 0, centreY_ = 0, scale_ = 1;
  double halfWidth_ = 0, halfHeight_ = 0;
};

}  // namespace preview
