#include "preview/Camera.h"

#include <algorithm>
#include <cmath>

namespace preview {

namespace {

double Dot(const TVector3& A, const TVector3& B) {
  return static_cast<double>(A.X) * B.X + static_cast<double>(A.Y) * B.Y +
         static_cast<double>(A.Z) * B.Z;
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
    const double heading = std::atan(1.0), pitch = std::atan(1.0 / std::sqrt(2.0));
    const double ch = std::cos(heading), sh = std::sin(heading);
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    forward_ =
        TVector3{static_cast<float>(cp * ch), static_cast<float>(cp * sh), static_cast<float>(-sp)};
    right_ = TVector3{static_cast<float>(sh), static_cast<float>(-ch), 0};
    // up = right x forward
    up_ =
        TVector3{static_cast<float>(sp * ch), static_cast<float>(sp * sh), static_cast<float>(cp)};
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

TCamera::TProjected TCamera::Project(const TVector3& P) const {
  const double x = (Dot(P, right_) - centreX_) * scale_ + halfWidth_;
  const double y = halfHeight_ - (Dot(P, up_) - centreY_) * scale_;
  return TProjected{static_cast<float>(x), static_cast<float>(y),
                    static_cast<float>(Dot(P, forward_))};
}

}  // namespace preview
