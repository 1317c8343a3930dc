#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <tuple>

#include "level/O_3do.h"
#include "model/Md3Writer.h"
#include "model/ModelPose.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "support/Md3Read.h"
#include "support/TestSupport.h"

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
      {"more surfaces than a file holds",
       [](TMD3Model& m) { m.Surfaces.resize(MD3MaxSurfaces + 1, m.Surfaces[0]); },
       "33 surfaces, 32 at most"},
      {"a surface larger than one may be",
       [](TMD3Model& m) {
         TMD3Surface& s = m.Surfaces[0];
         for (size_t v = 3; v <= MD3MaxVertices; ++v) {
           s.XYZ.insert(s.XYZ.end(), {1, 1, 1}), s.Normals.insert(s.Normals.end(), {0, 0, 1});
           s.ST.insert(s.ST.end(), {0, 0});
         }
       },
       "is larger than a surface may be"},
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

// The triangles of a model as the game draws them: each one's three corners (position in 1/64
// unit, texture coordinates) and shader, counted; whatever the files and surfaces hold them.
using TCorner = std::tuple<int16_t, int16_t, int16_t, float, float>;
using TDrawn = std::map<std::tuple<std::string, TCorner, TCorner, TCorner>, int>;
void Draw(const md3_read::TModel& M, TDrawn& Out) {
  for (const md3_read::TSurface& s : M.Surfaces)
    for (size_t t = 0; t < s.Triangles.size(); t += 3) {
      TCorner c[3];
      for (size_t k = 0; k < 3; ++k) {
        const size_t v = static_cast<size_t>(s.Triangles[t + k]);
        c[k] = {s.XYZ[3 * v], s.XYZ[3 * v + 1], s.XYZ[3 * v + 2], s.ST[2 * v], s.ST[2 * v + 1]};
      }
      ++Out[{s.Shader, c[0], c[1], c[2]}];
    }
}

// Writes Model as SplitMD3 and EncodeMD3 write an import's model; checks that every file is within
// the limits and that the files draw exactly the triangles of the model written whole (as far as
// one file could hold it). Returns the number of files.
size_t CheckSplit(const TMD3Model& Model, const std::string& What) {
  const std::vector<TMD3Model> files = SplitMD3(Model);
  double reach = 0;
  for (const TMD3Model& f : files) reach = std::fmax(reach, MD3ModelReach(f));
  TDrawn drawn, whole;
  double scale = 0, first = 0;
  for (const TMD3Model& f : files) {
    const md3_read::TModel m = md3_read::Read(EncodeMD3(f, scale, reach));
    if (first == 0) first = scale;
    EXPECT_EQ(scale, first) << What << ": the parts share one modelscale";
    EXPECT_LE(m.Surfaces.size(), MD3MaxSurfaces) << What;
    for (const md3_read::TSurface& s : m.Surfaces) {
      EXPECT_LE(s.XYZ.size() / 3, MD3MaxVertices) << What;
      EXPECT_LE(s.Triangles.size() / 3, MD3MaxTriangles) << What;
    }
    Draw(m, drawn);
  }
  // The model's own triangles, stored at that scale as the writer stores a coordinate.
  auto stored = [first](float X) { return static_cast<int16_t>(std::lround(X * 64.0 / first)); };
  for (const TMD3Surface& s : Model.Surfaces)
    for (size_t t = 0; t < s.Triangles.size(); t += 3) {
      TCorner c[3];
      for (size_t k = 0; k < 3; ++k) {
        const size_t v = s.Triangles[t + k];
        c[k] = {stored(s.XYZ[3 * v]), stored(s.XYZ[3 * v + 1]), stored(s.XYZ[3 * v + 2]),
                s.ST[2 * v], s.ST[2 * v + 1]};
      }
      ++whole[{s.Shader, c[0], c[1], c[2]}];
    }
  EXPECT_TRUE(drawn == whole) << What << ": the files draw other triangles";
  return files.size();
}

TMD3Model Fan(size_t Corners, size_t Surfaces) {
  TMD3Model m;
  m.Name = "models/level/big.md3";
  for (size_t i = 0; i < Surfaces; ++i) {
    TMD3Surface s;
    s.Name = "m" + std::to_string(i);
    s.Shader = "textures/level/m" + std::to_string(i);
    for (size_t v = 0; v < Corners; ++v) {
      const float a = static_cast<float>(v) * 0.001f;
      s.XYZ.insert(s.XYZ.end(), {100 * std::cos(a), 100 * std::sin(a), static_cast<float>(i)});
      s.Normals.insert(s.Normals.end(), {0, 0, 1});
      s.ST.insert(s.ST.end(), {a, static_cast<float>(i)});
    }
    // A face drawn from both sides: each fan triangle once each way.
    for (uint32_t v = 1; v + 1 < Corners; ++v)
      s.Triangles.insert(s.Triangles.end(), {0, v, v + 1, 0, v + 1, v});
    m.Surfaces.push_back(s);
  }
  return m;
}

TEST(Md3, ModelsBeyondTheLimitsAreSplitIntoFilesWithin) {
  // One surface of 5,000 vertices and 9,996 triangles; 300 small surfaces.
  EXPECT_EQ(CheckSplit(Fan(5000, 1), "a large face"), 1u);
  EXPECT_EQ(CheckSplit(Fan(3, 300), "300 materials"), 10u);
  EXPECT_EQ(SplitMD3(Fan(5000, 1)).front().Surfaces.size(), 6u);  // 998 new corners a piece
  // A model within the limits is one file of the same surfaces.
  EXPECT_EQ(SplitMD3(Fan(1000, 32)).size(), 1u);
  EXPECT_EQ(SplitMD3(Fan(1000, 32)).front().Surfaces.size(), 32u);
}

// Every model of the corpus, posed at the import's Scale and written as an import writes it.
TEST(Md3, EveryCorpusModelIsWrittenWithinTheLimits) {
  const std::vector<std::string> models = testing_support::CorpusFiles("models/3do", "*.3do");
  if (models.empty()) GTEST_SKIP() << "no corpus";
  size_t read = 0;
  for (const std::string& name : models) {
    const std::string file =
        rtl::JoinPath(rtl::JoinPath(testing_support::CorpusDir(), "models/3do"), name);
    T3DOModel model;
    try {
      model.LoadFromFile(file);
    } catch (const rtl::Exception&) {
      continue;  // the reader's refusals are the reader's tests'
    }
    ++read;
    const TPosedModel posed = PoseModel(model, 256, [](int, int& w, int& h) {
      w = h = 64;
      return true;
    });
    TMD3Model md3;
    md3.Name = "models/corpus/m.md3";
    for (const TPosedSurface& s : posed.Surfaces)
      md3.Surfaces.push_back({"s", "textures/corpus/" + std::to_string(s.Material), s.XYZ,
                              s.Normals, s.ST, s.Triangles});
    CheckSplit(md3, file);
  }
  EXPECT_GT(read, models.size() / 2);
}

TEST(Md3, TheMarkTellsAFileMorvaneWroteFromOneChangedSince) {
  double scale = 0;
  const std::string bytes = EncodeMD3(OneTriangle(10), scale);
  EXPECT_TRUE(MarkedMD3Unchanged(bytes));
  for (size_t at : {size_t{0}, size_t{150}, bytes.size() / 2, bytes.size() - 1}) {
    std::string changed = bytes;
    changed[at] = static_cast<char>(changed[at] ^ 1);
    EXPECT_FALSE(MarkedMD3Unchanged(changed)) << at;
  }
  EXPECT_FALSE(MarkedMD3Unchanged(bytes.substr(0, 100)));
  EXPECT_FALSE(MarkedMD3Unchanged(bytes + "x"));
}

}  // namespace
