// The import as one call: what it returns and says, and the faces it gives the hosts.
#include "import/Pipeline.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>

#include "brush/BrushTestSupport.h"
#include "plugin/RecordingHost.h"
#include "plugin/SendBrushes.h"
#include "plugin/main.h"
#include "support/JklText.h"
#include "support/TestSupport.h"

using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// A floor and a wall, and an adjoin that makes no brush.
jkl_text::TJklLevel Room() {
  jkl_text::TJklLevel l;
  l.Vertices = {"0 0 0", "1 0 0", "1 1 0", "0 1 0", "0 0 1", "1 0 1"};
  l.Surfaces = {{0, 1, 2, 3}, {0, 1, 5, 4}, {0, 3, 2}};
  l.Adjoins = {-1, -1, 0};
  return l;
}

struct TRun {
  TImportResult Result;
  std::vector<std::string> Said;    // through the request's console, as it ran
  std::vector<std::string> Status;  // the step texts
};

TRun Import(TImportRequest request) {
  TRun run;
  request.Console = [&run](const std::string& text) { run.Said.push_back(text); };
  request.Status = [&run](const std::string& text) { run.Status.push_back(text); };
  run.Result = RunImport(request);
  return run;
}

}  // namespace

// Failure is a status and a reason, never a console line to be matched, and no closing lines.
TEST(Pipeline, FailureIsAValueWithItsReason) {
  TempDir dir;
  WriteFile(dir / "notes.txt", "x");
  WriteFile(dir / "one.gob", testing_support::MakeGob({{"jkl\\a.jkl", Room().Text()}}));
  jkl_text::TJklLevel point = Room();
  point.Surfaces.push_back({1});  // a solid surface of one corner
  point.Adjoins.push_back(-1);
  WriteFile(dir / "point.jkl", point.Text());
  struct TCase {
    std::string path, reason;
    bool scaleUsed;
  };
  for (const TCase& c : {TCase{dir / "notes.txt", "Unknown reason...", false},
                         TCase{dir / "one.gob", "File selection canceled", false},
                         TCase{dir / "point.jkl", "Vertex Index is out of bounds: 1", true}}) {
    TImportRequest request;
    request.Path = c.path;
    request.Slab.Scale.Note = "scale note";
    request.PickEntry = [](const TJKContainer&, const std::string&) { return std::string(); };
    const TRun run = Import(request);
    EXPECT_FALSE(run.Result.Succeeded()) << c.path;
    EXPECT_EQ(run.Result.Message, c.reason) << c.path;
    EXPECT_TRUE(run.Result.Summary.empty()) << c.path;
    EXPECT_EQ(run.Result.ScaleUsed, c.scaleUsed) << c.path;
    EXPECT_EQ(run.Result.Console, run.Said) << c.path;
    for (const std::string& line : run.Said) EXPECT_EQ(line.find("Failed"), std::string::npos);
  }
}

// The lines come in the order the steps say them: the texture step's, then a defaulted number's
// note where the conversion first needs it; the closing lines are kept for the host.
TEST(Pipeline, LinesStepsAndOutcomeOfALevel) {
  TempDir dir;
  WriteFile(dir / "room.gob", testing_support::MakeGob({{"jkl\\Room.jkl", Room().Text()}}));
  TImportRequest request;
  request.Path = dir / "room.gob";
  request.Slab.Scale = TSlabNumber{256, "Error reading scale factor setting, using default: 256"};
  request.Slab.Depth = TSlabNumber{8, "Error reading brush depth setting, using default: 8"};
  std::string offered;
  request.PickEntry = [&offered](const TJKContainer&, const std::string& folder) {
    offered = folder;
    return std::string("jkl\\Room.jkl");
  };
  const TRun run = Import(request);
  ASSERT_TRUE(run.Result.Succeeded()) << run.Result.Message;
  EXPECT_EQ(offered, "jkl\\");
  EXPECT_EQ(run.Result.Entry, "jkl\\Room.jkl");
  EXPECT_EQ(run.Status, (std::vector<std::string>{"Extracting JKL...", "Parsing JKL...",
                                                  "Converting Textures...",
                                                  "Converting Sectors to Brushes..."}));
  EXPECT_EQ(run.Said,
            (std::vector<std::string>{"Game install path not found, unable to convert textures.",
                                      "Error reading scale factor setting, using default: 256",
                                      "Error reading brush depth setting, using default: 8"}));
  EXPECT_EQ(run.Result.Console, run.Said);
  EXPECT_TRUE(run.Result.ScaleUsed && run.Result.DepthUsed);
  EXPECT_EQ(run.Result.Summary,
            (std::vector<std::string>{"Room.jkl imported succesfully",
                                      "1 sectors converted to 2 brushes, 0 textures converted"}));
  EXPECT_EQ(run.Result.HandOff.TexturePrefix, "Room/");

  // A level without a solid surface needs neither number: no note, nothing to keep.
  jkl_text::TJklLevel open = Room();
  open.Adjoins = {0, 0, 0};
  WriteFile(dir / "open.jkl", open.Text());
  request.Path = dir / "open.jkl";
  const TRun none = Import(request);
  ASSERT_TRUE(none.Result.Succeeded()) << none.Result.Message;
  EXPECT_EQ(none.Said.size(), 1u);
  EXPECT_FALSE(none.Result.ScaleUsed || none.Result.DepthUsed);
}

// The faces a host without an editor takes from the result are the very records the editor
// holds after the plug-in's hand-off: points, texture, flags and projection.
TEST(Pipeline, EditorFacesAreWhatTheEditorReceives) {
  brush_test::LevelBuilder b;
  TSurface* wall = b.AddSurface({{3, 1, 0}, {4.5f, 2.25f, 0}, {4.5f, 2.25f, 1.5f}, {3, 1, 1.5f}},
                                -1, 0, "a long material name.mat");
  wall->TXVertices.Clear();
  for (const std::array<float, 2>& t : {std::array<float, 2>{0, 0}, {40, 3}, {41, 50}, {1, 47}})
    wall->TXVertices.Add(std::make_unique<TTXVertex>(t[0], t[1]));
  b.AddSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, -1, 0x400, "sky.mat");
  TImportOptions options;
  options.AlignTextures = true;
  TBrushLevel brushes;
  ConvertSectorsToBrushes(b.Level, brushes, nullptr, options);

  for (const std::string nonVisTex : {"", "common/nodraw"}) {
    THandOffFaces handOff;
    handOff.TexturePrefix = "lvl/";
    handOff.NonVisTex = nonVisTex;
    handOff.DefaultTexture = "system/caulk";
    handOff.Fits = FitFrontFaces(brushes);
    ASSERT_TRUE(handOff.Fits[0].Fitted);

    recording_host::TRecordingHost host("system/caulk");
    const THostFuncTable saved = FuncTable;
    host.Install(FuncTable);
    SendBrushesToHost(brushes, handOff.TexturePrefix, nullptr, nonVisTex, &handOff.Fits);
    FuncTable = saved;

    ASSERT_EQ(host.Committed.size(), 2u);
    TEditorBrush brush;
    for (int i = 0; i < 2; ++i) {
      EditorBrush(brushes, i, handOff, brush);
      const TEditorBrush& got = host.Committed[static_cast<size_t>(i)];
      EXPECT_EQ(brush.Number, got.Number);
      ASSERT_EQ(brush.Faces.size(), got.Faces.size());
      for (size_t j = 0; j < got.Faces.size(); ++j) {
        const TEditorFace &a = brush.Faces[j], &e = got.Faces[j];
        const std::string where = "brush " + std::to_string(i) + " face " + std::to_string(j);
        EXPECT_EQ(std::memcmp(a.P1, e.P1, sizeof a.P1) | std::memcmp(a.P2, e.P2, sizeof a.P2) |
                      std::memcmp(a.P3, e.P3, sizeof a.P3),
                  0)
            << where;
        EXPECT_EQ(a.TextureName, e.TextureName) << where;
        EXPECT_EQ(std::make_tuple(a.Contents, a.Flags, a.Value),
                  std::make_tuple(e.Contents, e.Flags, e.Value))
            << where;
        EXPECT_EQ(std::make_tuple(a.ShiftS, a.ShiftT, a.Rotate, a.ScaleS, a.ScaleT),
                  std::make_tuple(e.ShiftS, e.ShiftT, e.Rotate, e.ScaleS, e.ScaleT))
            << where;
      }
    }
    // The fitted front face is the editor's last; its name is made map-safe.
    EditorBrush(brushes, 0, handOff, brush);
    EXPECT_EQ(brush.Faces.back().TextureName, "lvl/a_long_material_name");
    EXPECT_NE(brush.Faces.back().ScaleS, 0.5f);
  }
}

// Surfaces that spell one material in two letter cases have one image, and all their faces name
// it (the later spelling's faces named an image that was never written, on a file system that
// tells case apart).
TEST(ImageNames, EveryLetterCaseOfAMaterialNamesTheImageOfItsFirstUse) {
  rtl::TStringList used;
  used.Add("SKY.mat");
  used.Add("wall.mat");
  const TImageNames names(used);
  for (const char* spelling : {"SKY.mat", "Sky.MAT", "sky.mat"})
    EXPECT_EQ(names.Of(spelling), "SKY") << spelling;
  EXPECT_EQ(names.Of("Wall.MAT"), "wall");
}
