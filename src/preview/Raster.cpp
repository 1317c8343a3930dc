#include "preview/Raster.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace preview {

namespace {

constexpr int kTile = 8;
constexpr int kBlockTiles = 8;  // a block is 8 x 8 tiles, 64 x 64 pixels

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
  // Narrows [Lo, Hi] (pixel columns) to those whose centres on row centre y may be covered,
  // with a pixel to spare; the exact test stays with Covers.
  void Narrow(double y, double& Lo, double& Hi) const {
    const double slope = -Sign * DY;  // the value's change per pixel to the right
    const double base = At(0, y);
    if (slope == 0) {
      if (base < 0) Hi = Lo - 1;
      return;
    }
    const double edge = -base / slope - 0.5;  // the column whose centre the edge crosses
    if (slope > 0)
      Lo = std::max(Lo, std::floor(edge) - 1);
    else
      Hi = std::min(Hi, std::ceil(edge) + 1);
  }
};

// An attribute that varies affinely over the screen: value = Base + DX * x + DY * y.
struct TGradient {
  double Base = 0, DX = 0, DY = 0;
  TGradient() = default;
  TGradient(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C, double Area,
            double VA, double VB, double VC) {
    const double b = VB - VA, c = VC - VA;
    const double bx = B.X - A.X, by = B.Y - A.Y, cx = C.X - A.X, cy = C.Y - A.Y;
    DX = (b * cy - c * by) / Area;
    DY = (c * bx - b * cx) / Area;
    Base = VA - DX * A.X - DY * A.Y;
  }
  double At(double x, double y) const { return Base + DX * x + DY * y; }
};

// The texel index along one axis: floor(t) wrapped into [0, size).
int Wrap(double t, int size) {
  if (!(std::fabs(t) < 1e15)) return 0;
  long long i = static_cast<long long>(t);  // towards zero, then down to the floor
  if (static_cast<double>(i) > t) --i;
  if (i >= 0 && i < size) return static_cast<int>(i);  // most texels: no division
  i %= size;
  return static_cast<int>(i < 0 ? i + size : i);
}

int ShadeStep(float Shade) {
  return static_cast<int>(std::lround((!(Shade > 0) ? 0 : Shade > 1 ? 1 : Shade) * 256.0f));
}

// Everything a triangle's pixels are computed from.
struct TSetup {
  const TScreenVertex *A, *B, *C;
  double Area;
  TGradient Depth, Q, UQ, VQ, LQ;
  TSetup(const TScreenVertex& a, const TScreenVertex& b, const TScreenVertex& c, double area)
      : A(&a), B(&b), C(&c), Area(area) {
    Depth = TGradient(a, b, c, area, a.Depth, b.Depth, c.Depth);
    Q = TGradient(a, b, c, area, a.Q, b.Q, c.Q);
    UQ = TGradient(a, b, c, area, double(a.U) * a.Q, double(b.U) * b.Q, double(c.U) * c.Q);
    VQ = TGradient(a, b, c, area, double(a.V) * a.Q, double(b.V) * b.Q, double(c.V) * c.Q);
    LQ = TGradient(a, b, c, area, double(a.Light) * a.Q, double(b.Light) * b.Q,
                   double(c.Light) * c.Q);
  }
  // The level whose texels are about a pixel wide at (x, y).
  int LevelAt(double x, double y, int Levels) const {
    const double q = Q.At(x, y);
    const double u = UQ.At(x, y) / q, v = VQ.At(x, y) / q;
    const double dudx = (UQ.DX - u * Q.DX) / q, dvdx = (VQ.DX - v * Q.DX) / q;
    const double dudy = (UQ.DY - u * Q.DY) / q, dvdy = (VQ.DY - v * Q.DY) / q;
    const double perPixel = std::max(std::hypot(dudx, dvdx), std::hypot(dudy, dvdy));
    int k = 0;
    while (k + 1 < Levels && perPixel >= std::ldexp(1.0, k + 1)) ++k;
    return k;
  }
};

// The least of a linear depth over the pixel centres of [X0, X1) x [Y0, Y1), cut to a Width x
// Height image: it lies at a corner.
float NearestOver(const TGradient& Depth, int Width, int Height, int X0, int Y0, int X1, int Y1) {
  const double px0 = X0 + 0.5, py0 = Y0 + 0.5;
  const double px1 = std::min(X1, Width) - 0.5, py1 = std::min(Y1, Height) - 0.5;
  return static_cast<float>(std::min(std::min(Depth.At(px0, py0), Depth.At(px1, py0)),
                                     std::min(Depth.At(px0, py1), Depth.At(px1, py1))));
}

// Twice the signed area of the screen triangle.
double TwiceArea(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C) {
  return (static_cast<double>(B.X) - A.X) * (static_cast<double>(C.Y) - A.Y) -
         (static_cast<double>(B.Y) - A.Y) * (static_cast<double>(C.X) - A.X);
}

}  // namespace

int TTexture::LevelCount(int Width, int Height) {
  int n = 1;
  while (Width > 1 || Height > 1) {
    Width = std::max(1, Width / 2);
    Height = std::max(1, Height / 2);
    ++n;
  }
  return n;
}

TTexture::TTexture(int Width, int Height, const uint8_t* BGRA, int First)
    : width_(Width), height_(Height) {
  levels_.push_back(TLevel{Width, Height,
                           std::vector<uint8_t>(BGRA, BGRA + static_cast<size_t>(Width) *
                                                                 static_cast<size_t>(Height) * 4)});
  Halve(First, 4);
}

TTexture::TTexture(int Width, int Height, const uint8_t* Indices, const TPaletteRGB& Palette,
                   int First)
    : width_(Width), height_(Height), paletted_(true), palette_(Palette) {
  levels_.push_back(TLevel{
      Width, Height, std::vector<uint8_t>(Indices, Indices + static_cast<size_t>(Width) * Height)});
  Halve(First, 1);
}

void TTexture::Halve(int First, int Bytes) {
  const int count = LevelCount(width_, height_);
  First = std::max(0, std::min(First, count - 1));
  const size_t bytes = static_cast<size_t>(Bytes);
  for (int made = 1; made < count; ++made) {
    const TLevel& from = levels_.back();
    TLevel to{std::max(1, from.Width / 2), std::max(1, from.Height / 2), {}};
    to.Texels.resize(static_cast<size_t>(to.Width) * static_cast<size_t>(to.Height) * bytes);
    const size_t fromRow = static_cast<size_t>(from.Width) * bytes;
    for (int y = 0; y < to.Height; ++y)
      for (int x = 0; x < to.Width; ++x) {
        uint8_t* out =
            &to.Texels[(static_cast<size_t>(y) * static_cast<size_t>(to.Width) + size_t(x)) *
                       bytes];
        // The 2 x 2 block below (x, y), or what of it the level before has.
        const size_t xs[2] = {static_cast<size_t>(std::min(2 * x, from.Width - 1)),
                              static_cast<size_t>(std::min(2 * x + 1, from.Width - 1))};
        const size_t ys[2] = {static_cast<size_t>(std::min(2 * y, from.Height - 1)),
                              static_cast<size_t>(std::min(2 * y + 1, from.Height - 1))};
        if (paletted_) {
          *out = from.Texels[ys[0] * fromRow + xs[0]];
          continue;
        }
        for (size_t c = 0; c < bytes; ++c) {
          int sum = 0;
          for (int j = 0; j < 2; ++j)
            for (int i = 0; i < 2; ++i) sum += from.Texels[ys[j] * fromRow + xs[i] * bytes + c];
          out[c] = static_cast<uint8_t>((sum + 2) / 4);
        }
      }
    levels_.push_back(std::move(to));
    // Levels finer than First were only the way to it.
    if (made == First) levels_.erase(levels_.begin(), levels_.end() - 1);
  }
  first_ = First;
}

TTextureView TTexture::Level(int Index) const {
  const TLevel& level =
      levels_[static_cast<size_t>(std::min(std::max(Index, first_), Levels() - 1) - first_)];
  TTextureView view{level.Width, level.Height, nullptr, nullptr};
  (paletted_ ? view.Indices : view.BGRA) = level.Texels.data();
  return view;
}

size_t TTexture::Texels() const {
  size_t n = 0;
  for (const TLevel& level : levels_) n += static_cast<size_t>(level.Width) * level.Height;
  return n;
}

TColour Shaded(TColour Colour, float Shade) {
  const int k = ShadeStep(Shade);
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
  tilesX_ = (Width + kTile - 1) / kTile;
  tilesY_ = (Height + kTile - 1) / kTile;
  const size_t tiles = static_cast<size_t>(tilesX_) * static_cast<size_t>(tilesY_);
  tileFar_.assign(tiles, std::numeric_limits<float>::infinity());
  tileDirty_.assign(tiles, 0);
  blocksX_ = (tilesX_ + kBlockTiles - 1) / kBlockTiles;
  blocksY_ = (tilesY_ + kBlockTiles - 1) / kBlockTiles;
  blockFar_.assign(static_cast<size_t>(blocksX_) * static_cast<size_t>(blocksY_),
                   std::numeric_limits<float>::infinity());
}

void TRaster::KeepIndices() {
  if (index_.empty()) index_.assign(depth_.size(), -1);
}

void TRaster::DrawTriangle(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                           const TTexture* Texture, TColour Flat, float Shade) {
  TPaint paint;
  paint.Texture = Texture;
  paint.Flat = Flat;
  paint.Shade = Shade;
  DrawTriangle(A, B, C, paint);
}

int TRaster::FinestLevel(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                         int Levels) const {
  const double area = TwiceArea(A, B, C);
  if (!(std::fabs(area) > 0) || !std::isfinite(area)) return -1;
  const TScreenVertex& b = area > 0 ? B : C;
  const TScreenVertex& c = area > 0 ? C : B;
  const TSetup s(A, b, c, std::fabs(area));
  int k = Levels - 1;
  for (const TScreenVertex* p : {&A, &b, &c}) k = std::min(k, s.LevelAt(p->X, p->Y, Levels));
  return k;
}

void TRaster::DrawTriangle(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                           const TPaint& Paint) {
  // Twice the signed area; the corners are taken in the order that makes it positive.
  const double area = TwiceArea(A, B, C);
  if (!(std::fabs(area) > 0) || !std::isfinite(area)) return;
  const TScreenVertex& b = area > 0 ? B : C;
  const TScreenVertex& c = area > 0 ? C : B;

  const double minX = std::min({A.X, b.X, c.X}), maxX = std::max({A.X, b.X, c.X});
  const double minY = std::min({A.Y, b.Y, c.Y}), maxY = std::max({A.Y, b.Y, c.Y});
  // Pixels whose centres may lie inside, clipped to the image (from -1 to the size, so that
  // corners far off the image stay within an int).
  auto column = [](double t, int size) {
    return static_cast<int>(std::min<double>(size, std::max(-1.0, t)));
  };
  const int x0 = std::max(0, column(std::ceil(minX - 0.5), image_.Width));
  const int y0 = std::max(0, column(std::ceil(minY - 0.5), image_.Height));
  const int x1 = std::min(image_.Width - 1, column(std::floor(maxX - 0.5), image_.Width));
  const int y1 = std::min(image_.Height - 1, column(std::floor(maxY - 0.5), image_.Height));
  if (x0 > x1 || y0 > y1) return;

  const TEdge e0(b.X, b.Y, c.X, c.Y), e1(c.X, c.Y, A.X, A.Y), e2(A.X, A.Y, b.X, b.Y);
  const TSetup s(A, b, c, std::fabs(area));
  const TTexture* texture = Paint.Texture;
  const bool tables =
      Paint.Lit && Paint.Tables && !Paint.Tables->Light.empty() && texture && texture->Paletted();
  const bool blendTable =
      Paint.Translucent && Paint.Tables && !Paint.Tables->Transparency.empty() && !index_.empty();
  const int fixedStep = ShadeStep(Paint.Shade);
  const bool keepIndex = !index_.empty();

  std::vector<uint8_t> skip;  // per tile of the current band: nothing of the triangle can show
  for (int ty = y0 / kTile; ty <= y1 / kTile; ++ty) {
    const int rowFirst = std::max(y0, ty * kTile), rowLast = std::min(y1, ty * kTile + kTile - 1);
    // The band's columns, from the spans of its first and last rows (the triangle is convex).
    double bandLo = x0, bandHi = x1;
    {
      double lo0 = x0, hi0 = x1, lo1 = x0, hi1 = x1;
      for (const TEdge* e : {&e0, &e1, &e2}) {
        e->Narrow(rowFirst + 0.5, lo0, hi0);
        e->Narrow(rowLast + 0.5, lo1, hi1);
      }
      if (lo0 > hi0) lo0 = x1 + 1, hi0 = x0 - 1;
      if (lo1 > hi1) lo1 = x1 + 1, hi1 = x0 - 1;
      bandLo = std::max<double>(x0, std::min(lo0, lo1));
      bandHi = std::min<double>(x1, std::max(hi0, hi1));
      // A vertex inside the band widens it.
      for (const TScreenVertex* p : {&A, &b, &c})
        if (p->Y >= rowFirst && p->Y <= rowLast + 1) {
          bandLo = std::max<double>(x0, std::min(bandLo, std::floor(double(p->X)) - 1));
          bandHi = std::min<double>(x1, std::max(bandHi, std::ceil(double(p->X)) + 1));
        }
    }
    if (bandLo > bandHi) continue;
    const int tx0 = static_cast<int>(bandLo) / kTile, tx1 = static_cast<int>(bandHi) / kTile;
    skip.assign(static_cast<size_t>(tx1 - tx0 + 1), 0);
    bool open = false;  // some tile of the band may show the triangle
    for (int tx = tx0; tx <= tx1; ++tx) {
      ++work_;
      // A whole block that lies nearer than the triangle passes over its tiles in the band.
      const int bx = tx / kBlockTiles;
      const size_t b = static_cast<size_t>(ty / kBlockTiles) * size_t(blocksX_) + size_t(bx);
      if (tx == tx0 || tx % kBlockTiles == 0) {
        const int first = bx * kBlockTiles * kTile,
                  firstRow = (ty / kBlockTiles) * kBlockTiles * kTile;
        if (blockFar_[b] < std::numeric_limits<float>::infinity() &&
            NearestOver(s.Depth, image_.Width, image_.Height, first, firstRow,
                        first + kBlockTiles * kTile,
                        firstRow + kBlockTiles * kTile) >= blockFar_[b]) {
          const int last = std::min(tx1, bx * kBlockTiles + kBlockTiles - 1);
          for (; tx <= last; ++tx) skip[static_cast<size_t>(tx - tx0)] = 1;
          --tx;
          continue;
        }
      }
      const size_t t = static_cast<size_t>(ty) * static_cast<size_t>(tilesX_) + size_t(tx);
      skip[static_cast<size_t>(tx - tx0)] =
          tileFar_[t] < std::numeric_limits<float>::infinity() &&
          NearestOver(s.Depth, image_.Width, image_.Height, tx * kTile, ty * kTile,
                      tx * kTile + kTile, ty * kTile + kTile) >= tileFar_[t];
      open = open || !skip[static_cast<size_t>(tx - tx0)];
    }
    if (!open) continue;

    for (int y = rowFirst; y <= rowLast; ++y) {
      const double py = y + 0.5;
      double lo = bandLo, hi = bandHi;
      for (const TEdge* e : {&e0, &e1, &e2}) e->Narrow(py, lo, hi);
      if (lo > hi) continue;
      const int xa = static_cast<int>(lo), xb = static_cast<int>(hi);
      const size_t row = static_cast<size_t>(y) * static_cast<size_t>(image_.Width);
      ++work_;
      // The texture level, chosen once per row when its first pixel is drawn.
      TTextureView level;
      bool chosen = false;
      double scaleU = 1, scaleV = 1;
      for (int x = xa; x <= xb; ++x) {
        if (skip[static_cast<size_t>(x / kTile - tx0)]) {
          x = (x / kTile) * kTile + kTile - 1;
          continue;
        }
        ++work_;
        const double px = x + 0.5;
        if (!e0.Covers(e0.At(px, py)) || !e1.Covers(e1.At(px, py)) || !e2.Covers(e2.At(px, py)))
          continue;
        const float z = static_cast<float>(s.Depth.At(px, py));
        const size_t i = row + static_cast<size_t>(x);
        if (!(z < depth_[i])) continue;
        work_ += 3;  // a pixel drawn costs about four tested
        if (texture && !chosen) {
          level = texture->Level(s.LevelAt((xa + xb) / 2 + 0.5, py, texture->Levels()));
          scaleU = static_cast<double>(level.Width) / texture->Width();
          scaleV = static_cast<double>(level.Height) / texture->Height();
          chosen = true;
        }
        const double q = s.Q.At(px, py);
        int step = fixedStep;
        double light = 1;
        if (Paint.Lit) {
          light = s.LQ.At(px, py) / q;
          step = ShadeStep(static_cast<float>(light));
        }
        uint8_t rgb[3];
        int index = -1;
        if (texture) {
          const int tx = Wrap(s.UQ.At(px, py) / q * scaleU, level.Width);
          const int tv = Wrap(s.VQ.At(px, py) / q * scaleV, level.Height);
          const size_t at = static_cast<size_t>(tv) * static_cast<size_t>(level.Width) + size_t(tx);
          if (level.Indices) {
            uint8_t k = level.Indices[at];
            if (tables) {
              const double l = !(light > 0) ? 0 : light > 1 ? 1 : light;  // NaN: dark
              k = Paint.Tables->Lit(static_cast<int>(l * (TColorTables::LightLevels - 1) + 0.5), k);
              step = 256;
            }
            if (step == 256) index = k;
            const TRGBTriple& colour = texture->Palette()[k];
            rgb[0] = static_cast<uint8_t>((colour.R * step + 128) >> 8);
            rgb[1] = static_cast<uint8_t>((colour.G * step + 128) >> 8);
            rgb[2] = static_cast<uint8_t>((colour.B * step + 128) >> 8);
          } else {
            const uint8_t* t = level.BGRA + at * 4;
            rgb[0] = static_cast<uint8_t>((t[2] * step + 128) >> 8);
            rgb[1] = static_cast<uint8_t>((t[1] * step + 128) >> 8);
            rgb[2] = static_cast<uint8_t>((t[0] * step + 128) >> 8);
          }
        } else {
          rgb[0] = static_cast<uint8_t>((Paint.Flat.R * step + 128) >> 8);
          rgb[1] = static_cast<uint8_t>((Paint.Flat.G * step + 128) >> 8);
          rgb[2] = static_cast<uint8_t>((Paint.Flat.B * step + 128) >> 8);
        }
        uint8_t* out = &image_.RGB[i * 3];
        if (Paint.Translucent) {
          if (blendTable && index >= 0 && index_[i] >= 0) {
            index =
                Paint.Tables->Blend(static_cast<uint8_t>(index), static_cast<uint8_t>(index_[i]));
            const TRGBTriple& colour = texture->Palette()[static_cast<size_t>(index)];
            rgb[0] = colour.R, rgb[1] = colour.G, rgb[2] = colour.B;
          } else {
            for (int k = 0; k < 3; ++k) rgb[k] = static_cast<uint8_t>((rgb[k] + out[k] + 1) / 2);
            index = -1;
          }
        } else {
          depth_[i] = z;
          tileDirty_[static_cast<size_t>(y / kTile) * static_cast<size_t>(tilesX_) +
                     static_cast<size_t>(x / kTile)] = 1;
        }
        out[0] = rgb[0];
        out[1] = rgb[1];
        out[2] = rgb[2];
        if (keepIndex) index_[i] = static_cast<int16_t>(index);
      }
    }
    // The farthest depth of each tile written to, for the triangles still to come.
    bool blockDirty = false;
    for (int tx = tx0; tx <= tx1; ++tx) {
      const size_t t = static_cast<size_t>(ty) * static_cast<size_t>(tilesX_) + size_t(tx);
      if (!tileDirty_[t]) continue;
      tileDirty_[t] = 0;
      float far = -std::numeric_limits<float>::infinity();
      const int yEnd = std::min(ty * kTile + kTile, image_.Height);
      const int xEnd = std::min(tx * kTile + kTile, image_.Width);
      for (int y = ty * kTile; y < yEnd && far < std::numeric_limits<float>::infinity(); ++y)
        for (int x = tx * kTile; x < xEnd; ++x)
          far = std::max(far, depth_[static_cast<size_t>(y) * size_t(image_.Width) + size_t(x)]);
      tileFar_[t] = far;
      blockDirty = true;
    }
    if (!blockDirty) continue;
    // The farthest depth of the blocks in the band, from their tiles.
    const int tyFirst = (ty / kBlockTiles) * kBlockTiles;
    const int tyEnd = std::min(tyFirst + kBlockTiles, tilesY_);
    for (int bx = tx0 / kBlockTiles; bx <= tx1 / kBlockTiles; ++bx) {
      float far = -std::numeric_limits<float>::infinity();
      const int txEnd = std::min(bx * kBlockTiles + kBlockTiles, tilesX_);
      for (int y = tyFirst; y < tyEnd; ++y)
        for (int x = bx * kBlockTiles; x < txEnd; ++x)
          far = std::max(far, tileFar_[static_cast<size_t>(y) * size_t(tilesX_) + size_t(x)]);
      blockFar_[static_cast<size_t>(ty / kBlockTiles) * size_t(blocksX_) + size_t(bx)] = far;
    }
  }
}

}  // namespace preview
