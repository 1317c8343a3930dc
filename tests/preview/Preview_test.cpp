// The preview from end to end (morvane preview on levels built here and on the corpus), and its
// scene: the editor's projection, the flat colours, the drawing of faces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "cli/Cli.h"
#include "import/Pipeline.h"
#include "level/O_jkl.h"
#include "plugin/main.h"
#include "preview/Scene.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "support/JklText.h"
#include "support/RecordingHost.h"
#include "support/SampleImport.h"
#include "support/TestSupport.h"
#include "texture/MatFixture.h"
#include "texture/O_jkt.h"

using preview::TColour;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

bool Same(TColour a, TColour b) { return a.R == b.R && a.G == b.G && a.B == b.B; }

// A decoded PNG file: its size and RGB pixels, or Width 0 when it does not decode.
preview::TImage DecodePng(const std::string& bytes) {
  preview::TImage out;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return out;
  image.format = PNG_FORMAT_RGB;
  out.RGB.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.RGB.data(), 0, nullptr)) {
    png_image_free(&image);
    return preview::TImage{};
  }
  out.Width = static_cast<int>(image.width);
  out.Height = static_cast<int>(image.height);
  return out;
}

struct TSurfaceDef {
  int material;
  std::vector<int> corners;
  std::vector<std::pair<float, float>> texels;  // one per corner
};

// JKL text of one sector holding every surface, each corner with a texture vertex of its own.
std::string LevelText(const std::vector<std::string>& materials,
                      const std::vector<TVector3>& vertices,
                      const std::vector<TSurfaceDef>& surfaces) {
  std::string t = "SECTION: MATERIALS\nWorld materials " + std::to_string(materials.size()) + "\n";
  for (size_t i = 0; i < materials.size(); ++i)
    t += std::to_string(i) + ":\t" + materials[i] + "\t1.0\t1.0\n";
  t += "end\nSECTION: GEORESOURCE\nWorld vertices " + std::to_string(vertices.size()) + "\n";
  for (size_t i = 0; i < vertices.size(); ++i)
    t += rtl::Format("%d: %g %g %g\n", static_cast<int>(i), vertices[i].X, vertices[i].Y,
                     vertices[i].Z);
  std::string texels, lines;
  int next = 0;
  for (size_t s = 0; s < surfaces.size(); ++s) {
    const TSurfaceDef& surface = surfaces[s];
    lines += rtl::Format("%d: %d 0x4 0 4 3 0 -1 0 %d", static_cast<int>(s), surface.material,
                         static_cast<int>(surface.corners.size()));
    for (size_t k = 0; k < surface.corners.size(); ++k) {
      texels += rtl::Format("%d: %g %g\n", next, surface.texels[k].first, surface.texels[k].second);
      lines += rtl::Format(" %d,%d", surface.corners[k], next++);
    }
    lines += "\n";
  }
  t += "World texture vertices " + std::to_string(next) + "\n" + texels;
  // The reader looks for the normals table from the last surface line on, which would find a
  // lone surface's own line: a level of one solid surface gets a second one, without corners,
  // that opens into another sector and so makes no brush.
  size_t count = surfaces.size();
  if (count == 1) lines += "1: 0 0x4 0 4 3 0 0 0 0\n", ++count;
  t += "World adjoins 0\nWorld surfaces " + std::to_string(count) + "\n" + lines;
  // The normals table the reader expects; the brush conversion computes its own.
  for (size_t s = 0; s < count; ++s) t += std::to_string(s) + ": 0 0 0\n";
  t += "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 " + std::to_string(count) + "\n";
  t += "SECTION: THINGS\nWorld things 0\nend\n";
  return t;
}

// A MAT of width x height texels whose texel (x, y) has the palette index pixel(x, y).
template <class F>
std::string Mat(int width, int height, F pixel) {
  std::string pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels += static_cast<char>(pixel(x, y));
  return mat_fixture::TextureMat({{width, height, pixels}});
}

TColour PaletteColour(int index) {
  const TRGBTriple& c = DefaultPalette[static_cast<size_t>(index)];
  return TColour{c.R, c.G, c.B};
}

struct TRun {
  int code;
  std::string out, err;
};

TRun RunPreview(std::vector<std::string> args) {
  ResetCachedSettings();
  args.insert(args.begin(), {"morvane", "preview"});
  std::ostringstream out, err;
  const int code = RunCli(args, out, err);
  return TRun{code, out.str(), err.str()};
}

// The editor's face record of a face through three points, with the default projection.
recording_host::TRecordedFace FaceThrough(TVector3 a, TVector3 b, TVector3 c) {
  recording_host::TRecordedFace f;
  const TVector3 p[3] = {a, b, c};
  float* out[3] = {f.P1, f.P2, f.P3};
  for (int i = 0; i < 3; ++i) {
    out[i][0] = p[i].X;
    out[i][1] = p[i].Y;
    out[i][2] = p[i].Z;
  }
  return f;
}

}  // namespace

// The projection the editor family applies: axis pair by the normal's largest component
// (first in floor, ceiling, west, east, south, north order on a tie), then rotation, scale,
// shift.
TEST(PreviewEditorProjection, AxisPairsRotationScaleAndShift) {
  float s = 0, t = 0;
  // A floor (normal +Z): S = X, T = -Y, at the default scale 0.5.
  auto floorFace = FaceThrough({0, 0, 0}, {64, 0, 0}, {64, 64, 0});
  preview::EditorTexel(floorFace, {64, 32, 7}, s, t);
  EXPECT_FLOAT_EQ(s, 128);
  EXPECT_FLOAT_EQ(t, -64);
  // The same plane facing down (a ceiling) takes the same pair.
  auto ceiling = FaceThrough({64, 64, 0}, {64, 0, 0}, {0, 0, 0});
  preview::EditorTexel(ceiling, {64, 32, 7}, s, t);
  EXPECT_FLOAT_EQ(s, 128);
  EXPECT_FLOAT_EQ(t, -64);
  // A wall facing X: S = Y, T = -Z; scale 2 and 4, shifts 3 and 5.
  auto west = FaceThrough({0, 0, 0}, {0, 0, 64}, {0, 64, 64});
  west.ScaleS = 2;
  west.ScaleT = 4;
  west.ShiftS = 3;
  west.ShiftT = 5;
  preview::EditorTexel(west, {10, 20, 40}, s, t);
  EXPECT_FLOAT_EQ(s, 20.0f / 2 + 3);
  EXPECT_FLOAT_EQ(t, -40.0f / 4 + 5);
  // A wall facing Y: S = X, T = -Z; a scale of 0 is the default.
  auto south = FaceThrough({0, 0, 0}, {64, 0, 0}, {64, 0, 64});
  south.ScaleS = 0;
  south.ScaleT = 0;
  preview::EditorTexel(south, {10, 20, 40}, s, t);
  EXPECT_FLOAT_EQ(s, 20);
  EXPECT_FLOAT_EQ(t, -80);
  // 45 degrees between X and Y: X comes first and wins the tie (strictly greater only).
  auto diagonal = FaceThrough({0, 0, 0}, {0, 0, 64}, {64, -64, 64});
  preview::EditorTexel(diagonal, {10, 20, 40}, s, t);
  EXPECT_FLOAT_EQ(s, 40);  // S = Y
  // Rotation on a floor turns S = (1, 0, 0) into (cos r, sin r, 0) and T = (0, -1, 0) into
  // (sin r, -cos r, 0); the right angles exactly.
  auto turned = FaceThrough({0, 0, 0}, {64, 0, 0}, {64, 64, 0});
  turned.Rotate = 90;
  turned.ScaleS = turned.ScaleT = 1;
  preview::EditorTexel(turned, {3, 5, 0}, s, t);
  EXPECT_EQ(s, 5);
  EXPECT_EQ(t, 3);
  turned.Rotate = 30;
  preview::EditorTexel(turned, {3, 5, 0}, s, t);
  const double c = std::cos(M_PI / 6), n = std::sin(M_PI / 6);
  EXPECT_NEAR(s, 3 * c + 5 * n, 1e-4);
  EXPECT_NEAR(t, 3 * n - 5 * c, 1e-4);
}

TEST(PreviewScene, FlatColoursComeFromTheNameInAnyCase) {
  EXPECT_TRUE(Same(preview::MaterialColour("Wall.MAT"), preview::MaterialColour("wall.mat")));
  EXPECT_FALSE(Same(preview::MaterialColour("wall.mat"), preview::MaterialColour("floor.mat")));
  EXPECT_FALSE(Same(preview::MaterialColour("wall.mat"), preview::Background));
  // Floors are lit brightest, and the two wall directions differently.
  const float up = preview::FaceShade({0, 0, 1}), x = preview::FaceShade({1, 0, 0}),
              y = preview::FaceShade({0, 1, 0});
  EXPECT_GT(up, x);
  EXPECT_GT(up, y);
  EXPECT_NE(x, y);
  EXPECT_FLOAT_EQ(preview::FaceShade({0, 0, -1}), up);  // both sides alike
}

namespace {

// One level-unit square on the floor, textured with a 2 x 2 MAT stretched over it: seen from
// above, texel (0, 0) lies at the top-left of the picture, (1, 1) at the bottom-right.
const int QuadIndex[4] = {10, 50, 100, 200};  // palette indices of texels (0,0) (1,0) (0,1) (1,1)

void WriteSquareLevel(const TempDir& dir) {
  WriteFile(dir / "square.jkl",
            LevelText({"quad.mat"}, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
                      {{0, {0, 1, 2, 3}, {{0, 2}, {2, 2}, {2, 0}, {0, 0}}}}));
  WriteFile(dir / "quad.mat", Mat(2, 2, [](int x, int y) { return QuadIndex[y * 2 + x]; }));
  WriteFile(dir / "m.ini", "Scale=256\r\nBrushDepth=8\r\n");
}

}  // namespace

TEST(PreviewCommand, TexturedSquareFacingTheCameraShowsItsTexels) {
  TempDir dir;
  WriteSquareLevel(dir);
  TRun run = RunPreview({dir / "square.jkl", "--settings", dir / "m.ini", "--view", "top", "--size",
                         "100x100", "-o", dir / "square.png"});
  ASSERT_EQ(run.code, 0) << run.out << run.err;
  // Without an install folder the texture is decoded all the same: nothing is written.
  EXPECT_NE(run.out.find("1 sectors converted to 1 brushes, 1 textures converted"),
            std::string::npos)
      << run.out;
  const preview::TImage image = DecodePng(ReadFile(dir / "square.png"));
  ASSERT_EQ(image.Width, 100);
  ASSERT_EQ(image.Height, 100);
  // The square fills the picture less 16 pixels on each side: 34 pixels per texel, nearest
  // sampling, shaded as a floor.
  const float shade = preview::FaceShade({0, 0, 1});
  auto texel = [&](int x, int y) {
    return preview::Shaded(PaletteColour(QuadIndex[y * 2 + x]), shade);
  };
  for (int i = 0; i < 4; ++i)
    for (int j = i + 1; j < 4; ++j)
      ASSERT_FALSE(Same(texel(i % 2, i / 2), texel(j % 2, j / 2)));  // four colours to tell apart
  EXPECT_TRUE(Same(image.At(17, 17), texel(0, 0)));
  EXPECT_TRUE(Same(image.At(49, 49), texel(0, 0)));
  EXPECT_TRUE(Same(image.At(51, 17), texel(1, 0)));
  EXPECT_TRUE(Same(image.At(82, 49), texel(1, 0)));
  EXPECT_TRUE(Same(image.At(17, 51), texel(0, 1)));
  EXPECT_TRUE(Same(image.At(82, 82), texel(1, 1)));
  EXPECT_TRUE(Same(image.At(5, 5), preview::Background));
  EXPECT_TRUE(Same(image.At(95, 50), preview::Background));

  // No install folder at all: an import could write no image, the preview decodes all the same.
  TRun bare = RunPreview({dir / "square.jkl", "--settings", dir / "m.ini", "--game-dir", "",
                          "--view", "top", "--size", "100x100", "-o", dir / "bare.png"});
  ASSERT_EQ(bare.code, 0) << bare.out << bare.err;
  EXPECT_EQ(bare.out.find("install path"), std::string::npos) << bare.out;
  EXPECT_NE(bare.out.find("1 textures converted"), std::string::npos) << bare.out;
  EXPECT_EQ(ReadFile(dir / "bare.png"), ReadFile(dir / "square.png"));
}

// A level unpacked from its container keeps its materials in the mat folder beside its own
// folder: the preview takes --parent-mat as the import does, and draws the texture found there.
TEST(PreviewCommand, TakesTheImportsLookFlags) {
  TempDir dir;
  WriteSquareLevel(dir);
  rtl::ForceDirectories(dir / "lvl/jkl");
  rtl::ForceDirectories(dir / "lvl/mat");
  WriteFile(dir / "lvl/jkl/square.jkl", ReadFile(dir / "square.jkl"));
  WriteFile(dir / "lvl/mat/quad.mat", ReadFile(dir / "quad.mat"));
  for (const char* flag : {"--parent-mat", "--game-ready"}) {
    TRun run = RunPreview({dir / "lvl/jkl/square.jkl", "--settings", dir / "m.ini", "--view", "top",
                           "--size", "100x100", "-o", dir / "square.png", flag});
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("1 textures converted"), std::string::npos) << flag << run.out;
  }
}

// A small square hovering above a large one: from above and from the corner it hides the part
// of the large one behind it, whichever of the two the level lists first.
TEST(PreviewCommand, NearerFaceHidesTheOneBehindWhateverTheOrder) {
  TempDir dir;
  const std::vector<TVector3> vertices = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0},
                                          {1, 1, 1}, {3, 1, 1}, {3, 3, 1}, {1, 3, 1}};
  const TSurfaceDef low{0, {0, 1, 2, 3}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}};
  const TSurfaceDef high{1, {4, 5, 6, 7}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}};
  WriteFile(dir / "a.jkl", LevelText({"low.mat", "high.mat"}, vertices, {low, high}));
  WriteFile(dir / "b.jkl", LevelText({"low.mat", "high.mat"}, vertices, {high, low}));
  WriteFile(dir / "m.ini", "Scale=256\r\nBrushDepth=8\r\n");
  for (const char* view : {"top", "iso"}) {
    TRun a = RunPreview({dir / "a.jkl", "--settings", dir / "m.ini", "--view", view, "--size",
                         "120x90", "-o", dir / "a.png"});
    TRun b = RunPreview({dir / "b.jkl", "--settings", dir / "m.ini", "--view", view, "--size",
                         "120x90", "-o", dir / "b.png"});
    ASSERT_EQ(a.code, 0) << a.err;
    ASSERT_EQ(b.code, 0) << b.err;
    const preview::TImage x = DecodePng(ReadFile(dir / "a.png"));
    const preview::TImage y = DecodePng(ReadFile(dir / "b.png"));
    ASSERT_EQ(x.Width, 120);
    EXPECT_EQ(x.RGB, y.RGB) << view;
    // The upper square's middle shows the upper square; textures were not found, so each face
    // has its material's flat colour.
    std::vector<TVector3> points;
    for (const TVector3& p : vertices) points.push_back({p.X * 256, p.Y * 256, p.Z * 256});
    const preview::TCamera camera(
        std::string(view) == "top" ? preview::TView::Top : preview::TView::Iso, points, 120, 90);
    const auto middle = camera.Project({512, 512, 256});
    const int mx = static_cast<int>(middle.X), my = static_cast<int>(middle.Y);
    const float shade = preview::FaceShade({0, 0, 1});
    EXPECT_TRUE(Same(x.At(mx, my), preview::Shaded(preview::MaterialColour("high.mat"), shade)))
        << view;
  }
  // From above, the large square shows around the small one.
  TRun c = RunPreview({dir / "b.jkl", "--settings", dir / "m.ini", "--view", "top", "--size",
                       "120x90", "-o", dir / "c.png"});
  ASSERT_EQ(c.code, 0);
  const preview::TImage z = DecodePng(ReadFile(dir / "c.png"));
  EXPECT_TRUE(Same(z.At(60, 20), preview::Shaded(preview::MaterialColour("low.mat"),
                                                 preview::FaceShade({0, 0, 1}))));
}

// The bundled sample: the same console lines as an import (less the "Saved: " lines of images
// that the preview does not write), a PNG of the size asked, and nothing else on disk.
TEST(PreviewCommand, SampleGivesTheImportsConsoleAndAPictureOnly) {
  const std::string sample =
      rtl::JoinPath(MORVANE_SOURCE_DIR, rtl::NativePath("examples/sample/sample.gob"));
  TempDir dir;
  const std::string settings = sample_import::Settings(sample) + "Scale=256\r\nBrushDepth=8\r\n";
  WriteFile(dir / "i.ini", settings);
  WriteFile(dir / "p.ini", settings);
  ResetCachedSettings();
  std::ostringstream importOut, importErr;
  ASSERT_EQ(RunCli({"morvane", "import", sample, "--game-dir", dir.Folder("igame"), "--settings",
                    dir / "i.ini", "--map", dir / "sample.map"},
                   importOut, importErr),
            0);
  std::string expected;
  std::istringstream lines(importOut.str());
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("Morvane: Saved: ", 0) != 0) expected += line + "\n";

  TRun run = RunPreview({sample, "--game-dir", dir / "pgame", "--settings", dir / "p.ini", "-o",
                         dir / "sample.png", "--size", "320x200"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  EXPECT_NE(run.out.find("3 textures converted"), std::string::npos);
  const preview::TImage image = DecodePng(ReadFile(dir / "sample.png"));
  EXPECT_EQ(image.Width, 320);
  EXPECT_EQ(image.Height, 200);
  EXPECT_FALSE(rtl::DirectoryExists(dir / "pgame"));
  std::vector<std::string> files = rtl::FindFiles(dir.Path(), "*");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"i.ini", "p.ini", "sample.map", "sample.png"}));
  // The sky ceiling fills the middle of the iso picture, textured: not its flat colour.
  const float shade = preview::FaceShade({0, 0, 1});
  EXPECT_FALSE(Same(image.At(160, 60), preview::Shaded(preview::MaterialColour("sky.mat"), shade)));
  EXPECT_FALSE(Same(image.At(160, 60), preview::Background));
}

// A sealed import's shell boxes are no surface of the level: the picture is the unsealed one's.
TEST(PreviewCommand, SealedLevelShowsItsSlabsNotItsShell) {
  const std::string sample =
      rtl::JoinPath(MORVANE_SOURCE_DIR, rtl::NativePath("examples/sample/sample.gob"));
  TempDir dir;
  const std::string settings = sample_import::Settings(sample) + "Scale=256\r\nBrushDepth=8\r\n";
  WriteFile(dir / "plain.ini", settings);
  WriteFile(dir / "sealed.ini", settings + "SealLevel=1\r\n");
  std::vector<uint8_t> pictures[2];
  for (int sealed = 0; sealed < 2; ++sealed) {
    ResetCachedSettings();
    const std::string png = dir / (sealed ? "s.png" : "p.png");
    TRun run = RunPreview({sample, "--settings", dir / (sealed ? "sealed.ini" : "plain.ini"), "-o",
                           png, "--size", "160x120"});
    ASSERT_EQ(run.code, 0) << run.err;
    EXPECT_NE(run.out.find(sealed ? "12 brushes" : "6 brushes"), std::string::npos) << run.out;
    pictures[sealed] = DecodePng(ReadFile(png)).RGB;
  }
  EXPECT_TRUE(pictures[0] == pictures[1]);
}

TEST(PreviewCommand, BadArgumentsAndUnwritableOutputFailClearly) {
  TempDir dir;
  WriteSquareLevel(dir);
  const std::string level = dir / "square.jkl";
  for (const char* size : {"0x10", "10x0", "12", "axb", "9000x10", "10x", "x10", "-5x5", "1e3x5",
                           "8192x8192", "4097x4096"}) {
    TRun run = RunPreview({level, "--size", size, "-o", dir / "x.png"});
    EXPECT_EQ(run.code, 2) << size;
    EXPECT_NE(run.err.find("morvane preview: bad size '" + std::string(size) + "'"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(run.out.empty()) << size;  // refused before any import
  }
  TRun uv = RunPreview({level, "--uv", "texels"});
  EXPECT_EQ(uv.code, 2);
  EXPECT_NE(uv.err.find("bad --uv 'texels': expected game or editor"), std::string::npos);
  TRun view = RunPreview({level, "--view", "side"});
  EXPECT_EQ(view.code, 2);
  EXPECT_NE(view.err.find("bad --view 'side': expected iso, top or player"), std::string::npos);
  EXPECT_EQ(RunPreview({level, "--align=1"}).code, 2);
  EXPECT_EQ(RunPreview({level, "--colour", "red"}).code, 2);
  EXPECT_EQ(RunPreview({}).code, 2);
  TRun missing = RunPreview({dir / "nothere.jkl"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos);
  EXPECT_FALSE(rtl::FileExists(dir / "x.png"));
  // The picture may never replace the level it shows.
  const std::string levelText = ReadFile(level);
  TRun self = RunPreview({level, "--settings", dir / "m.ini", "-o", level});
  EXPECT_EQ(self.code, 2);
  EXPECT_NE(self.err.find("is the input file"), std::string::npos) << self.err;
  EXPECT_EQ(ReadFile(level), levelText);

  // A folder that does not exist, and a folder in the file's place: the import runs, the
  // picture cannot be written, the status says so and nothing is left behind.
  const std::string nowhere = dir / rtl::NativePath("no/such/folder/p.png");
  TRun unwritable = RunPreview({level, "--settings", dir / "m.ini", "-o", nowhere});
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_NE(unwritable.err.find("morvane preview: Cannot create file"), std::string::npos)
      << unwritable.err;
  EXPECT_FALSE(rtl::DirectoryExists(dir / "no"));
  ASSERT_TRUE(rtl::ForceDirectories(dir / "taken.png"));
  TRun taken = RunPreview({level, "--settings", dir / "m.ini", "-o", dir / "taken.png"});
  EXPECT_EQ(taken.code, 1);
  EXPECT_TRUE(rtl::DirectoryExists(dir / "taken.png"));

  // A level that cannot be read: the import's failure line, no picture.
  WriteFile(dir / "broken.jkl", "SECTION: GEORESOURCE\nWorld vertices 2\n0: 1 2\n");
  TRun broken = RunPreview({dir / "broken.jkl", "--settings", dir / "m.ini", "-o", dir / "b.png"});
  EXPECT_EQ(broken.code, 1);
  EXPECT_NE(broken.out.find("Morvane: Failed: "), std::string::npos) << broken.out;
  EXPECT_FALSE(rtl::FileExists(dir / "b.png"));

  // A player start beyond every float once scaled: no blank picture, a failure saying why.
  jkl_text::TJklLevel far;
  far.Vertices = {"0 0 0", "1 0 0", "0 1 0"};
  far.Surfaces = {{0, 1, 2}, {2, 1, 0}};
  far.Things = {{"walkplayer", "3e38 0 0.1 0 0 0"}};
  WriteFile(dir / "far.jkl", far.Text());
  TRun player = RunPreview(
      {dir / "far.jkl", "--settings", dir / "m.ini", "--view", "player", "-o", dir / "p.png"});
  EXPECT_EQ(player.code, 1);
  EXPECT_NE(player.err.find("player start lies at no finite point"), std::string::npos)
      << player.err;
  EXPECT_FALSE(rtl::FileExists(dir / "p.png"));
}

// A setting that makes the import fail makes the preview fail with the import's line, although
// the preview writes no image (it used to report success).
TEST(PreviewCommand, FailsWhereTheImportFails) {
  TempDir dir;
  WriteSquareLevel(dir);
  WriteFile(dir / "m.ini", "Scale=256\r\nBrushDepth=8\r\nOutputTexFormat=png\r\n");
  TRun run = RunPreview({dir / "square.jkl", "--settings", dir / "m.ini", "-o", dir / "sq.png"});
  EXPECT_EQ(run.code, 1);
  EXPECT_NE(run.out.find("Morvane: Failed: Unsupported file extension: '.png' (setting "
                         "OutputTexFormat=png)\n"),
            std::string::npos)
      << run.out;
  EXPECT_FALSE(rtl::FileExists(dir / "sq.png"));
}

// "-o /dev/stdout": the picture alone goes to standard output, whole; the console lines go to
// standard error (they used to go first into the same stream and spoil the PNG).
TEST(PreviewCommand, APictureToStandardOutputStaysWhole) {
  TempDir dir;
  WriteSquareLevel(dir);
  const std::string captured = dir / "stdout.png";
  std::fflush(stdout);
  const int saved = dup(1);
  const int file = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(saved, 0);
  ASSERT_GE(file, 0);
  dup2(file, 1);
  close(file);
  std::ostringstream out, err;
  ResetCachedSettings();
  const int code = RunCli({"morvane", "preview", dir / "square.jkl", "--settings", dir / "m.ini",
                           "-o", "/dev/stdout", "--size", "64x48"},
                          out, err);
  std::fflush(stdout);
  dup2(saved, 1);
  close(saved);
  EXPECT_EQ(code, 0) << err.str();
  EXPECT_TRUE(out.str().empty()) << out.str();
  EXPECT_NE(err.str().find("Morvane: square.jkl imported succesfully\n"), std::string::npos);
  EXPECT_EQ(DecodePng(ReadFile(captured)).Width, 64);
}

// Axis-aligned faces whose texture vertices follow the editor's own axes: the fitted projection
// (--align) shows them exactly as the game does.
TEST(PreviewCommand, GameAndAlignedEditorMappingsAgreeOnAxisAlignedFaces) {
  TempDir dir;
  const std::vector<TVector3> v = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0},
                                   {0, 0, 1}, {2, 0, 1}, {2, 2, 1}, {0, 2, 1}};
  const std::vector<std::vector<int>> corners = {{0, 1, 2, 3}, {4, 7, 6, 5}, {0, 3, 7, 4},
                                                 {1, 5, 6, 2}, {0, 4, 5, 1}, {3, 2, 6, 7}};
  const char axis[] = {'z', 'z', 'x', 'x', 'y', 'y'};
  std::vector<TSurfaceDef> surfaces;
  for (size_t s = 0; s < corners.size(); ++s) {
    TSurfaceDef surface{static_cast<int>(s % 2), corners[s], {}};
    for (int k : corners[s]) {
      const TVector3& p = v[static_cast<size_t>(k)];
      // 64 texels a level unit (a scale of 4 at 256 editor units a level unit), shifted.
      if (axis[s] == 'z') surface.texels.push_back({64 * p.X + 8, -64 * p.Y + 24});
      if (axis[s] == 'x') surface.texels.push_back({64 * p.Y + 8, -64 * p.Z + 24});
      if (axis[s] == 'y') surface.texels.push_back({64 * p.X + 8, -64 * p.Z + 24});
    }
    surfaces.push_back(surface);
  }
  WriteFile(dir / "box.jkl", LevelText({"a.mat", "b.mat"}, v, surfaces));
  WriteFile(dir / "a.mat",
            Mat(16, 16, [](int x, int y) { return (x / 4 + y / 4) % 2 ? 40 : 200; }));
  WriteFile(dir / "b.mat", Mat(16, 16, [](int x, int y) { return x * 16 + y; }));
  WriteFile(dir / "m.ini", "Scale=256\r\nBrushDepth=8\r\n");

  // Only once the import fits projections does the editor's mapping follow the texels: the
  // front faces of an aligned import then leave the default projection.
  WriteFile(dir / "align.ini", "Scale=256\r\nBrushDepth=8\r\nAlignTextures=1\r\n");
  ResetCachedSettings();
  std::ostringstream o, e;
  ASSERT_EQ(RunCli({"morvane", "import", dir / "box.jkl", "--settings", dir / "align.ini",
                    "--game-dir", dir.Folder("game"), "--map", dir / "box.map"},
                   o, e),
            0)
      << o.str() << e.str();
  bool fitted = false;
  std::istringstream map(ReadFile(dir / "box.map"));
  for (std::string line; std::getline(map, line);)
    if (line.find(" box/") != std::string::npos &&
        line.find(" 0 0 0 0.5 0.5 ") == std::string::npos)
      fitted = true;
  if (!fitted) GTEST_SKIP() << "the import does not fit texture projections yet";

  TRun game = RunPreview(
      {dir / "box.jkl", "--settings", dir / "m.ini", "--size", "200x150", "-o", dir / "game.png"});
  TRun editor = RunPreview({dir / "box.jkl", "--settings", dir / "m.ini", "--size", "200x150",
                            "--uv", "editor", "--align", "-o", dir / "editor.png"});
  ASSERT_EQ(game.code, 0) << game.err;
  ASSERT_EQ(editor.code, 0) << editor.err;
  const preview::TImage x = DecodePng(ReadFile(dir / "game.png"));
  const preview::TImage y = DecodePng(ReadFile(dir / "editor.png"));
  ASSERT_EQ(x.RGB.size(), y.RGB.size());
  // Texel borders that fall exactly on a pixel centre may round either way.
  size_t differ = 0, drawn = 0;
  for (int py = 0; py < x.Height; ++py)
    for (int px = 0; px < x.Width; ++px) {
      if (!Same(x.At(px, py), preview::Background)) ++drawn;
      if (!Same(x.At(px, py), y.At(px, py))) ++differ;
    }
  EXPECT_GT(drawn, 5000u);
  EXPECT_LE(differ, drawn / 200) << differ << " of " << drawn;
  // Without the fit, the editor's default projection (scale 0.5) shows another picture.
  TRun plain = RunPreview({dir / "box.jkl", "--settings", dir / "m.ini", "--size", "200x150",
                           "--uv", "editor", "-o", dir / "plain.png"});
  ASSERT_EQ(plain.code, 0);
  EXPECT_NE(DecodePng(ReadFile(dir / "plain.png")).RGB, x.RGB);
}

// Every level of the corpus, loose or in a container, gives a picture.
TEST(PreviewCorpus, EveryLevelGivesAPicture) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  std::vector<std::string> levels;
  for (const std::string& name : rtl::FindFiles(rtl::JoinPath(corpus, "jkl"), "*.jkl"))
    levels.push_back(rtl::JoinPath(rtl::JoinPath(corpus, "jkl"), name));
  const std::string more = rtl::JoinPath(corpus, "more");
  const std::string levelsDir = rtl::JoinPath(more, "levels");
  for (const auto& entry : std::filesystem::directory_iterator(levelsDir)) {
    const std::string jkl = rtl::JoinPath(entry.path().string(), "jkl");
    for (const std::string& file : rtl::FindFiles(jkl, "*.jkl"))
      levels.push_back(rtl::JoinPath(jkl, file));
  }
  const std::string containers = rtl::JoinPath(more, "containers");
  for (const std::string& name : rtl::FindFiles(containers, "*.gob"))
    levels.push_back(rtl::JoinPath(containers, name));
  ASSERT_GE(levels.size(), 20u);
  TempDir dir;
  int n = 0;
  for (const std::string& level : levels) {
    const std::string png = dir / (std::to_string(n) + ".png");
    const char* uv = n % 2 ? "editor" : "game";
    const char* view = n % 3 ? "iso" : "top";
    ++n;
    TRun run = RunPreview({level, "--settings", dir / "m.ini", "--size", "96x64", "--uv", uv,
                           "--view", view, "-o", png});
    EXPECT_EQ(run.code, 0) << level << "\n" << run.out << run.err;
    EXPECT_NE(run.out.find(" imported succesfully"), std::string::npos) << level;
    const preview::TImage image = DecodePng(ReadFile(png));
    EXPECT_EQ(image.Width, 96) << level;
    EXPECT_EQ(image.Height, 64) << level;
    size_t drawn = 0;
    for (int y = 0; y < image.Height; ++y)
      for (int x = 0; x < image.Width; ++x) drawn += !Same(image.At(x, y), preview::Background);
    EXPECT_GT(drawn, 100u) << level;
  }
}

// The editor's projection applied to the committed face records: with the shift and scale that
// fit the texels of axis-aligned faces, the picture is the game's. (The import's own fit is
// checked above once it exists; this pins the preview's side.)
TEST(PreviewScene, EditorProjectionOfFittedFacesDrawsTheGamesPicture) {
  const float L = 256;  // editor units per level unit
  const std::vector<std::vector<TVector3>> quads = {
      {{0, 0, 0}, {0, 2 * L, 0}, {2 * L, 2 * L, 0}, {2 * L, 0, 0}},  // floor
      {{0, 0, 0}, {0, 0, L}, {0, 2 * L, L}, {0, 2 * L, 0}},          // wall facing X
      {{0, 0, 0}, {2 * L, 0, 0}, {2 * L, 0, L}, {0, 0, L}}};         // wall facing Y
  const char axis[] = {'z', 'x', 'y'};
  preview::TScene game;
  std::vector<uint8_t> texels(16 * 16 * 4);
  for (size_t i = 0; i < texels.size(); ++i) texels[i] = static_cast<uint8_t>(i * 37 % 251);
  game.Textures["a.mat"] = TMaterialImage{16, 16, texels, {}};
  for (size_t f = 0; f < quads.size(); ++f) {
    preview::TFace face;
    face.Brush = static_cast<int>(f);
    face.Material = "A.mat";
    face.Corners = quads[f];
    face.Normal = axis[f] == 'z'   ? TVector3{0, 0, 1}
                  : axis[f] == 'x' ? TVector3{1, 0, 0}
                                   : TVector3{0, 1, 0};
    for (const TVector3& p : quads[f]) {
      // The level's texels: 64 a level unit, shifted by 8 and 24.
      const float a = axis[f] == 'x' ? p.Y : p.X, b = axis[f] == 'z' ? -p.Y : -p.Z;
      face.U.push_back(a / L * 64 + 8);
      face.V.push_back(b / L * 64 + 24);
    }
    game.FaceOfBrush.push_back(static_cast<int>(f));
    game.Faces.push_back(face);
  }
  preview::TScene editor = game;
  for (size_t f = 0; f < quads.size(); ++f) {
    // What the hand-off commits: the front face, added first, is the host's last face, through
    // its first two corners and its centre; a side face is added after it.
    const std::vector<TVector3>& q = quads[f];
    const TVector3 centre{(q[0].X + q[1].X + q[2].X + q[3].X) / 4,
                          (q[0].Y + q[1].Y + q[2].Y + q[3].Y) / 4,
                          (q[0].Z + q[1].Z + q[2].Z + q[3].Z) / 4};
    recording_host::TRecordedBrush brush;
    brush.Faces.push_back(FaceThrough({9, 9, 9}, {9, 0, 9}, {0, 9, 9}));  // not the front
    recording_host::TRecordedFace front = FaceThrough(q[0], q[1], centre);
    front.ScaleS = front.ScaleT = 4;
    front.ShiftS = 8;
    front.ShiftT = 24;
    brush.Faces.push_back(front);
    preview::ApplyEditorProjection(editor, static_cast<int>(f), brush);
  }
  for (size_t f = 0; f < quads.size(); ++f)
    for (size_t j = 0; j < 4; ++j) {
      EXPECT_NEAR(editor.Faces[f].U[j], game.Faces[f].U[j], 1e-3) << f << " " << j;
      EXPECT_NEAR(editor.Faces[f].V[j], game.Faces[f].V[j], 1e-3) << f << " " << j;
    }
  preview::TRenderOptions options;
  options.Width = 160;
  options.Height = 120;
  const preview::TImage x = preview::Render(game, options), y = preview::Render(editor, options);
  EXPECT_EQ(x.RGB, y.RGB);
  // Textured, not flat: the material's name is looked up in any letter case.
  EXPECT_FALSE(Same(x.At(80, 60), preview::Shaded(preview::MaterialColour("A.mat"),
                                                  preview::FaceShade({0, 0, 1}))));
  // The default projection (scale 0.5, no shift) gives another picture.
  preview::TScene plain = game;
  for (size_t f = 0; f < quads.size(); ++f) {
    recording_host::TRecordedBrush brush;
    brush.Faces.push_back(FaceThrough(quads[f][0], quads[f][1], quads[f][2]));
    preview::ApplyEditorProjection(plain, static_cast<int>(f), brush);
  }
  EXPECT_NE(preview::Render(plain, options).RGB, x.RGB);
}

// A drawn adjoin's brush is made from its surface as a slab is: with adjoins the walls keep the
// game's light, and the window gets its own.
TEST(PreviewScene, DrawnAdjoinsKeepTheGamesLight) {
  TempDir dir;
  WriteFile(dir / "lvl.jkl",
            "SECTION: MATERIALS\nWorld materials 3\n0: a.mat\n1: b.mat\n2: wall.mat\nend\n"
            "SECTION: GEORESOURCE\nWorld vertices 4\n0: 0 0 0\n1: 1 0 0\n2: 1 1 0\n3: 0 1 0\n"
            "World texture vertices 1\n0: 0 0\n"
            "World adjoins 2\n0: 0x7 1 0\n1: 0x7 0 0\n"
            "World surfaces 3\n"
            "0: 0 0x4 0x2 4 3 0 0 0.25 4 0,0 1,0 2,0 3,0\n"
            "1: 1 0x4 0x2 4 3 0 1 0.25 4 3,0 2,0 1,0 0,0\n"
            "2: 2 0x4 0x0 4 3 0 -1 0.5 4 0,0 1,0 2,0 3,0\n"
            "0: 0 0 1\n1: 0 0 -1\n2: 0 0 1\n"
            "SECTION: SECTORS\nWorld sectors 2\nSECTOR 0\nSURFACES 0 1\nSECTOR 1\nSURFACES 1 2\n"
            "SECTION: THINGS\nWorld things 0\nend\n");
  std::vector<float> wallLight[2];
  for (int adjoins = 0; adjoins < 2; ++adjoins) {
    TImportRequest request;
    request.Path = dir / "lvl.jkl";
    request.Options.WriteTextures = false;
    request.Options.ImportAdjoins = adjoins != 0;
    const TImportResult result = RunImport(request);
    ASSERT_TRUE(result.Succeeded()) << result.Message;
    const preview::TScene scene =
        preview::BuildScene(TImportContext{*result.Level, *result.BrushLevel, result.Textures,
                                           request.Options, result.Names.FacePrefix},
                            result.Conversion.Scale);
    ASSERT_EQ(scene.Faces.size(), adjoins ? 2u : 1u);
    for (const preview::TFace& face : scene.Faces) {
      EXPECT_EQ(face.Light.size(), 4u) << face.Material << " with adjoins " << adjoins;
      if (face.Material == "wall.mat") wallLight[adjoins] = face.Light;
    }
  }
  EXPECT_EQ(wallLight[0], wallLight[1]);
}
