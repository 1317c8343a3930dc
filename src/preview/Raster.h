// A small software rasteriser for the preview: filled triangles with a depth buffer, textured
// with the nearest texel (repeated both ways) or in a flat colour, and scaled by a shade.
//
// Vertices come in screen space: X to the right and Y downwards in pixels, (0, 0) the image's
// top-left corner, so pixel (x, y) has its centre at (x + 0.5, y + 0.5). Depth and texture
// coordinates are interpolated linearly across the screen (affine): exact for the preview's
// parallel projection, where screen position, depth and a face's texture coordinates are all
// affine functions of the point on the face.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

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

// Texels as the texture step keeps them: blue, green, red and a fourth byte per texel, rows from
// the top. Texture coordinate (u, v) lies in texel (floor u mod Width, floor v mod Height).
struct TTextureView {
  int Width = 0, Height = 0;
  const uint8_t* BGRA = nullptr;
};

// A texture with its halvings (each level the 2 x 2 box average of the one before, down to one
// texel), so that a face seen from afar shows its texture's average colours instead of a
// scatter of single texels.
class TTexture {
 public:
  // Copies Width x Height texels; the sizes must be at least 1.
  TTexture(int Width, int Height, const uint8_t* BGRA);
  int Levels() const { return static_cast<int>(levels_.size()); }
  // Level 0 is the texture itself; level k has texel coordinates divided by 2^k.
  TTextureView Level(int Index) const;

 private:
  struct TLevel {
    int Width, Height;
    std::vector<uint8_t> BGRA;
  };
  std::vector<TLevel> levels_;
};

struct TScreenVertex {
  float X = 0, Y = 0;
  float Depth = 0;  // larger is farther from the viewer
  float U = 0, V = 0;
};

class TRaster {
 public:
  TRaster(int Width, int Height, TColour Background);

  // Fills a triangle whichever way its corners run. A pixel is covered when its centre lies
  // inside the triangle, or on an edge that is owned by this side of it (of two triangles that
  // share an edge, exactly one owns it, so every pixel along a shared edge is drawn once); it is
  // written when its depth is smaller than what the pixel holds, so the nearer face wins in
  // whatever order faces come. Texture null: the flat colour. Shade (0 to 1) scales the colour.
  // Sampling: the nearest texel, of the texture's level 0 as long as one texel covers at least
  // one pixel, else of the level k whose texels are about one pixel wide (2^k at most the
  // texels per pixel along the steeper screen direction); one level for the whole triangle.
  void DrawTriangle(const TScreenVertex& A, const TScreenVertex& B, const TScreenVertex& C,
                    const TTexture* Texture, TColour Flat, float Shade);

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
};

}  // namespace preview
