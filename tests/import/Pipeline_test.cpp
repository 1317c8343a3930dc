// The import as one call: what it returns and says, and the faces it gives the hosts.
#include "import/Pipeline.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <tuple>

#include "brush/BrushTestSupport.h"
#include "plugin/main.h"
#include "rtl/Files.h"
#include "support/HandOff.h"
#include "support/JklText.h"
#include "support/RecordingHost.h"
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

// A container that does not exist reads no directory: the picker is offered empty, as for a
// container without levels, and nothing chosen cancels the run.
TEST(Pipeline, AMissingContainerOffersAnEmptyPicker) {
  TempDir dir;
  TImportRequest request;
  request.Path = dir / "gone.gob";
  int offers = 0, entries = -1;
  request.PickEntry = [&](const TJKContainer& container, const std::string&) {
    ++offers;
    entries = container.Entries.Count();
    return std::string();
  };
  const TRun run = Import(request);
  EXPECT_EQ(offers, 1);
  EXPECT_EQ(entries, 0);
  EXPECT_FALSE(run.Result.Succeeded());
  EXPECT_EQ(run.Result.Message, "File selection canceled");
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
  EXPECT_EQ(run.Result.Names.FacePrefix, "Room/");

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

// A container's level named by dots alone takes "___" as its folder: its faces, its images and
// its shader script all name that one folder, so the shader applies to the faces.
TEST(Pipeline, OneFolderNameForFacesImagesAndShaders) {
  TempDir dir;
  jkl_text::TJklLevel l = Room();
  l.FaceFlags = {2};  // the floor is translucent: it needs a shader
  WriteFile(dir / "dots.gob", testing_support::MakeGob({{"jkl\\....jkl", l.Text()}}));
  TImportRequest request;
  request.Path = dir / "dots.gob";
  request.PickEntry = [](const TJKContainer&, const std::string&) {
    return std::string("jkl\\....jkl");
  };
  request.Textures.InstallPath = dir / "game";
  request.Textures.OutputTexFormat = "tga";
  request.Options.Shaders = true;
  const TRun run = Import(request);
  ASSERT_TRUE(run.Result.Succeeded()) << run.Result.Message;
  EXPECT_EQ(run.Result.Names.Folder, "___");
  ASSERT_FALSE(run.Result.Faces.empty());
  // The floor shares its material with the opaque walls: its see-through use has a shader of
  // its own, named after the material's image.
  EXPECT_EQ(run.Result.Faces[0].Faces.back().TextureName, "___/wall_trans");
  EXPECT_EQ(run.Result.Faces[1].Faces.back().TextureName, "___/wall");
  const std::string script =
      testing_support::ReadFile(dir / "game/GameData/base/shaders/___.shader");
  EXPECT_NE(script.find("textures/___/wall_trans\n{\n\tqer_editorimage textures/___/wall.tga\n"),
            std::string::npos)
      << script;
}

// An image format no writer knows is refused before the level is read or anything written, even
// when no material of the level would have been written.
TEST(Pipeline, UnknownImageFormatFailsBeforeAnythingIsWritten) {
  TempDir dir;
  WriteFile(dir / "room.jkl", Room().Text());
  TImportRequest request;
  request.Path = dir / "room.jkl";
  request.Textures.InstallPath = dir / "game";
  request.Textures.OutputTexFormat = "bmp";
  const TRun run = Import(request);
  EXPECT_FALSE(run.Result.Succeeded());
  EXPECT_EQ(run.Result.Message, "Unsupported file extension: '.bmp' (setting OutputTexFormat=bmp)");
  EXPECT_TRUE(run.Said.empty());
  EXPECT_FALSE(rtl::DirectoryExists(dir / "game"));
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
