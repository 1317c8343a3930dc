// A small software rasteriser for the preview: filled triangles with a depth buffer, textured
// with the nearest texel (repeated both ways) or in a flat colour, shaded by one shade per
// triangle or by a light interpolated from its corners, through a palette's light tables when
// the texture is kept as palette indices, and blended when translucent.
//
// Vertices come in screen space: X to the right and Y downwards in pixels, (0, 0) the image's
// top-left corner, so pixel (x, y) has its centre at (x + 0.5, y + 0.5). Depth must vary
// linearly across the screen (a parallel view's distance, or -1/w for a perspective one); Q is
// 1/w (1 for a parallel view). Texture coordinates and light are interpolated as value * Q and Q
// and divided per pixel, which is perspective-correct, and with Q = 1 exactly the linear
// interpolation a parallel view needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "texture/ColorTables.h"
#include "texture/O_jkt.h"

namespace preview {

struct TColour {
  uint8_t R = 0, G = 0, B = 0;
};

// 8-bit RGB pixels, rows from the top.
struct TImage {
  int Width = 0, Height = 0;
  std::vector<uint8_t> RGB;
  TColour At(int x, int y) const {
    const uint8_t* p =
        &RGB[(static_cast<size_t>(y) * static_cast<size_t>(Width) + static_cast<size_t>(x)) * 3];
    return TColour{p[0], p[1], p[2]};
  }
};

// A colour scaled by a shade of 0 to 1, in steps of 1/256, rounded.
TColour Shaded(TColour Colour, float Shade);

// One level of a texture: either colours (blue, green, red, a fourth byte per texel) or palette
// indices, rows from the top. Texture coordinate (u, v) lies in texel (floor u mod Width,
// floor v mod Height).
struct TTextureView {
  int Width = 0, Height = 0;
  const uint8_t* BGRA = nullptr;
  const uint8_t* Indices = nullptr;
};

// A texture with its halvings, so that a face seen from afar shows fewer texels rather than a
// scatter of single ones. Colours halve by the 2 x 2 box average; palette indices by taking the
// block's first texel, so that every texel stays an index of the palette. Only the levels from
// First on are kept: the finer ones are made on the way and dropped.
class TTexture {
 public:
  // Copies Width x Height texels; the sizes must be at least 1.
  TTexture(int Width, int Height, const uint8_t* BGRA, int First = 0);
  TTexture(int Width, int Height, const uint8_t* Indices, const TPaletteRGB& Palette,
           int First = 0);
  // Level 0 is the texture itself; level k has texel coordinates divided by 2^k. A level
  // finer than First gives First.
  int Levels() const { return first_ + static_cast<int>(levels_.size()); }
  int First() const { return first_; }
  TTextureView Level(int Index) const;
  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Paletted() const { return paletted_; }
  const TPaletteRGB& Palette() const { return palette_; }
  // Texels kept in all.
  size_t Texels() const;
  // How many halvings a Width x Height texture has below it.
  static int LevelCount(int Width, int Height);

 private:
  struct TLevel {
    int Width, Height;
    std::vector<uint8_t> Texels;
  };
  void Halve(int First, int Bytes);
  int width_, height_, first_ = 0;
  bool paletted_ = false;
  TPaletteRGB palette_{};
  std::vector<TLevel> levels_;
};

struct TScreenVertex {
  float X = 0, Y = 0;
  float Depth = 0;  // larger is farther from the viewer
  float U = 0, V = 0;
  float Q = 1;      // 1 / w
  float Light = 1;  // 0 to 1, used by a lit paint
};

// How a triangle's pixels get their colour.
struct TPaint {
  const TTexture* Texture = nullptr;  // null: the flat colour
  TColour Flat;
  float Shade = 1;  // the whole triangle's shade, unless Lit
  // Lit: each pixel's light interpolated from the corners; a paletted texture with light tables
  // is then shaded as the game shades it (the texel's index looked up at the light's level).
  bool Lit = false;
  const TColorTables* Tables = nullptr;
  // Blended with what was drawn before (through the transparency table where both are palette
  // indices, else half and half) and leaves the depth buffer alone.
  bool Translucent = false;
};

class TRaster {
 public:
  TRaster(int Width, int Height, TColour Background);

  // Fills a triangle whichever way its corners run. A pixel is covered when its centre lies
  // inside the triangle, or on an edge that is owned by this side of it (of two triangles that
  // share an edge, exactly one owns it, so every pixel along a shared edge is drawn once); it is
  // written when its depth is smaller than what the pixel holds, so the nearer face wins in
  // whatever order faces come. The work is the pixels covered plus a little per row and per
  // 8 x 8 tile: a tile (or a 64 x 64 block) whose every pixel lies nearer than the whole
  // triangle is passed over.
  // Sampling: the nearest texel, of the texture's level 0 as long as one texel covers at least
  // one pixel, else of the level k whose texels are about one pixel wide (2^k at most the
  // texels per pixel along the steeper screen direction), chosen once per row.
  void DrawTriangle(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                    const TPaint& Paint);
  void DrawTriangle(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                    const TTexture* Texture, TColour Flat, float Shade);

  // The texture level the triangle's finest part would sample (see DrawTriangle); for a
  // texture of Width x Height with Levels levels. -1 for a triangle that covers nothing.
  int FinestLevel(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                  int Levels) const;

  // Keeps the palette index of every pixel drawn from then on (for translucent faces blended
  // through a transparency table); pixels not drawn from a palette have none.
  void KeepIndices();

  // The work done so far: tiles and rows looked at, pixels tested, and four times the pixels
  // drawn; a measure of time that is the same on every machine.
  uint64_t Work() const { return work_; }

  const TImage& Image() const { return image_; }
  TImage TakeImage() { return std::move(image_); }
  // The depth a pixel holds: +infinity where nothing was drawn.
  float DepthAt(int x, int y) const {
    return depth_[static_cast<size_t>(y) * static_cast<size_t>(image_.Width) +
                  static_cast<size_t>(x)];
  }

 private:
  TImage image_;
  std::vector<float> depth_;
  std::vector<int16_t> index_;  // -1: no palette index
  // Per 8 x 8 tile: the farthest depth among its pixels (+infinity until all are drawn).
  int tilesX_ = 0, tilesY_ = 0;
  std::vector<float> tileFar_;
  std::vector<uint8_t> tileDirty_;
  // Per 64 x 64 block: the farthest depth of its tiles, to pass over a hidden block at once.
  int blocksX_ = 0, blocksY_ = 0;
  std::vector<float> blockFar_;
  uint64_t work_ = 0;
};

}  // namespace preview
