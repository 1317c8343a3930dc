// The preview's rasteriser and camera on their own: coverage, texturing, depth, fitting.
#include "preview/Raster.h"

#include <gtest/gtest.h>

#include <cmath>

#include "preview/Camera.h"

using preview::TCamera;
using preview::TColour;
using preview::TRaster;
using preview::TScreenVertex;
using preview::TTexture;

namespace {

const TColour Back{1, 2, 3};

bool Same(TColour a, TColour b) { return a.R == b.R && a.G == b.G && a.B == b.B; }

TScreenVertex V(float x, float y, float depth, float u = 0, float v = 0) {
  TScreenVertex p;
  p.X = x;
  p.Y = y;
  p.Depth = depth;
  p.U = u;
  p.V = v;
  return p;
}

// A 2 x 2 texture of four colours, in the texture step's blue-green-red-fourth order.
struct TFourTexels {
  uint8_t bgra[16] = {0,   0, 200, 0, 0,  200, 0,  0,   // row 0: red, green
                      200, 0, 0,   0, 50, 60,  70, 0};  // row 1: blue, (70, 60, 50)
  TTexture Texture() const { return TTexture(2, 2, bgra); }
};
const TColour Red{200, 0, 0}, Green{0, 200, 0}, Blue{0, 0, 200}, Grey{70, 60, 50};

// A square over the whole image, as two triangles sharing a diagonal, in a given corner order.
void Square(TRaster& r, int size, const TTexture* texture, TColour flat, float depth, float texels,
            bool reversed = false) {
  const float s = static_cast<float>(size);
  TScreenVertex a = V(0, 0, depth, 0, 0), b = V(s, 0, depth, texels, 0),
                c = V(s, s, depth, texels, texels), d = V(0, s, depth, 0, texels);
  if (reversed) {
    r.DrawTriangle(a, d, c, texture, flat, 1);
    r.DrawTriangle(a, c, b, texture, flat, 1);
  } else {
    r.DrawTriangle(a, b, c, texture, flat, 1);
    r.DrawTriangle(a, c, d, texture, flat, 1);
  }
}

}  // namespace

// Nearest sampling while a texel covers at least a pixel: pixel (x, y) shows the texel under its
// centre, (x + 0.5, y + 0.5) mapped linearly; the texture repeats beyond its size.
TEST(PreviewRaster, TexturedSquareShowsItsTexelsAtKnownPixels) {
  TFourTexels t;
  const TTexture view = t.Texture();
  for (bool reversed : {false, true}) {
    TRaster r(8, 8, Back);
    Square(r, 8, &view, TColour{}, 1, 2, reversed);  // 2 texels across: each texel 4 x 4 pixels
    const preview::TImage& image = r.Image();
    EXPECT_TRUE(Same(image.At(0, 0), Red));
    EXPECT_TRUE(Same(image.At(3, 3), Red));
    EXPECT_TRUE(Same(image.At(4, 0), Green));
    EXPECT_TRUE(Same(image.At(7, 3), Green));
    EXPECT_TRUE(Same(image.At(0, 4), Blue));
    EXPECT_TRUE(Same(image.At(3, 7), Blue));
    EXPECT_TRUE(Same(image.At(4, 4), Grey));
    EXPECT_TRUE(Same(image.At(7, 7), Grey));
  }
  // Four texels across: the pattern repeats twice each way.
  TRaster r(8, 8, Back);
  Square(r, 8, &view, TColour{}, 1, 4);
  EXPECT_TRUE(Same(r.Image().At(0, 0), Red));
  EXPECT_TRUE(Same(r.Image().At(2, 0), Green));
  EXPECT_TRUE(Same(r.Image().At(4, 0), Red));
  EXPECT_TRUE(Same(r.Image().At(6, 6), Grey));
  // Negative texture coordinates wrap the same way: texel -1 is the last one.
  TRaster n(4, 4, Back);
  n.DrawTriangle(V(0, 0, 1, -1, -1), V(4, 0, 1, 1, -1), V(4, 4, 1, 1, 1), &view, TColour{}, 1);
  n.DrawTriangle(V(0, 0, 1, -1, -1), V(4, 4, 1, 1, 1), V(0, 4, 1, -1, 1), &view, TColour{}, 1);
  EXPECT_TRUE(Same(n.Image().At(0, 0), Grey));  // texel (-1, -1) = (1, 1)
  EXPECT_TRUE(Same(n.Image().At(3, 3), Red));   // texel (0, 0)
  EXPECT_TRUE(Same(n.Image().At(2, 0), Blue));  // texel (0, -1) = (0, 1)
}

// Seen from afar (two texels or more per pixel) a texture shows its box-filtered halvings.
TEST(PreviewRaster, MinifiedTexturesShowTheirAverageColour) {
  TFourTexels t;
  const TTexture texture = t.Texture();
  ASSERT_EQ(texture.Levels(), 2);
  EXPECT_EQ(texture.Level(1).Width, 1);
  const uint8_t* mean = texture.Level(1).BGRA;
  EXPECT_EQ(mean[0], 63);  // (0 + 0 + 200 + 50 + 2) / 4
  EXPECT_EQ(mean[1], 65);
  EXPECT_EQ(mean[2], 68);
  TRaster r(4, 4, Back);
  Square(r, 4, &texture, TColour{}, 1, 8);  // two texels a pixel
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_TRUE(Same(r.Image().At(x, y), (TColour{68, 65, 63})));
  // A texture of odd sizes halves down to one texel too.
  const uint8_t three[3 * 4] = {10, 10, 10, 0, 20, 20, 20, 0, 90, 90, 90, 0};
  TTexture odd(3, 1, three);
  ASSERT_EQ(odd.Levels(), 2);
  EXPECT_EQ(odd.Level(1).BGRA[0], 15);  // the first 2 x 2 block, clamped to the one row
}

TEST(PreviewRaster, ShadeScalesTheColour) {
  TFourTexels t;
  const TTexture view = t.Texture();
  TRaster r(4, 4, Back);
  r.DrawTriangle(V(0, 0, 1), V(4, 0, 1), V(0, 4, 1), &view, TColour{}, 0.5f);
  EXPECT_TRUE(Same(r.Image().At(0, 0), (TColour{100, 0, 0})));
  EXPECT_TRUE(Same(preview::Shaded(TColour{255, 128, 1}, 0.5f), (TColour{128, 64, 1})));
  EXPECT_TRUE(Same(preview::Shaded(TColour{255, 128, 1}, 1.0f), (TColour{255, 128, 1})));
  EXPECT_TRUE(Same(preview::Shaded(TColour{255, 128, 1}, 0.0f), (TColour{0, 0, 0})));
}

// Pixels whose centres lie exactly on the shared diagonal belong to one triangle only: drawn at
// one depth in either order, every pixel shows the same triangle and none stays empty.
TEST(PreviewRaster, SharedEdgesAreCoveredExactlyOnce) {
  const TColour one{255, 0, 0}, two{0, 0, 255};
  auto draw = [&](bool firstOne) {
    TRaster r(9, 9, Back);
    // The diagonal from (0.5, 0.5) to (8.5, 8.5) runs through pixel centres.
    TScreenVertex a = V(0.5f, 0.5f, 1), b = V(8.5f, 0.5f, 1), c = V(8.5f, 8.5f, 1),
                  d = V(0.5f, 8.5f, 1);
    if (firstOne) {
      r.DrawTriangle(a, b, c, nullptr, one, 1);
      r.DrawTriangle(a, c, d, nullptr, two, 1);
    } else {
      r.DrawTriangle(a, c, d, nullptr, two, 1);
      r.DrawTriangle(a, b, c, nullptr, one, 1);
    }
    return r.TakeImage();
  };
  const preview::TImage x = draw(true), y = draw(false);
  EXPECT_EQ(x.RGB, y.RGB);
  // Centres strictly inside the square, those on the diagonal included, are drawn.
  for (int i = 1; i < 8; ++i)
    for (int j = 1; j < 8; ++j) EXPECT_FALSE(Same(x.At(i, j), Back)) << i << "," << j;
  // Both triangles own some of the diagonal: the owner depends on the edge, not on the order.
  EXPECT_TRUE(Same(x.At(1, 2), two));
  EXPECT_TRUE(Same(x.At(2, 1), one));
}

TEST(PreviewRaster, NearerFaceHidesFartherWhateverTheOrder) {
  const TColour nearColour{10, 200, 10}, farColour{200, 10, 10};
  for (bool nearFirst : {false, true}) {
    TRaster r(16, 16, Back);
    auto drawNear = [&] {  // a small square in the middle, nearer
      r.DrawTriangle(V(4, 4, 1), V(12, 4, 1), V(12, 12, 1), nullptr, nearColour, 1);
      r.DrawTriangle(V(4, 4, 1), V(12, 12, 1), V(4, 12, 1), nullptr, nearColour, 1);
    };
    auto drawFar = [&] {  // the whole image, farther
      r.DrawTriangle(V(0, 0, 5), V(16, 0, 5), V(16, 16, 5), nullptr, farColour, 1);
      r.DrawTriangle(V(0, 0, 5), V(16, 16, 5), V(0, 16, 5), nullptr, farColour, 1);
    };
    if (nearFirst) {
      drawNear();
      drawFar();
    } else {
      drawFar();
      drawNear();
    }
    EXPECT_TRUE(Same(r.Image().At(8, 8), nearColour)) << nearFirst;
    EXPECT_TRUE(Same(r.Image().At(4, 11), nearColour)) << nearFirst;
    EXPECT_TRUE(Same(r.Image().At(2, 8), farColour)) << nearFirst;
    EXPECT_TRUE(Same(r.Image().At(12, 12), farColour)) << nearFirst;
    EXPECT_FLOAT_EQ(r.DepthAt(8, 8), 1);
    EXPECT_FLOAT_EQ(r.DepthAt(0, 0), 5);
  }
  // A tilted face crossing a flat one: depth is interpolated per pixel, so each wins on its side.
  TRaster r(16, 16, Back);
  r.DrawTriangle(V(0, 0, 2), V(16, 0, 2), V(0, 16, 2), nullptr, farColour, 1);
  r.DrawTriangle(V(16, 0, 2), V(16, 16, 2), V(0, 16, 2), nullptr, farColour, 1);
  r.DrawTriangle(V(0, 0, 0), V(16, 0, 4), V(0, 16, 0), nullptr, nearColour, 1);
  r.DrawTriangle(V(16, 0, 4), V(16, 16, 4), V(0, 16, 0), nullptr, nearColour, 1);
  EXPECT_TRUE(Same(r.Image().At(2, 8), nearColour));  // depth about 0.6 < 2
  EXPECT_TRUE(Same(r.Image().At(13, 8), farColour));  // depth about 3.4 > 2
}

TEST(PreviewRaster, DegenerateAndOffImageTrianglesDrawNothing) {
  TRaster r(8, 8, Back);
  r.DrawTriangle(V(0, 0, 1), V(8, 8, 1), V(4, 4, 1), nullptr, TColour{9, 9, 9}, 1);  // a line
  r.DrawTriangle(V(20, 20, 1), V(30, 20, 1), V(20, 30, 1), nullptr, TColour{9, 9, 9}, 1);
  r.DrawTriangle(V(-10, -10, 1), V(-1, -10, 1), V(-10, -1, 1), nullptr, TColour{9, 9, 9}, 1);
  r.DrawTriangle(V(NAN, 0, 1), V(8, 0, 1), V(0, 8, 1), nullptr, TColour{9, 9, 9}, 1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_TRUE(Same(r.Image().At(x, y), Back));
  // Partly off the image: clipped, not wrapped round.
  r.DrawTriangle(V(-8, -8, 1), V(12, -8, 1), V(-8, 12, 1), nullptr, TColour{9, 9, 9}, 1);
  EXPECT_TRUE(Same(r.Image().At(0, 0), (TColour{9, 9, 9})));
  EXPECT_TRUE(Same(r.Image().At(7, 7), Back));
  EXPECT_TRUE(Same(r.Image().At(7, 0), Back));
}

TEST(PreviewCamera, FitsThePointsAndKeepsTheMapUnmirrored) {
  const std::vector<TVector3> box = {{0, 0, 0},  {400, 0, 0},  {400, 200, 0},  {0, 200, 0},
                                     {0, 0, 50}, {400, 0, 50}, {400, 200, 50}, {0, 200, 50}};
  // Top: +X to the right, +Y up the picture; the wider direction fills the width less margins.
  TCamera top(preview::TView::Top, box, 200, 200, 10);
  auto a = top.Project({0, 0, 0}), b = top.Project({400, 200, 0});
  EXPECT_NEAR(a.X, 10, 1e-3);
  EXPECT_NEAR(b.X, 190, 1e-3);
  EXPECT_GT(a.Y, b.Y);                                // +Y is up
  EXPECT_NEAR((a.Y + b.Y) / 2, 100, 1e-3);            // centred
  EXPECT_NEAR(a.Y - b.Y, 90, 1e-3);                   // 200 units at 180 / 400 pixels a unit
  EXPECT_LT(top.Project({0, 0, 50}).Depth, a.Depth);  // higher is nearer from above

  // Iso: every point inside the picture, the nearest corner is the south-west top one, and
  // the level's X and Y go right-down and right-up, as seen from the south-west.
  TCamera iso(preview::TView::Iso, box, 320, 240, 16);
  float nearest = 1e30f;
  TVector3 nearestPoint{};
  for (const TVector3& p : box) {
    auto q = iso.Project(p);
    EXPECT_GE(q.X, 16 - 1e-3);
    EXPECT_LE(q.X, 320 - 16 + 1e-3);
    EXPECT_GE(q.Y, 16 - 1e-3);
    EXPECT_LE(q.Y, 240 - 16 + 1e-3);
    if (q.Depth < nearest) nearest = q.Depth, nearestPoint = p;
  }
  EXPECT_EQ(nearestPoint.X, 0);
  EXPECT_EQ(nearestPoint.Y, 0);
  EXPECT_EQ(nearestPoint.Z, 50);
  auto o = iso.Project({0, 0, 0}), x = iso.Project({400, 0, 0}), y = iso.Project({0, 200, 0});
  EXPECT_GT(x.X, o.X);
  EXPECT_LT(y.X, o.X);
  EXPECT_LT(x.Y, o.Y);  // farther away, so higher up the picture
  EXPECT_LT(y.Y, o.Y);
  // About 35 degrees down: a vertical step shows shorter than a horizontal one along the view.
  auto up = iso.Project({0, 0, 100});
  EXPECT_GT(o.Y - up.Y, 0);
  // Nothing to fit: still a usable camera.
  TCamera empty(preview::TView::Iso, {}, 64, 48);
  auto e = empty.Project({0, 0, 0});
  EXPECT_FLOAT_EQ(e.X, 32);
  EXPECT_FLOAT_EQ(e.Y, 24);
}

// A triangle behind a finished picture costs its tiles and blocks, not its pixels; one that is
// nearer in part is still drawn there, pixel for pixel.
TEST(PreviewRaster, HiddenTrianglesArePassedOverWithoutTestingTheirPixels) {
  const TColour nearColour{10, 200, 10}, farColour{200, 10, 10};
  TRaster r(256, 256, Back);
  Square(r, 256, nullptr, nearColour, 1, 0);
  const uint64_t drawn = r.Work();
  Square(r, 256, nullptr, farColour, 2, 0);
  EXPECT_LT(r.Work() - drawn, 256u * 256u / 16u);
  // Tilted through the near square: nearer on its left half only.
  r.DrawTriangle(V(0, 0, 0), V(256, 0, 2), V(0, 256, 0), nullptr, farColour, 1);
  EXPECT_TRUE(Same(r.Image().At(10, 10), farColour));
  EXPECT_TRUE(Same(r.Image().At(200, 10), nearColour));
}
