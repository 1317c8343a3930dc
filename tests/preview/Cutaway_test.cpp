// The preview's cutaway, perspective camera, game light and translucency, on scenes and
// triangles built here.
#include <gtest/gtest.h>

#include <cmath>

#include "preview/Clip.h"
#include "preview/Scene.h"

using preview::TColour;
using preview::TScreenVertex;

namespace {

bool Same(TColour a, TColour b) { return a.R == b.R && a.G == b.G && a.B == b.B; }

preview::TFace Quad(const std::string& material, std::vector<TVector3> corners, TVector3 normal,
                    std::vector<float> u = {}, std::vector<float> v = {}) {
  preview::TFace f;
  f.Material = material;
  f.Corners = std::move(corners);
  f.Normal = normal;
  f.U = std::move(u);
  f.V = std::move(v);
  return f;
}

// A 100-unit box whose faces look inwards, as a sector's surfaces do.
preview::TScene Box() {
  preview::TScene s;
  const float n = 100;
  s.Faces.push_back(Quad("floor", {{0, 0, 0}, {n, 0, 0}, {n, n, 0}, {0, n, 0}}, {0, 0, 1}));
  s.Faces.push_back(Quad("ceiling", {{0, 0, n}, {0, n, n}, {n, n, n}, {n, 0, n}}, {0, 0, -1}));
  s.Faces.push_back(Quad("west", {{0, 0, 0}, {0, n, 0}, {0, n, n}, {0, 0, n}}, {1, 0, 0}));
  s.Faces.push_back(Quad("east", {{n, 0, 0}, {n, 0, n}, {n, n, n}, {n, n, 0}}, {-1, 0, 0}));
  return s;
}

TColour Flat(const char* name, TVector3 normal) {
  return preview::Shaded(preview::MaterialColour(name), preview::FaceShade(normal));
}

}  // namespace

// Each face shows only from the side that looks into the box, unless both sides are asked for.
TEST(PreviewCutaway, BoxSeenFromOutsideAndInside) {
  const preview::TScene box = Box();
  struct TCase {
    preview::TView view;
    TVector3 eye;
    bool bothSides;
    const char* seen;
    TVector3 normal;
  } cases[] = {
      {preview::TView::Top, {}, false, "floor", {0, 0, 1}},    // the ceiling's back is cut away
      {preview::TView::Top, {}, true, "ceiling", {0, 0, -1}},  // today's picture: the roof
      {preview::TView::Eye, {-50, 50, 50}, false, "east", {-1, 0, 0}},  // outside: the far wall
      {preview::TView::Eye, {-50, 50, 50}, true, "west", {1, 0, 0}},
      {preview::TView::Eye, {50, 50, 50}, false, "east", {-1, 0, 0}},  // inside, looking east
  };
  for (const TCase& c : cases) {
    preview::TRenderOptions o;
    o.Width = 64;
    o.Height = 48;
    o.View = c.view;
    o.Eye.Position = c.eye;
    o.BothSides = c.bothSides;
    o.Light = preview::TLightMode::Flat;
    const preview::TImage image = preview::Render(box, o);
    EXPECT_TRUE(Same(image.At(32, 24), Flat(c.seen, c.normal))) << c.seen << " " << c.bothSides;
  }
}

// A floor seen in perspective: each pixel shows the texel where its ray meets the floor, which
// linear interpolation on screen would miss by several texels halfway up the quad.
TEST(PreviewPerspective, TexelsFollowTheRayNotTheScreen) {
  // Sixteen texels along V, each its own grey: texel v has blue, green, red 10 v.
  std::vector<uint8_t> bgra;
  for (int v = 0; v < 16; ++v)
    bgra.insert(bgra.end(), {uint8_t(10 * v), uint8_t(10 * v), uint8_t(10 * v), 0});
  preview::TScene s;
  s.Textures["t"] = TMaterialImage{1, 16, bgra, {}};
  // From x = 10 to 170 ahead; V runs 0 to 16 with x, so texel v is 10 units long.
  s.Faces.push_back(Quad("t", {{10, -200, 0}, {170, -200, 0}, {170, 200, 0}, {10, 200, 0}},
                         {0, 0, 1}, {0, 0, 0, 0}, {0, 16, 16, 0}));
  preview::TRenderOptions o;
  o.Width = 100;
  o.Height = 100;
  o.View = preview::TView::Eye;
  o.Eye.Position = {0, 0, 20};
  o.Light = preview::TLightMode::Flat;
  const preview::TImage image = preview::Render(s, o);
  const float shade = preview::FaceShade({0, 0, 1});
  int checked = 0;
  for (int y = 51; y < 100; y += 4) {
    // The ray through the pixel centre drops (y + 0.5 - 50) / 50 per unit ahead.
    const double ahead = 20 / ((y + 0.5 - 50) / 50);
    if (ahead < 10 || ahead > 170) continue;
    const int texel = static_cast<int>(std::floor((ahead - 10) / 10));
    const uint8_t grey = static_cast<uint8_t>(10 * texel);
    EXPECT_TRUE(Same(image.At(50, y), preview::Shaded(TColour{grey, grey, grey}, shade)))
        << "row " << y << " texel " << texel;
    ++checked;
  }
  EXPECT_GE(checked, 8);
}

// A floor that runs under and behind the eye is cut at the near plane, not dropped: the rows
// looking down just ahead of the feet still show it.
TEST(PreviewPerspective, FaceCrossingTheNearPlaneIsClipped) {
  preview::TScene s;
  s.Faces.push_back(
      Quad("floor", {{-500, -500, 0}, {500, -500, 0}, {500, 500, 0}, {-500, 500, 0}}, {0, 0, 1}));
  preview::TRenderOptions o;
  o.Width = 40;
  o.Height = 40;
  o.View = preview::TView::Eye;
  o.Eye = {{0, 0, 30}, 0, 60};  // looking 60 degrees down
  o.Light = preview::TLightMode::Flat;
  const preview::TImage image = preview::Render(s, o);
  for (int y : {0, 20, 39}) EXPECT_TRUE(Same(image.At(20, y), Flat("floor", {0, 0, 1}))) << y;

  // The clip itself: the corner behind is replaced by two on the plane, with their texels.
  std::vector<preview::TClipVertex> in(3), out;
  in[0].View = {0, 0, -1};
  in[1].View = {1, 0, 3};
  in[2].View = {-1, 0, 3};
  in[0].U = 0, in[1].U = 4, in[2].U = 4;
  preview::ClipNear(in, 1, out);
  ASSERT_EQ(out.size(), 4u);
  EXPECT_FLOAT_EQ(out[3].View.Z, 1);
  EXPECT_FLOAT_EQ(out[3].U, 2);
}

namespace {

// A 4-entry palette in the colours of a tiny world, with light tables of two steps: levels 0 to
// 31 show index 1 as 2, levels 32 to 63 as 3; and a transparency table whose (3 over 2) is 0.
struct TTinyPalette {
  TPaletteRGB palette{};
  TColorTables tables;
  TTinyPalette() {
    palette[0] = {9, 9, 9};
    palette[1] = {200, 0, 0};
    palette[2] = {0, 60, 0};
    palette[3] = {0, 0, 250};
    tables.Light.resize(64 * 256);
    for (int level = 0; level < 64; ++level)
      for (int i = 0; i < 256; ++i) tables.Light[size_t(level) * 256 + size_t(i)] = uint8_t(i);
    for (int level = 0; level < 64; ++level)
      tables.Light[size_t(level) * 256 + 1] = level < 32 ? 2 : 3;
    tables.Transparency.assign(256 * 256, 1);
    tables.Transparency[3 * 256 + 2] = 0;
  }
  TColour Colour(int i) const {
    return TColour{palette[size_t(i)].R, palette[size_t(i)].G, palette[size_t(i)].B};
  }
};

TScreenVertex P(float x, float y, float light, float depth = 1) {
  TScreenVertex v;
  v.X = x;
  v.Y = y;
  v.Depth = depth;
  v.Light = light;
  return v;
}

}  // namespace

// The light runs from 0 on the left to 1 on the right; each texel is looked up at its level, so
// the picture shows exactly the table's two indices, switching halfway.
TEST(PreviewGameLight, LightRampThroughTwoLevelTable) {
  const TTinyPalette tiny;
  const uint8_t one = 1;
  const preview::TTexture texture(1, 1, &one, tiny.palette);
  preview::TPaint paint;
  paint.Texture = &texture;
  paint.Lit = true;
  paint.Tables = &tiny.tables;
  preview::TRaster r(64, 4, TColour{});
  r.DrawTriangle(P(0, 0, 0), P(64, 0, 1), P(64, 4, 1), paint);
  r.DrawTriangle(P(0, 0, 0), P(64, 4, 1), P(0, 4, 0), paint);
  // Pixel x has light (x + 0.5) / 64, level round(63 light): level 32 from x = 32 on.
  EXPECT_TRUE(Same(r.Image().At(0, 2), tiny.Colour(2)));
  EXPECT_TRUE(Same(r.Image().At(31, 2), tiny.Colour(2)));
  EXPECT_TRUE(Same(r.Image().At(32, 2), tiny.Colour(3)));
  EXPECT_TRUE(Same(r.Image().At(63, 2), tiny.Colour(3)));
  // A light that is no number is darkness, not a level outside the table.
  const float none = std::nanf("");
  r.DrawTriangle(P(0, 0, none, 0), P(64, 0, none, 0), P(0, 4, none, 0), paint);
  EXPECT_TRUE(Same(r.Image().At(1, 1), tiny.Colour(2)));
  EXPECT_FLOAT_EQ(preview::CornerLight(3, 0.5f, 0.25f, 0.5f), 1);  // clamped
  EXPECT_FLOAT_EQ(preview::CornerLight(3, -0.5f, 0.25f, 0), 0);
  EXPECT_FLOAT_EQ(preview::CornerLight(3, 0.25f, 0.25f, 0.125f), 0.625f);
  EXPECT_FLOAT_EQ(preview::CornerLight(0, 0, 0, 0), 1);  // fully lit
}

// A translucent face over a known one: through the transparency table where both are palette
// indices, else half and half; it leaves the depth alone.
TEST(PreviewGameLight, TranslucentFaceBlendsWithWhatIsBehind) {
  const TTinyPalette tiny;
  const uint8_t two = 2, one = 1;
  const preview::TTexture back(1, 1, &two, tiny.palette), front(1, 1, &one, tiny.palette);
  for (bool table : {true, false}) {
    preview::TRaster r(8, 8, TColour{});
    if (table) r.KeepIndices();
    preview::TPaint paint;
    paint.Texture = &back;
    paint.Lit = true;
    paint.Tables = &tiny.tables;
    r.DrawTriangle(P(0, 0, 0, 5), P(16, 0, 0, 5), P(0, 16, 0, 5), paint);  // light 0: index 2
    paint.Texture = &front;
    paint.Translucent = true;
    r.DrawTriangle(P(0, 0, 1, 1), P(16, 0, 1, 1), P(0, 16, 1, 1), paint);  // full light: index 3
    const TColour expected =
        table ? tiny.Colour(0) : TColour{0, 30, 125};  // the table's (3 over 2), else the mean
    EXPECT_TRUE(Same(r.Image().At(2, 2), expected)) << table;
    EXPECT_EQ(r.DepthAt(2, 2), 5);
  }
}

// Copies of one opaque face are drawn once, translucent copies each time; past the work
// budget the farthest faces are left out and counted.
TEST(PreviewRender, DuplicatesAndTheWorkBudget) {
  auto floorAt = [](float z, bool translucent) {
    preview::TFace f =
        Quad("floor", {{0, 0, z}, {100, 0, z}, {100, 100, z}, {0, 100, z}}, {0, 0, 1});
    f.Translucent = translucent;
    return f;
  };
  struct TCase {
    int copies;
    bool translucent, stacked;
    uint64_t budget;
    size_t duplicates;
    bool someLeft;
    std::string said;  // what the left-out line says of them
  } cases[] = {
      {50, false, false, uint64_t(256) << 20, 49, false, ""},
      {3, true, false, uint64_t(256) << 20, 0, false, ""},
      {400, false, true, 0, 0, true, "faces left out, the farthest: "},
      // Translucent faces are drawn farthest first: those left out are the nearest.
      {400, true, true, 0, 0, true, "translucent faces left out, the nearest"},
  };
  for (const TCase& c : cases) {
    preview::TScene scene;
    for (int i = 0; i < c.copies; ++i)
      scene.Faces.push_back(floorAt(c.stacked ? i / 64.f : 0, c.translucent));
    preview::TRenderOptions o;
    o.Width = 128;
    o.Height = 128;
    o.View = c.stacked ? preview::TView::Iso : preview::TView::Top;
    o.Light = preview::TLightMode::Flat;
    o.WorkBudget = c.budget;
    preview::TRenderReport report;
    const preview::TImage image = preview::Render(scene, o, &report);
    EXPECT_EQ(report.Duplicates, c.duplicates) << c.copies;
    EXPECT_EQ(report.Drawn + report.Left + report.Duplicates, size_t(c.copies));
    EXPECT_EQ(report.Left > 0, c.someLeft);
    EXPECT_EQ(report.LeftTranslucent, c.translucent ? report.Left : 0);
    const std::string said = preview::LeftOutText(report);
    EXPECT_EQ(said.find(c.said) != std::string::npos && said.empty() == c.said.empty(), true)
        << said;
    if (c.someLeft) {
      EXPECT_EQ(said.find("the farthest") == std::string::npos, c.translucent) << said;
    }
    // The nearest floor is drawn first: the budget leaves out only what lies behind it.
    const bool plain = Same(image.At(64, 64), Flat("floor", {0, 0, 1}));
    if (!(c.translucent && c.stacked)) {
      EXPECT_EQ(plain, !c.translucent) << c.copies;
    }
  }
}
