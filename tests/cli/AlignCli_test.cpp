// `morvane import --align` and `--map-format brushdef`: what the .map holds is read back and
// compared with the level's own texture vertices.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "align/TexFit.h"
#include "brush/BrushConvert.h"
#include "brush/FrontFaces.h"
#include "cli/Cli.h"
#include "container/O_jkc.h"
#include "import/BrushStages.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"
#include "plugin/SendBrushes.h"
#include "plugin/main.h"
#include "rtl/Files.h"
#include "support/AlignImport.h"
#include "support/CliRun.h"
#include "support/SampleImport.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using TRun = testing_support::TCliRun;
using testing_support::Morvane;

std::string Sample() {
  return rtl::JoinPath(MORVANE_SOURCE_DIR, rtl::NativePath("examples/sample/sample.gob"));
}

// One face line of a .map read back: its points, and either the classic values or the matrix.
struct TFaceLine {
  float P[3][3] = {};
  bool BrushDef = false;
  texfit::TClassicProjection Classic;
  texfit::TBrushDefMatrix Matrix;
  std::string Texture;
};

// The first face line (the front face) of every brush of a map, in file order.
std::vector<TFaceLine> FrontFaces(const std::string& map) {
  std::vector<TFaceLine> faces;
  std::istringstream in(map);
  std::string line;
  bool first = false, brushDef = false;
  int depth = 0;  // 1 in the entity, 2 in a brush, 3 in a brushDef's own block
  while (std::getline(in, line)) {
    if (line == "{") {
      if (++depth == 2) first = true, brushDef = false;
      continue;
    }
    if (line == "}") {
      --depth;
      continue;
    }
    if (line == "brushDef") {
      brushDef = true;
      continue;
    }
    if (depth < 2 || !first || line.empty() || line[0] != '(') continue;
    first = false;
    std::istringstream words(line);
    std::string w;
    TFaceLine f;
    f.BrushDef = brushDef;
    for (auto& p : f.P) {
      words >> w;  // "("
      words >> p[0] >> p[1] >> p[2] >> w;
    }
    if (brushDef) {
      words >> w;  // "("
      for (auto& row : f.Matrix.M) {
        words >> w >> row[0] >> row[1] >> row[2] >> w;
      }
      words >> w;  // ")"
      words >> f.Texture;
    } else {
      words >> f.Texture >> f.Classic.ShiftS >> f.Classic.ShiftT >> f.Classic.Rotation >>
          f.Classic.ScaleS >> f.Classic.ScaleT;
    }
    faces.push_back(f);
  }
  return faces;
}

// The sample level's brushes as the import makes them, with the level's texels on the fronts.
void SampleBrushes(TBrushLevel& brushes) {
  TJKContainer container;
  ASSERT_TRUE(container.Open(Sample()));
  rtl::TStringList lines;
  container.ExtractToStrings(lines, "jkl\\sample.jkl");
  TJKLevel level;
  level.LoadFromStrings(lines);
  rtl::TStringList settings;  // the import's defaults: scale 256, depth 8
  settings.Add("Scale=256");
  settings.Add("BrushDepth=8");
  TSettingsScope scope(settings);
  ResetCachedSettings();
  TImportOptions keep;
  keep.KeepTexels = true;
  MakeBrushLevel(level, brushes, nullptr, keep);
  ResetCachedSettings();
}

}  // namespace

TEST(CliAlign, AlignPutsEveryFrontCornerOnItsTexelForThisRunOnly) {
  TempDir dir;
  WriteFile(dir / "m.ini", "NonVisTex=system/nodraw\n");
  const TRun r = Morvane({"import", Sample(), "--settings", dir / "m.ini", "--map", dir / "s.map",
                          "--game-dir", dir.Folder("game"), "--align"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  // Five faces to align (the sixth is sky), all exact on this level.
  EXPECT_NE(r.err.find("morvane import: aligned 5 front faces, 5 within 1 texel at every corner, "
                       "the worst 0.00 texels off\n"),
            std::string::npos)
      << r.err;
  // Not stored: the settings file has no AlignTextures line.
  EXPECT_EQ(ReadFile(dir / "m.ini").find("AlignTextures"), std::string::npos);

  TBrushLevel brushes;
  SampleBrushes(brushes);
  const std::vector<TFaceLine> fronts = FrontFaces(ReadFile(dir / "s.map"));
  ASSERT_EQ(fronts.size(), static_cast<size_t>(brushes.Brushes.Count()));
  int aligned = 0;
  for (size_t i = 0; i < fronts.size(); ++i) {
    const TSurface& front = *brushes.Brushes.Items(static_cast<int>(i))->Surfaces.Items(0);
    EXPECT_FALSE(fronts[i].BrushDef);
    if (!AlignedFrontFace(front)) {
      EXPECT_EQ(fronts[i].Classic.ScaleS, 0.5f);  // the sky face as before
      continue;
    }
    ++aligned;
    const auto corners = TexCorners(front);
    const TVector3 n = texfit::EditorNormal(fronts[i].P[0], fronts[i].P[1], fronts[i].P[2]);
    EXPECT_LE(texfit::ClassicError(n, fronts[i].Classic, corners.data(), corners.size()).Worst,
              1e-3)
        << "brush " << i;
  }
  EXPECT_EQ(aligned, 5);

  // The setting does the same as the flag.
  WriteFile(dir / "m.ini", "NonVisTex=system/nodraw\nAlignTextures=1\n");
  const TRun s = Morvane({"import", Sample(), "--settings", dir / "m.ini", "--map", dir / "t.map",
                          "--game-dir", dir.Folder("game")});
  ASSERT_EQ(s.code, 0) << s.err;
  EXPECT_EQ(ReadFile(dir / "t.map"), ReadFile(dir / "s.map"));
  EXPECT_NE(s.err.find("aligned 5 front faces"), std::string::npos) << s.err;
}

TEST(CliAlign, BrushDefMatricesReadBackPutCornersOnTheirTexels) {
  TempDir dir;
  const TRun r = Morvane({"import", Sample(), "--settings", dir / "m.ini", "--map", dir / "s.map",
                          "--game-dir", dir.Folder("game"), "--align", "--map-format", "BrushDef"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("all of them as brushDef, 0 sized as 64 x 64"), std::string::npos) << r.err;
  TBrushLevel brushes;
  SampleBrushes(brushes);
  const std::vector<TFaceLine> fronts = FrontFaces(ReadFile(dir / "s.map"));
  ASSERT_EQ(fronts.size(), 6u);
  // The sample's images are 64 x 64 (floor, wall) and 128 x 64 (sky).
  for (size_t i = 0; i < fronts.size(); ++i) {
    const TSurface& front = *brushes.Brushes.Items(static_cast<int>(i))->Surfaces.Items(0);
    ASSERT_TRUE(fronts[i].BrushDef);
    if (!AlignedFrontFace(front)) continue;
    const int w = front.MaterialName == "sky.mat" ? 128 : 64, h = 64;
    const auto corners = TexCorners(front);
    const TVector3 n = texfit::EditorNormal(fronts[i].P[0], fronts[i].P[1], fronts[i].P[2]);
    EXPECT_LE(
        texfit::BrushDefError(n, fronts[i].Matrix, w, h, corners.data(), corners.size()).Worst,
        0.01)
        << "brush " << i << " " << front.MaterialName;
  }
}

// A loose level whose folder holds only one of its materials: a compiler takes the file's
// first brush for its format, so the others are brushDef blocks too, sized as 64 x 64 images.
TEST(CliAlign, BrushesOfUnknownImageSizeAreBrushDefAllTheSame) {
  TempDir dir;
  TJKContainer container;
  ASSERT_TRUE(container.Open(Sample()));
  rtl::TStringList lines;
  container.ExtractToStrings(lines, "jkl\\sample.jkl");
  std::string level;
  for (int i = 0; i < lines.Count(); ++i) level += lines[i] + "\n";
  WriteFile(dir / "sample.jkl", level);
  ASSERT_TRUE(rtl::ForceDirectories(dir / "mat"));
  {
    rtl::TFileStream out(dir / rtl::NativePath("mat/floor.mat"), rtl::TFileMode::Create);
    ASSERT_TRUE(container.ExtractToStream(out, "mat\\floor.mat"));
  }
  const TRun classic = Morvane({"import", dir / "sample.jkl", "--settings", dir / "m.ini", "--map",
                                dir / "c.map", "--game-dir", dir.Folder("game")});
  ASSERT_EQ(classic.code, 0) << classic.err;
  const TRun r =
      Morvane({"import", dir / "sample.jkl", "--settings", dir / "m.ini", "--map", dir / "d.map",
               "--game-dir", dir.Folder("game"), "--map-format", "brushdef"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("all of them as brushDef, 5 sized as 64 x 64"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Morvane: 5 brushes of unknown image size written as brushDef for a 64 x "
                       "64 image\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(classic.out.find("unknown image size"), std::string::npos);
  const std::vector<TFaceLine> fronts = FrontFaces(ReadFile(dir / "d.map"));
  ASSERT_EQ(fronts.size(), 6u);
  for (const TFaceLine& f : fronts) EXPECT_TRUE(f.BrushDef) << f.Texture;
  // Without alignment a brushDef face draws what the default projection draws.
  const std::vector<TFaceLine> plain = FrontFaces(ReadFile(dir / "c.map"));
  for (size_t i = 0; i < fronts.size(); ++i) {
    if (!fronts[i].BrushDef) continue;
    const TVector3 n = texfit::EditorNormal(fronts[i].P[0], fronts[i].P[1], fronts[i].P[2]);
    for (const auto& p : fronts[i].P) {
      double s1, t1, s2, t2;
      texfit::ClassicTexel(n, plain[i].Classic, p, s1, t1);
      texfit::BrushDefTexel(n, fronts[i].Matrix, 64, 64, p, s2, t2);
      EXPECT_NEAR(s1, s2, 0.01);
      EXPECT_NEAR(t1, t2, 0.01);
    }
  }
}

TEST(CliAlign, AnUnknownMapFormatIsAUsageError) {
  TempDir dir;
  const TRun r = Morvane({"import", Sample(), "--settings", dir / "m.ini", "--map", dir / "s.map",
                          "--game-dir", dir.Folder("game"), "--map-format", "valve"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("unknown map format 'valve' (quake3 or brushdef)"), std::string::npos)
      << r.err;
  EXPECT_FALSE(rtl::FileExists(dir / "s.map"));
  // quake3 is today's map, byte for byte.
  WriteFile(dir / "q.ini", sample_import::Settings(Sample()));
  const TRun q = Morvane({"import", Sample(), "--settings", dir / "q.ini", "--map", dir / "q.map",
                          "--game-dir", dir.Folder("game"), "--map-format", "quake3"});
  ASSERT_EQ(q.code, 0) << q.err;
  EXPECT_EQ(q.err.find("aligned"), std::string::npos);
  const std::string map = ReadFile(dir / "q.map");
  const std::string tex =
      rtl::JoinPath(dir / "game", rtl::NativePath(std::string(GameTextureFolder) + "sample"));
  EXPECT_EQ(sample_import::Digest(map, tex), sample_import::ExpectedDigest)
      << sample_import::Differences(map, tex);
}

// The digest that the DLL under Wine must give as well (tests/wine): the same fitted values for
// every face of a real level, bit for bit.
TEST(CliAlign, CorpusLevelMapMatchesTheSharedDigest) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  WriteFile(dir / "m.ini", align_import::Settings);
  const TRun r =
      Morvane({"import", rtl::JoinPath(corpus, rtl::NativePath(align_import::Level)), "--settings",
               dir / "m.ini", "--map", dir / "a.map", "--game-dir", dir.Folder("game")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.err.find("morvane import: aligned "), std::string::npos) << r.err;
  EXPECT_EQ(align_import::Digest(ReadFile(dir / "a.map")), align_import::ExpectedDigest);
}
