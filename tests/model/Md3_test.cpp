#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/Md3Writer.h"
#include "rtl/SysUtils.h"
#include "support/Md3Read.h"

namespace {

TMD3Model OneTriangle(float Reach) {
  TMD3Model m;
  m.Name = "models/level/tri.md3";
  TMD3Surface s;
  s.Name = "wall";
  s.Shader = "textures/level/wall";
  s.XYZ = {0, 0, 0, Reach, 0, 0, 0, -Reach / 2, 1.0f / 64};
  s.Normals = {0, 0, 1, 0, 0, -1, 0.6f, 0.8f, 0};
  s.ST = {0, 0, 1, 0, 0.25f, 0.5f};
  s.Triangles = {0, 2, 1};
  m.Surfaces.push_back(s);
  return m;
}

TEST(Md3, OneTriangleReadsBack) {
  double scale = 0;
  const std::string bytes = EncodeMD3(OneTriangle(100), scale);
  EXPECT_EQ(scale, 1);
  // Header, one frame, one surface of a header, a shader, one triangle and three vertices.
  EXPECT_EQ(bytes.size(), 108u + 56 + 108 + 68 + 12 + 3 * 8 + 3 * 8);
  const md3_read::TModel m = md3_read::Read(bytes);
  EXPECT_EQ(m.Version, 15);
  EXPECT_EQ(m.Name, "models/level/tri.md3");
  EXPECT_EQ(m.Frames, 1);
  EXPECT_EQ(m.Tags, 0);
  EXPECT_FLOAT_EQ(m.Max[0], 100);
  EXPECT_FLOAT_EQ(m.Min[1], -50);
  EXPECT_FLOAT_EQ(m.Radius, 100);
  ASSERT_EQ(m.Surfaces.size(), 1u);
  const md3_read::TSurface& s = m.Surfaces[0];
  EXPECT_EQ(s.Name, "wall");
  EXPECT_EQ(s.Shader, "textures/level/wall");
  EXPECT_EQ(s.Triangles, (std::vector<int32_t>{0, 2, 1}));
  EXPECT_EQ(s.XYZ, (std::vector<int16_t>{0, 0, 0, 6400, 0, 0, 0, -3200, 1}));
  EXPECT_EQ(s.ST, (std::vector<float>{0, 0, 1, 0, 0.25f, 0.5f}));
  const double expected[3][3] = {{0, 0, 1}, {0, 0, -1}, {0.6, 0.8, 0}};
  for (int v = 0; v < 3; ++v) {
    double n[3];
    md3_read::DecodeNormal(s.Normals[static_cast<size_t>(v)], n);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(n[a], expected[v][a], 0.025) << v << " " << a;
  }
}

TEST(Md3, ALargerModelIsStoredSmallerWithItsModelScale) {
  struct Case {
    float reach;
    double scale;
  };
  const Case cases[] = {{511.98f, 1}, {512, 2}, {1023.9f, 2}, {3675.6f, 8}};
  for (const Case& c : cases) {
    double scale = 0;
    const md3_read::TModel m = md3_read::Read(EncodeMD3(OneTriangle(c.reach), scale));
    EXPECT_EQ(scale, c.scale) << c.reach;
    // Stored in 1/64 unit of the smaller model, placed at modelscale: within half a step.
    const double placed = m.Surfaces[0].XYZ[3] / 64.0 * scale;
    EXPECT_NEAR(placed, c.reach, scale / 128) << c.reach;
    EXPECT_LE(std::abs(m.Surfaces[0].XYZ[3]), 32767);
  }
}

TEST(Md3, RefusesWhatTheFileCannotHold) {
  struct Case {
    const char* what;
    void (*spoil)(TMD3Model&);
    const char* message;
  };
  const Case cases[] = {
      {"a long shader", [](TMD3Model& m) { m.Surfaces[0].Shader = std::string(64, 's'); },
       "is longer than 63 characters"},
      {"a missing vertex", [](TMD3Model& m) { m.Surfaces[0].Triangles[1] = 3; },
       "names a missing vertex"},
      {"arrays that disagree", [](TMD3Model& m) { m.Surfaces[0].ST.pop_back(); }, "disagree"},
      {"an infinite coordinate", [](TMD3Model& m) { m.Surfaces[0].XYZ[0] = INFINITY; },
       "no finite number"},
  };
  for (const Case& c : cases) {
    TMD3Model m = OneTriangle(10);
    c.spoil(m);
    double scale = 0;
    try {
      EncodeMD3(m, scale);
      ADD_FAILURE() << c.what;
    } catch (const rtl::Exception& e) {
      EXPECT_NE(std::string(e.what()).find("Model 'models/level/tri.md3' cannot be written"),
                std::string::npos)
          << c.what;
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.what;
    }
  }
}

}  // namespace
