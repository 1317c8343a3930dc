#include "preview/Camera.h"

#include <algorithm>
#include <cmath>

#include "level/Vec3.h"

namespace preview {

namespace {

using vec::Dot;

TVector3 Vec(double X, double Y, double Z) {
  return TVector3{static_cast<float>(X), static_cast<float>(Y), static_cast<float>(Z)};
}

// A camera frame looking along heading (from +X, counter-clockwise) and pitch (down positive).
void Frame(double Heading, double Pitch, TVector3& Right, TVector3& Up, TVector3& Forward) {
  const double ch = std::cos(Heading), sh = std::sin(Heading);
  const double cp = std::cos(Pitch), sp = std::sin(Pitch);
  Forward = Vec(cp * ch, cp * sh, -sp);
  Right = Vec(sh, -ch, 0);
  Up = Vec(sp * ch, sp * sh, cp);  // right x forward
}

}  // namespace

TCamera::TCamera(TView View, const std::vector<TVector3>& Points, int Width, int Height,
                 float Margin) {
  if (View == TView::Top) {
    right_ = TVector3{1, 0, 0};
    up_ = TVector3{0, 1, 0};
    forward_ = TVector3{0, 0, -1};
  } else {
    // Horizontal heading 45 degrees between +X and +Y, pitched down by atan(1 / sqrt 2).
    Frame(std::atan(1.0), std::atan(1.0 / std::sqrt(2.0)), right_, up_, forward_);
  }
  halfWidth_ = Width / 2.0;
  halfHeight_ = Height / 2.0;
  if (Points.empty()) return;
  double minX = Dot(Points[0], right_), maxX = minX;
  double minY = Dot(Points[0], up_), maxY = minY;
  for (const TVector3& p : Points) {
    const double x = Dot(p, right_), y = Dot(p, up_);
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  centreX_ = (minX + maxX) / 2;
  centreY_ = (minY + maxY) / 2;
  const double room = 2.0 * Margin;
  const double availX = std::max(1.0, Width - room), availY = std::max(1.0, Height - room);
  const double spanX = maxX - minX, spanY = maxY - minY;
  if (spanX > 0 || spanY > 0)
    scale_ = std::min(spanX > 0 ? availX / spanX : availY / spanY,
                      spanY > 0 ? availY / spanY : availX / spanX);
}

TCamera::TCamera(const TEye& Eye, int Width, int Height) : eye_(Eye.Position), perspective_(true) {
  const double degrees = std::atan(1.0) / 45;
  Frame(Eye.Yaw * degrees, Eye.Pitch * degrees, right_, up_, forward_);
  halfWidth_ = Width / 2.0;
  halfHeight_ = Height / 2.0;
  scale_ = halfWidth_;  // tan(45 degrees) = 1: the picture's edge is as far out as ahead
}

TCamera::TProjected TCamera::Project(const TVector3& P) const {
  const double x = (Dot(P, right_) - centreX_) * scale_ + halfWidth_;
  const double y = halfHeight_ - (Dot(P, up_) - centreY_) * scale_;
  return TProjected{static_cast<float>(x), static_cast<float>(y),
                    static_cast<float>(Dot(P, forward_))};
}

TVector3 TCamera::ToView(const TVector3& P) const {
  const TVector3 d = Vec(static_cast<double>(P.X) - eye_.X, static_cast<double>(P.Y) - eye_.Y,
                         static_cast<double>(P.Z) - eye_.Z);
  return Vec(Dot(d, right_), Dot(d, up_), Dot(d, forward_));
}

TCamera::TScreen TCamera::ToScreen(const TVector3& View) const {
  if (!perspective_)
    return TScreen{static_cast<float>((View.X - centreX_) * scale_ + halfWidth_),
                   static_cast<float>(halfHeight_ - (View.Y - centreY_) * scale_), 1};
  const double w = View.Z;
  return TScreen{static_cast<float>(halfWidth_ + View.X / w * scale_),
                 static_cast<float>(halfHeight_ - View.Y / w * scale_), static_cast<float>(w)};
}

bool TCamera::Faces(const TVector3& P, const TVector3& N) const {
  if (!perspective_) return Dot(N, forward_) < 0;
  const TVector3 d = Vec(static_cast<double>(P.X) - eye_.X, static_cast<double>(P.Y) - eye_.Y,
                         static_cast<double>(P.Z) - eye_.Z);
  return Dot(N, d) < 0;
}

}  // namespace preview
