#include "preview/Raster.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace preview {

namespace {

// One edge of a triangle. Its function is evaluated from the edge's lower end (the smaller of
// its two points by Y, then X), whichever way the triangle runs along it, so two triangles that
// share the edge compute exactly opposite values at every pixel centre and tell coverage of the
// edge apart without a gap or a double.
struct TEdge {
  double OX, OY, DX, DY;
  double Sign;  // +1 when the triangle runs from the lower end, -1 the other way
  bool Owned;   // whether pixel centres exactly on the edge belong to this triangle

  TEdge(double PX, double PY, double QX, double QY) {
    const bool forward = PY < QY || (PY == QY && PX < QX);
    OX = forward ? PX : QX;
    OY = forward ? PY : QY;
    DX = (forward ? QX : PX) - OX;
    DY = (forward ? QY : PY) - OY;
    Sign = forward ? 1.0 : -1.0;
    // Run from P to Q: positive values lie inside. Of the two runs along one edge exactly one
    // goes downwards, or leftwards along a row.
    const double rx = QX - PX, ry = QY - PY;
    Owned = ry > 0 || (ry == 0 && rx < 0);
  }
  double At(double x, double y) const { return Sign * (DX * (y - OY) - DY * (x - OX)); }
  bool Covers(double value) const { return value > 0 || (value == 0 && Owned); }
};

// An attribute that varies affinely over the screen: value = Base + DX * x + DY * y.
struct TGradient {
  double Base, DX, DY;
  TGradient(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C, double Area,
            float TScreenVertex::*Field) {
    const double a = A.*Field, b = B.*Field - a, c = C.*Field - a;
    const double bx = B.X - A.X, by = B.Y - A.Y, cx = C.X - A.X, cy = C.Y - A.Y;
    DX = (b * cy - c * by) / Area;
    DY = (c * bx - b * cx) / Area;
    Base = a - DX * A.X - DY * A.Y;
  }
  double At(double x, double y) const { return Base + DX * x + DY * y; }
};

// The texel index along one axis: floor(t) wrapped into [0, size).
int Wrap(double t, int size) {
  if (!(std::fabs(t) < 1e15)) return 0;
  long long i = static_cast<long long>(std::floor(t)) % size;
  return static_cast<int>(i < 0 ? i + size : i);
}

}  // namespace

TTexture::TTexture(int Width, int Height, const uint8_t* BGRA) {
  levels_.push_back(TLevel{Width, Height,
                           std::vector<uint8_t>(BGRA, BGRA + static_cast<size_t>(Width) *
                                                                 static_cast<size_t>(Height) * 4)});
  while (levels_.back().Width > 1 || levels_.back().Height > 1) {
    const TLevel& from = levels_.back();
    TLevel to{std::max(1, from.Width / 2), std::max(1, from.Height / 2), {}};
    to.BGRA.resize(static_cast<size_t>(to.Width) * static_cast<size_t>(to.Height) * 4);
    for (int y = 0; y < to.Height; ++y)
      for (int x = 0; x < to.Width; ++x) {
        // The 2 x 2 block below (x, y), or what of it the level before has.
        const int xs[2] = {std::min(2 * x, from.Width - 1), std::min(2 * x + 1, from.Width - 1)};
        const int ys[2] = {std::min(2 * y, from.Height - 1), std::min(2 * y + 1, from.Height - 1)};
        for (int c = 0; c < 4; ++c) {
          int sum = 0;
          for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i)
              sum += from.BGRA[(static_cast<size_t>(ys[j]) * static_cast<size_t>(from.Width) +
                                static_cast<size_t>(xs[i])) *
                                   4 +
                               static_cast<size_t>(c)];
          to.BGRA[(static_cast<size_t>(y) * static_cast<size_t>(to.Width) +
                   static_cast<size_t>(x)) *
                      4 +
                  static_cast<size_t>(c)] = static_cast<uint8_t>((sum + 2) / 4);
        }
      }
    levels_.push_back(std::move(to));
  }
}

TTextureView TTexture::Level(int Index) const {
  const TLevel& level = levels_[static_cast<size_t>(Index)];
  return TTextureView{level.Width, level.Height, level.BGRA.data()};
}

TColour Shaded(TColour Colour, float Shade) {
  const float clamped = Shade < 0 ? 0 : Shade > 1 ? 1 : Shade;
  const int k = static_cast<int>(std::lround(clamped * 256.0f));
  auto scale = [k](uint8_t c) { return static_cast<uint8_t>((c * k + 128) >> 8); };
  return TColour{scale(Colour.R), scale(Colour.G), scale(Colour.B)};
}

TRaster::TRaster(int Width, int Height, TColour Background) {
  image_.Width = Width;
  image_.Height = Height;
  const size_t pixels = static_cast<size_t>(Width) * static_cast<size_t>(Height);
  image_.RGB.resize(pixels * 3);
  for (size_t i = 0; i < pixels; ++i) {
    image_.RGB[i * 3] = Background.R;
    image_.RGB[i * 3 + 1] = Background.G;
    image_.RGB[i * 3 + 2] = Background.B;
  }
  depth_.assign(pixels, std::numeric_limits<float>::infinity());
}

void TRaster::DrawTriangle(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                           const TTexture* Texture, TColour Flat, float Shade) {
  // Twice the signed area; the corners are taken in the order that makes it positive.
  const double area = (static_cast<double>(B.X) - A.X) * (static_cast<double>(C.Y) - A.Y) -
                      (static_cast<double>(B.Y) - A.Y) * (static_cast<double>(C.X) - A.X);
  if (!(std::fabs(area) > 0) || !std::isfinite(area)) return;
  const TScreenVertex& b = area > 0 ? B : C;
  const TScreenVertex& c = area > 0 ? C : B;
  const double twiceArea = std::fabs(area);

  const double minX = std::min({A.X, b.X, c.X}), maxX = std::max({A.X, b.X, c.X});
  const double minY = std::min({A.Y, b.Y, c.Y}), maxY = std::max({A.Y, b.Y, c.Y});
  // Pixels whose centres may lie inside, clipped to the image.
  const int x0 = static_cast<int>(std::max(0.0, std::ceil(minX - 0.5)));
  const int y0 = static_cast<int>(std::max(0.0, std::ceil(minY - 0.5)));
  const int x1 = static_cast<int>(std::min(image_.Width - 1.0, std::floor(maxX - 0.5)));
  const int y1 = static_cast<int>(std::min(image_.Height - 1.0, std::floor(maxY - 0.5)));
  if (x0 > x1 || y0 > y1) return;

  const TEdge e0(b.X, b.Y, c.X, c.Y), e1(c.X, c.Y, A.X, A.Y), e2(A.X, A.Y, b.X, b.Y);
  const TGradient depth(A, b, c, twiceArea, &TScreenVertex::Depth);
  const TGradient u(A, b, c, twiceArea, &TScreenVertex::U);
  const TGradient v(A, b, c, twiceArea, &TScreenVertex::V);
  TTextureView level;
  const bool textured = Texture != nullptr;
  if (textured) {
    // Texels per pixel along the screen's steeper direction picks the level.
    const double perPixel = std::max(std::hypot(u.DX, v.DX), std::hypot(u.DY, v.DY));
    int k = 0;
    while (k + 1 < Texture->Levels() && perPixel >= std::ldexp(1.0, k + 1)) ++k;
    level = Texture->Level(k);
  }
  const double levelScale =
      textured ? static_cast<double>(level.Width) / Texture->Level(0).Width : 1;
  const double levelScaleV =
      textured ? static_cast<double>(level.Height) / Texture->Level(0).Height : 1;
  const TColour flat = Shaded(Flat, Shade);
  const int k = static_cast<int>(std::lround((Shade < 0 ? 0 : Shade > 1 ? 1 : Shade) * 256.0f));

  for (int y = y0; y <= y1; ++y) {
    const double py = y + 0.5;
    const size_t row = static_cast<size_t>(y) * static_cast<size_t>(image_.Width);
    for (int x = x0; x <= x1; ++x) {
      const double px = x + 0.5;
      if (!e0.Covers(e0.At(px, py)) || !e1.Covers(e1.At(px, py)) || !e2.Covers(e2.At(px, py)))
        continue;
      const float z = static_cast<float>(depth.At(px, py));
      const size_t i = row + static_cast<size_t>(x);
      if (!(z < depth_[i])) continue;
      depth_[i] = z;
      uint8_t* out = &image_.RGB[i * 3];
      if (textured) {
        const int tx = Wrap(u.At(px, py) * levelScale, level.Width);
        const int ty = Wrap(v.At(px, py) * levelScaleV, level.Height);
        const uint8_t* t =
            level.BGRA +
            (static_cast<size_t>(ty) * static_cast<size_t>(level.Width) + static_cast<size_t>(tx)) *
                4;
        out[0] = static_cast<uint8_t>((t[2] * k + 128) >> 8);
        out[1] = static_cast<uint8_t>((t[1] * k + 128) >> 8);
        out[2] = static_cast<uint8_t>((t[0] * k + 128) >> 8);
      } else {
        out[0] = flat.R;
        out[1] = flat.G;
        out[2] = flat.B;
      }
    }
  }
}

}  // namespace preview
