// The preview's cameras. The overviews are parallel projections fitted to what is drawn, so the
// whole level fills the picture whatever its size: they read better without foreshortening.
// The eye camera is a perspective one placed like a player (or anywhere), 90 degrees across.
#pragma once

#include <vector>

#include "level/P_vec.h"

namespace preview {

enum class TView {
  Iso,  // from a corner (south-west, looking north-east), 35.26 degrees down: the isometric angle
  Top,  // straight down, north (+Y) up
  Eye,  // perspective, from a point in a direction
};

// A point of view in the editor's units and angles: yaw 0 looks along +X and turns
// counter-clockwise seen from above; a positive pitch looks down.
struct TEye {
  TVector3 Position;
  float Yaw = 0, Pitch = 0;  // degrees
};

class TCamera {
 public:
  // A parallel view (Iso or Top) that fits the points into a Width x Height picture with a
  // margin of Margin pixels on each side of the tighter direction. No points (or a single one)
  // gives a camera that still maps the points to the picture's centre.
  TCamera(TView View, const std::vector<TVector3>& Points, int Width, int Height,
          float Margin = 16);
  // A perspective view from Eye, 90 degrees across the picture's width.
  TCamera(const TEye& Eye, int Width, int Height);

  // Parallel views: screen X to the right and Y downwards in pixels; Depth grows away from the
  // viewer.
  struct TProjected {
    float X, Y, Depth;
  };
  TProjected Project(const TVector3& P) const;

  // A point in the camera's frame: X to the right, Y up, Z along the view (for a parallel view,
  // the same Depth as Project gives).
  TVector3 ToView(const TVector3& P) const;
  // Where a point of the camera's frame lies on screen; for the perspective view Z must be at
  // least Near. W is the point's distance along the view (1 for a parallel view).
  struct TScreen {
    float X, Y, W;
  };
  TScreen ToScreen(const TVector3& View) const;

  bool Perspective() const { return perspective_; }
  // Nothing nearer than this along the view is drawn by the perspective camera (editor units).
  static constexpr float Near = 1.0f;
  // Whether the front of a surface through P with normal N faces the camera.
  bool Faces(const TVector3& P, const TVector3& N) const;

  // The direction the camera looks in (unit length).
  TVector3 Forward() const { return forward_; }

 private:
  TVector3 right_, up_, forward_, eye_{};
  bool perspective_ = false;
  double centreX_ = 0, centreY_ = 0, scale_ = 1;
  double halfWidth_ = 0, halfHeight_ = 0;
};

}  // namespace preview
