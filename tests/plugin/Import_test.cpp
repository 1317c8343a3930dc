// "Import Level..." end to end, headless: the file dialog and the picker answered by the test,
// the brushes received by a recording host, the textures written into a scratch game folder.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

#include "cli/Cli.h"
#include "container/O_jkc.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"
#include "plugin/main.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "support/EditorHostTest.h"
#include "support/HeadlessPlatform.h"
#include "support/RecordingHost.h"
#include "support/SampleImport.h"
#include "support/TestSupport.h"
#include "texture/BatchConvert.h"
#include "texture/MatFixture.h"

using testing_support::Bytes;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// A closed room of six quads, 2 x 2 x 1 level units; surface k uses materials[k % n].
std::string RoomLevel(const std::vector<std::string>& materials, bool badSurface = false) {
  std::string t = "SECTION: MATERIALS\nWorld materials " + std::to_string(materials.size()) + "\n";
  for (size_t i = 0; i < materials.size(); ++i)
    t += std::to_string(i) + ":\t" + materials[i] + "\t1.0\t1.0\n";
  t += "end\nSECTION: GEORESOURCE\nWorld vertices 8\n";
  const char* v[] = {"0 0 0", "2 0 0", "2 2 0", "0 2 0", "0 0 1", "2 0 1", "2 2 1", "0 2 1"};
  for (int i = 0; i < 8; ++i) t += std::to_string(i) + ": " + v[i] + "\n";
  t += "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 6\n";
  const char* corners[] = {"0,0 1,0 2,0 3,0", "4,0 7,0 6,0 5,0", "0,0 3,0 7,0 4,0",
                           "1,0 5,0 6,0 2,0", "0,0 4,0 5,0 1,0", "3,0 2,0 6,0 7,0"};
  for (int s = 0; s < 6; ++s) {
    int m = static_cast<int>(s % materials.size());
    std::string c = corners[s];
    int n = 4;
    if (badSurface && s == 4) c = "0,0", n = 1;  // a solid surface of one corner
    t += std::to_string(s) + ": " + std::to_string(m) + " 0x4 0 4 3 0 -1 0 " + std::to_string(n) +
         " " + c + "\n";
  }
  const char* normals[] = {"0 0 1", "0 0 -1", "1 0 0", "-1 0 0", "0 1 0", "0 -1 0"};
  for (int s = 0; s < 6; ++s) t += std::to_string(s) + ": " + normals[s] + "\n";
  t += "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 6\n";
  t += "SECTION: THINGS\nWorld things 1\n0: walkplayer p 1 1 0.1 0 0 0 0\nend\n";
  return t;
}

std::string SmallMat(uint8_t index) {
  return mat_fixture::TextureMat({{2, 2, std::string(4, static_cast<char>(index))}});
}

class ImportTest : public EditorHostTest {
 protected:
  void SetUp() override {
    EditorHostTest::SetUp();
    WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\n");
  }
  std::string TextureDir(const std::string& level) const {
    return rtl::JoinPath(dir / "game", rtl::NativePath(GameTextureFolder) + level);
  }
  std::vector<std::string> Statuses() const {
    std::vector<std::string> out;
    for (const std::string& e : platform.events)
      if (e.rfind("status ", 0) == 0) out.push_back(e.substr(7));
    return out;
  }
};

}  // namespace

TEST_F(ImportTest, LooseLevelFindsTexturesBesideInMatAndInResourceGobs) {
  rtl::ForceDirectories(dir / "levels/mat");
  WriteFile(dir / "levels/room.JKL",
            RoomLevel({"beside.mat", "inmat.mat", "gobbed.mat", "lost.mat"}));
  WriteFile(dir / "levels/beside.mat", SmallMat(16));
  WriteFile(dir / "levels/mat/inmat.mat", SmallMat(31));
  WriteFile(dir / "res one.gob", testing_support::MakeGob({{"MAT\\GOBBED.MAT", SmallMat(6)}}));
  WriteFile(dir / "morvane.ini",
            "OutputTexFormat=tga\r\nResourceGobs=\"" + (dir / "res one.gob") + "\"\r\n");
  platform.fileAnswer = dir / "levels/room.JKL";

  Dispatch("Import Level...");

  const std::string tex = TextureDir("room") + rtl::PathDelim;
  std::vector<std::string> expected = {
      "Morvane: Failed to load palette '', using default\n",
      "Morvane: Saved: " + tex + "beside.tga\n",
      "Morvane: Saved: " + tex + "inmat.tga\n",
      "Morvane: Saved: " + tex + "gobbed.tga\n",
      "Morvane: Texture 'lost.mat' not found\n",
      "Morvane: Error reading scale factor setting, using default: 256\n",
      "Morvane: Error reading brush depth setting, using default: 8\n",
      "Morvane: room.JKL imported succesfully\n",
      "Morvane: 1 sectors converted to 6 brushes, 3 textures converted\n"};
  EXPECT_EQ(host.Console, expected);
  EXPECT_EQ(Statuses(), (std::vector<std::string>{"Parsing JKL...", "Converting Textures...",
                                                  "Converting Sectors to Brushes...",
                                                  "Loading Brushes into Radiant..."}));
  EXPECT_EQ(platform.events.front(),
            "open-file All supported files (*.jkl, *.gob, *.goo)|*.jkl;*.gob;*.goo|Jedi Knight "
            "Container files (*.gob, *.goo)|*.gob;*.goo|Jedi Knight Level files (*.jkl)|*.jkl");
  EXPECT_EQ(platform.events.back(), "status-destroy");
  ASSERT_EQ(host.Committed.size(), 6u);
  // The front face (added first, numbered last) names the level's texture.
  EXPECT_EQ(host.Committed[0].Faces.back().TextureName, "room/beside");
  EXPECT_EQ(host.Committed[3].Faces.back().TextureName, "room/lost");
  // The palette entry 16 of the default palette is white: the texture found beside the level.
  std::string tga = ReadFile(tex + "beside.tga");
  ASSERT_EQ(tga.size(), 44u + 2 * 2 * 4);
  EXPECT_EQ(tga.substr(18, 4), std::string("\xFF\xFF\xFF\xFF", 4));  // opaque

  // A second import finds every image and converts nothing.
  host.Console.clear();
  Dispatch("Import Level...");
  ASSERT_GE(host.Console.size(), 2u);
  EXPECT_EQ(host.Console[0], "Morvane: Failed to load palette '', using default\n");
  EXPECT_EQ(host.Console[1], "Morvane: Texture 'lost.mat' not found\n");
  EXPECT_EQ(host.Console.back(),
            "Morvane: 1 sectors converted to 6 brushes, 0 textures converted\n");
}

TEST_F(ImportTest, LevelInAContainerSearchesItsOwnContainerFirst) {
  // The same material in the level's container and in a ResourceGobs container: the level's own
  // container wins, even when its path holds blanks.
  WriteFile(dir / "my levels.goo",
            testing_support::MakeGob({{"jkl\\Ship.jkl", RoomLevel({"hull.mat", "deck.mat"})},
                                      {"mat\\hull.mat", SmallMat(31)}}));
  WriteFile(dir / "res.gob", testing_support::MakeGob(
                                 {{"mat\\hull.mat", SmallMat(6)}, {"mat\\deck.mat", SmallMat(1)}}));
  WriteFile(dir / "pal.cmp", Bytes().zeros(64).str(std::string(768, '\x40')).data);
  WriteFile(dir / "morvane.ini", "OutputTexFormat=TGA\r\nResourceGobs=" + (dir / "res.gob") +
                                     "\r\nJKPalette=" + (dir / "pal.cmp") + "\r\n");
  platform.fileAnswer = dir / "my levels.goo";
  std::vector<std::string> shown;
  platform.pickEntry = [&](const TJKContainer& c, const std::string& folder) {
    for (const TPickerItem& item : PickerItems(c, folder)) shown.push_back(item.Caption);
    return std::string("jkl\\ship.jkl");
  };

  Dispatch("Import Level...");

  EXPECT_EQ(shown, std::vector<std::string>{"jkl\\ship.jkl"});
  EXPECT_EQ(Statuses().front(), "Extracting JKL...");
  const std::string tex = TextureDir("ship") + rtl::PathDelim;
  ASSERT_EQ(host.Console.size(), 6u);
  EXPECT_EQ(host.Console[0], "Morvane: Saved: " + tex + "hull.TGA\n");
  EXPECT_EQ(host.Console[1], "Morvane: Saved: " + tex + "deck.TGA\n");
  EXPECT_EQ(host.Console[4], "Morvane: ship.jkl imported succesfully\n");
  // From the level's own container and through the palette file: every byte 0x40.
  EXPECT_EQ(ReadFile(tex + "hull.TGA").substr(18, 4), std::string("\x40\x40\x40\xFF", 4));
  EXPECT_EQ(host.Committed[0].Faces.back().TextureName, "ship/hull");
}

// The import and the batch converter read a "container>>entry" palette source alike: "/" or "\"
// in the key, any letter case; an entry that is not there falls back to the built-in palette.
TEST_F(ImportTest, PaletteSourceIsReadAsTheBatchConverterReadsIt) {
  ASSERT_TRUE(rtl::ForceDirectories(dir / "levels"));
  WriteFile(dir / "levels/room.jkl", RoomLevel({"wall.mat"}));
  WriteFile(dir / "levels/wall.mat", SmallMat(9));
  const std::string cmp = Bytes().zeros(64).str(std::string(768, '\x50')).data;
  WriteFile(dir / "res.gob", testing_support::MakeGob({{"misc\\cmp\\pal.cmp", cmp}}));
  platform.fileAnswer = dir / "levels/room.jkl";
  const std::string tga = TextureDir("room") + rtl::PathDelim + "wall.tga";
  for (const char* key : {"misc\\cmp\\pal.cmp", "MISC/cmp/Pal.CMP"}) {
    const std::string source = (dir / "res.gob") + ">>" + key;
    WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nJKPalette=" + source + "\r\n");
    rtl::DeleteFile(tga);
    host.Console.clear();
    Dispatch("Import Level...");
    ASSERT_FALSE(host.Console.empty());
    EXPECT_EQ(host.Console[0], "Morvane: Saved: " + tga + "\n") << key;
    EXPECT_EQ(ReadFile(tga).substr(18, 3), "\x50\x50\x50") << key;
    EXPECT_EQ(ReadPaletteSource(source)[9].R, 0x50);
  }
  const std::string missing = (dir / "res.gob") + ">>misc/cmp/none.cmp";
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nJKPalette=" + missing + "\r\n");
  rtl::DeleteFile(tga);
  host.Console.clear();
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console[0], "Morvane: Failed to load palette '" + missing + "', using default\n");
  EXPECT_THROW(ReadPaletteSource(missing), rtl::Exception);
  const TRGBTriple c = DefaultPalette[9];  // a TGA pixel is blue, green, red
  EXPECT_EQ(ReadFile(tga).substr(18, 3),
            std::string({static_cast<char>(c.B), static_cast<char>(c.G), static_cast<char>(c.R)}));
}

TEST_F(ImportTest, CancelledChoicesAndUnknownExtensions) {
  platform.fileAnswer = "";
  Dispatch("Import Level...");
  EXPECT_EQ(host.Console, std::vector<std::string>{"Morvane: Failed: File selection canceled\n"});
  // The status window is made and destroyed, never shown.
  EXPECT_EQ(platform.events,
            (std::vector<std::string>{platform.events[0], "status-create", "status-destroy"}));

  host.Console.clear();
  WriteFile(dir / "two.gob", testing_support::MakeGob({{"jkl\\a.jkl", "x"}, {"jkl\\b.jkl", "y"}}));
  platform.fileAnswer = dir / "two.gob";
  Dispatch("Import Level...");  // the picker answers nothing
  EXPECT_EQ(host.Console, std::vector<std::string>{"Morvane: Failed: File selection canceled\n"});

  host.Console.clear();
  WriteFile(dir / "level.txt", RoomLevel({"a.mat"}));
  platform.fileAnswer = dir / "level.txt";
  Dispatch("Import Level...");
  EXPECT_EQ(host.Console, std::vector<std::string>{"Morvane: Failed: Unknown reason...\n"});
  EXPECT_TRUE(host.Committed.empty());
}

TEST_F(ImportTest, AnErrorHalfWayKeepsWhatWasDone) {
  WriteFile(dir / "bad.jkl", RoomLevel({"one.mat", "two.mat"}, /*badSurface=*/true));
  WriteFile(dir / "one.mat", SmallMat(16));
  WriteFile(dir / "two.mat", SmallMat(16));
  platform.fileAnswer = dir / "bad.jkl";
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console.back(), "Morvane: Failed: Vertex Index is out of bounds: 1\n");
  EXPECT_TRUE(rtl::FileExists(TextureDir("bad") + rtl::PathDelim + "one.tga"));
  EXPECT_TRUE(rtl::FileExists(TextureDir("bad") + rtl::PathDelim + "two.tga"));

  // An editor that stops giving brushes half-way: those committed before stay.
  host.Console.clear();
  WriteFile(dir / "good.jkl", RoomLevel({"one.mat"}));
  platform.fileAnswer = dir / "good.jkl";
  static int calls;
  static PFN_NewBrush original;
  calls = 0;
  original = ThePlugin().Table().NewBrush;
  ThePlugin().Table().NewBrush = []() QERAPI -> BrushHandle {
    return ++calls == 3 ? nullptr : original();
  };
  Dispatch("Import Level...");
  EXPECT_EQ(host.Committed.size(), 2u);
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console.back().rfind("Morvane: Failed: ", 0), 0u);
}

TEST_F(ImportTest, MaterialNamesCannotLeaveTheirFolders) {
  rtl::ForceDirectories(dir / "levels");
  WriteFile(dir / "secret.mat", SmallMat(16));
  WriteFile(dir / "levels/x.jkl",
            RoomLevel({"../secret.mat", "..\\secret.mat", "c:secret.mat", "ok.mat"}));
  WriteFile(dir / "levels/ok.mat", SmallMat(16));
  platform.fileAnswer = dir / "levels/x.jkl";
  Dispatch("Import Level...");
  int refused = 0;
  for (const std::string& line : host.Console)
    if (line.find("refused") != std::string::npos) ++refused;
  EXPECT_EQ(refused, 3);
  EXPECT_EQ(host.Console.back(),
            "Morvane: 1 sectors converted to 6 brushes, 1 textures converted\n");
  EXPECT_EQ(rtl::FindFiles(TextureDir("x"), "*"), std::vector<std::string>{"ok.tga"});
  EXPECT_FALSE(rtl::FileExists(dir / "game/GameData/base/secret.tga"));
  EXPECT_TRUE(MaterialNameLeavesFolder(".."));

  EXPECT_FALSE(MaterialNameLeavesFolder("a..b.mat"));

  // A container entry may name a level ".." (or "." or nothing): its texture folder and its
  // faces take one safe name, never "../floor" (the faces used to).
  host.Console.clear();
  host.Committed.clear();
  WriteFile(dir / "dots.gob", testing_support::MakeGob({{"jkl\\...jkl", RoomLevel({"floor.mat"})},
                                                        {"mat\\floor.mat", SmallMat(16)}}));
  platform.fileAnswer = dir / "dots.gob";
  platform.pickEntry = [](const TJKContainer&, const std::string&) { return "jkl\\...jkl"; };
  Dispatch("Import Level...");
  ASSERT_EQ(host.Committed.size(), 6u);
  EXPECT_EQ(host.Committed[0].Faces.back().TextureName, "__/floor");
  EXPECT_TRUE(rtl::FileExists(TextureDir("__") + rtl::PathDelim + "floor.tga"));
  EXPECT_EQ(host.Console[0],
            "Morvane: Level name '..' cannot name a texture folder; '__/' stands for it\n");
  EXPECT_EQ(LevelFolderName(""), "_");
}

TEST_F(ImportTest, UnknownInstallPathConvertsNoTexturesButMakesBrushes) {
  platform.installPath = "";
  WriteFile(dir / "room.jkl", RoomLevel({"one.mat"}));
  WriteFile(dir / "one.mat", SmallMat(16));
  platform.fileAnswer = dir / "room.jkl";
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console[0], "Morvane: Game install path not found, unable to convert textures.\n");
  EXPECT_EQ(host.Console.back(),
            "Morvane: 1 sectors converted to 6 brushes, 0 textures converted\n");
  EXPECT_EQ(host.Committed.size(), 6u);
}

// Every corpus level imports headless into a .map whose every brush has N + 2 faces.
TEST(ImportCorpus, EveryLevelImportsThroughTheCommandLine) {
  std::vector<std::string> levels = testing_support::CorpusFiles("jkl", "*.jkl");
  if (levels.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  for (const std::string& name : levels) {
    std::string level = rtl::JoinPath(rtl::JoinPath(testing_support::CorpusDir(), "jkl"), name);
    std::string map = dir / (name + ".map");
    std::ostringstream out, err;
    int rc = RunCli({"morvane", "import", level, "--game-dir", dir.Folder("game"), "--settings",
                     dir / "m.ini", "--map", map},
                    out, err);
    EXPECT_EQ(rc, 0) << name << "\n" << out.str() << err.str();
    EXPECT_NE(out.str().find(" imported succesfully\n"), std::string::npos) << name;
    // Each solid N-gon gives a brush of N + 2 faces, in sector order (a brush of two corners
    // keeps only its two side faces, and one without corners is left out).
    TJKLevel probe;
    probe.LoadFromFile(level);
    std::vector<int> expected;
    for (int s = 0; s < probe.Sectors.Count(); ++s)
      for (int k = 0; k < probe.Sectors.Items(s)->Surfaces.Count(); ++k) {
        const TSurface* surface = probe.Sectors.Items(s)->Surfaces.Items(k);
        int n = surface->Vertices.Count();
        if (surface->Adjoin != -1 || n == 0) continue;
        expected.push_back(n >= 3 ? n + 2 : n);
      }
    std::vector<int> found;
    std::istringstream lines(ReadFile(map));
    std::string line;
    int depth = 0, faces = 0;
    while (std::getline(lines, line)) {
      if (line == "{") {
        ++depth;
        faces = 0;
      } else if (line == "}") {
        if (depth == 2) found.push_back(faces);
        --depth;
      } else if (depth == 2) {
        ++faces;
      }
    }
    EXPECT_EQ(found, expected) << name;
    int brushes = static_cast<int>(found.size());
    EXPECT_GT(brushes, 0) << name;
  }
}

// The bundled sample through the command-line host; the DLL under Wine must give the same.
TEST(ImportSample, SameBrushesAndTexturesAsTheDll) {
  std::string sample =
      rtl::JoinPath(MORVANE_SOURCE_DIR, rtl::NativePath("examples/sample/sample.gob"));
  TempDir dir;
  WriteFile(dir / "m.ini", sample_import::Settings(sample));
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"morvane", "import", sample, "--game-dir", dir.Folder("game"), "--settings",
                    dir / "m.ini", "--map", dir / "sample.map"},
                   out, err),
            0)
      << out.str() << err.str();
  const std::string map = ReadFile(dir / "sample.map");
  const std::string tex =
      rtl::JoinPath(dir / "game", rtl::NativePath(std::string(GameTextureFolder) + "sample"));
  EXPECT_EQ(sample_import::Digest(map, tex), sample_import::ExpectedDigest)
      << sample_import::Differences(map, tex);
}

namespace {

std::string ReplaceOnce(std::string s, const std::string& from, const std::string& to) {
  size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

}  // namespace

// Coordinates that are not finite once scaled (a huge vertex, Scale or BrushDepth) end the
// import with an error naming the level and the vertex, before any brush reaches the editor;
// they used to give faces of inf and nan and "imported succesfully".
TEST_F(ImportTest, CoordinatesBeyondTheMapRangeAreAnErrorNotASuccess) {
  WriteFile(dir / "huge.jkl", ReplaceOnce(RoomLevel({"a.mat"}), "\n2: 2 2 0\n", "\n2: 3e38 2 0\n"));
  platform.fileAnswer = dir / "huge.jkl";
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console.back(),
            "Morvane: Failed: Vertex 2 (3.00000000549776e+38 2 0) of level 'huge' gives a "
            "coordinate beyond the range of a map once scaled by 256 with brush depth 8\n");
  EXPECT_TRUE(host.Committed.empty());

  struct Case {
    std::string settings, message;
  } cases[] = {
      {"Scale=1e39\r\nBrushDepth=8\r\n",
       "Vertex 3 (0 2 0) of level 'room' gives a coordinate beyond the range of a map once scaled "
       "by 1e+39 with brush depth 8"},
      {"Scale=1\r\nBrushDepth=1e40\r\n",
       "Vertex 0 (0 0 0) of level 'room' gives a coordinate beyond the range of a map once scaled "
       "by 1 with brush depth 1e+40"},
  };
  WriteFile(dir / "room.jkl", RoomLevel({"a.mat"}));
  platform.fileAnswer = dir / "room.jkl";
  for (const Case& c : cases) {
    ResetCachedSettings();
    host.Console.clear();
    WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\n" + c.settings);
    Dispatch("Import Level...");
    ASSERT_FALSE(host.Console.empty()) << c.settings;
    EXPECT_EQ(host.Console.back(), "Morvane: Failed: " + c.message + "\n") << c.settings;
    EXPECT_TRUE(host.Committed.empty()) << c.settings;
  }

  // Corners that fit but whose sums do not: a side face's centre, the third point the editor
  // is given, would be inf.
  ResetCachedSettings();
  host.Console.clear();
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nScale=1\r\nBrushDepth=8\r\n");
  WriteFile(dir / "wide.jkl", ReplaceOnce(RoomLevel({"a.mat"}), "\n1: 2 0 0\n", "\n1: 3e38 0 0\n"));
  platform.fileAnswer = dir / "wide.jkl";
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console.back(),
            "Morvane: Failed: Vertex 1 (3.00000000549776e+38 0 0) of level 'wide' gives a "
            "coordinate beyond the range of a map once scaled by 1 with brush depth 8\n");
  EXPECT_TRUE(host.Committed.empty());
  platform.fileAnswer = dir / "room.jkl";

  // A Scale of 0 or less is the default with its line, as text that is no number.
  ResetCachedSettings();
  host.Console.clear();
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nScale=-4\r\nBrushDepth=8\r\n");
  Dispatch("Import Level...");
  EXPECT_NE(std::find(host.Console.begin(), host.Console.end(),
                      "Morvane: Error reading scale factor setting, using default: 256\n"),
            host.Console.end());
  EXPECT_EQ(host.Console.back(),
            "Morvane: 1 sectors converted to 6 brushes, 0 textures converted\n");
  ASSERT_EQ(host.Committed.size(), 6u);
}

// A face's texture name in a map is one word: blanks, double quotes and control characters in
// the level's name (a file name) or a material's name (a word of the level, so no blank) become
// "_", in the folder and file names and in the names the faces carry alike, with one console line.
// Names without them are unchanged.
TEST_F(ImportTest, NamesTheMapCannotHoldAreWrittenWithUnderscores) {
  rtl::ForceDirectories(dir / "my levels");
  WriteFile(dir / "my levels/my level.jkl",
            RoomLevel({"wall.mat", "q\"uote.mat", "ctl\x01.mat", "plain.mat"}));
  WriteFile(dir / "my levels/wall.mat", SmallMat(16));
  WriteFile(dir / "my levels/plain.mat", SmallMat(16));
  // Names a file system may refuse come from a container.
  WriteFile(dir / "res.gob", testing_support::MakeGob({{"mat\\q\"uote.mat", SmallMat(31)},
                                                       {"mat\\ctl\x01.mat", SmallMat(6)}}));
  WriteFile(dir / "morvane.ini",
            "OutputTexFormat=tga\r\nResourceGobs=" + (dir / "res.gob") + "\r\n");
  platform.fileAnswer = dir / "my levels/my level.jkl";
  Dispatch("Import Level...");

  const std::string tex = TextureDir("my_level") + rtl::PathDelim;
  ASSERT_GE(host.Console.size(), 6u);
  EXPECT_EQ(host.Console[0],
            "Morvane: Texture names cannot hold blanks, quotes or control characters; '_' stands "
            "for them (\"my level/\" becomes \"my_level/\")\n");
  EXPECT_EQ(host.Console[2], "Morvane: Saved: " + tex + "wall.tga\n");
  EXPECT_EQ(host.Console[3], "Morvane: Saved: " + tex + "q_uote.tga\n");
  EXPECT_EQ(host.Console[4], "Morvane: Saved: " + tex + "ctl_.tga\n");
  EXPECT_EQ(host.Console[5], "Morvane: Saved: " + tex + "plain.tga\n");
  ASSERT_EQ(host.Committed.size(), 6u);
  EXPECT_EQ(host.Committed[0].Faces.back().TextureName, "my_level/wall");
  EXPECT_EQ(host.Committed[1].Faces.back().TextureName, "my_level/q_uote");
  EXPECT_EQ(host.Committed[2].Faces.back().TextureName, "my_level/ctl_");
  EXPECT_EQ(host.Committed[3].Faces.back().TextureName, "my_level/plain");
  EXPECT_EQ(MapSafeName("plain/Name-1.x"), "plain/Name-1.x");

  // A level whose names need nothing gets no such line.
  host.Console.clear();
  WriteFile(dir / "ok.jkl", RoomLevel({"plain.mat"}));
  platform.fileAnswer = dir / "ok.jkl";
  Dispatch("Import Level...");
  for (const std::string& line : host.Console)
    EXPECT_EQ(line.find("Texture names cannot"), std::string::npos) << line;
}

// A material that cannot be read or decoded, and a search-list container that cannot be read,
// are one console line each naming the file (and entry) and the reason; the rest converts and
// the brushes come. They used to end the import with "Failed: Stream read error".
TEST_F(ImportTest, ABrokenTextureCostsOnlyItself) {
  WriteFile(dir / "room.jkl",
            RoomLevel({"broken.mat", "good.mat", "ingob.mat", "lying.mat", "short.mat"}));
  WriteFile(dir / "broken.mat", SmallMat(16).substr(0, 100));
  WriteFile(dir / "good.mat", SmallMat(16));
  WriteFile(dir / "notes.gob", "These are notes, not a container.\n");
  WriteFile(dir / "res.gob",
            testing_support::MakeGob({{"mat\\ingob.mat", SmallMat(6)},
                                      {"mat\\lying.mat", "", 16, 1 << 20},
                                      {"mat\\short.mat", SmallMat(6).substr(0, 80)}}));
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nResourceGobs=" + (dir / "notes.gob") +
                                     "," + (dir / "res.gob") + "\r\n");
  platform.fileAnswer = dir / "room.jkl";
  Dispatch("Import Level...");

  const std::string tex = TextureDir("room") + rtl::PathDelim;
  const std::string res = dir / "res.gob";
  std::vector<std::string> expected = {
      "Morvane: Failed to load palette '', using default\n",
      "Morvane: Texture 'broken.mat' skipped: Stream read error (in '" + (dir / "broken.mat") +
          "')\n",
      "Morvane: Saved: " + tex + "good.tga\n",
      "Morvane: Container '" + (dir / "notes.gob") + "' skipped: Stream read error (in '" +
          (dir / "notes.gob") + "', which is no GOB/GOO container or a damaged one)\n",
      "Morvane: Saved: " + tex + "ingob.tga\n",
      "Morvane: Texture 'lying.mat' skipped: Stream read error (in '" + res +
          ">>mat\\lying.mat')\n",
      "Morvane: Texture 'short.mat' skipped: Stream read error (in '" + res +
          ">>mat\\short.mat')\n",
      "Morvane: Error reading scale factor setting, using default: 256\n",
      "Morvane: Error reading brush depth setting, using default: 8\n",
      "Morvane: room.jkl imported succesfully\n",
      "Morvane: 1 sectors converted to 6 brushes, 2 textures converted\n"};
  EXPECT_EQ(host.Console, expected);
  EXPECT_EQ(host.Committed.size(), 6u);
  std::vector<std::string> files = rtl::FindFiles(TextureDir("room"), "*");
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"good.tga", "ingob.tga"}));

  // An image that cannot be written still ends the step, naming the setting to mend.
  host.Console.clear();
  ResetCachedSettings();
  WriteFile(dir / "morvane.ini", "OutputTexFormat=bmp\r\n");
  WriteFile(dir / "other.jkl", RoomLevel({"good.mat"}));
  platform.fileAnswer = dir / "other.jkl";
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console.back(),
            "Morvane: Failed: Unsupported file extension: '.bmp' (setting OutputTexFormat=bmp)\n");
}

// An image its format cannot hold is one console line naming the material and the reason, in
// words for libjpeg's errors too; the other textures and the brushes still come. Such an image
// used to end the import ("JPEG error #41" alone for JPEG).
TEST_F(ImportTest, AnImageThatCannotBeWrittenCostsOnlyItself) {
  WriteFile(dir / "wide.mat", mat_fixture::TextureMat({{70000, 1, std::string(70000, '\x10')}}));
  WriteFile(dir / "good.mat", SmallMat(16));
  WriteFile(dir / "room.jkl", RoomLevel({"wide.mat", "good.mat"}));
  const std::string tex = TextureDir("room") + rtl::PathDelim;
  for (const auto& [format, reason] : std::vector<std::pair<std::string, std::string>>{
           {"tga",
            "An image of 70000 x 1 pixels is too large for a TGA file (65535 at most on "
            "each side)"},
           {"jpg", "JPEG error #41: Maximum supported image dimension is 65500 pixels"}}) {
    host.Console.clear();
    WriteFile(dir / "morvane.ini",
              "OutputTexFormat=" + format + "\r\nScale=256\r\nBrushDepth=8\r\n");
    platform.fileAnswer = dir / "room.jkl";
    Dispatch("Import Level...");
    ASSERT_EQ(host.Console.size(), 5u);
    EXPECT_EQ(host.Console[1], "Morvane: Texture 'wide.mat' not written: " + reason + " (in '" +
                                   tex + "wide." + format + "')\n");
    EXPECT_EQ(host.Console[4], "Morvane: 1 sectors converted to 6 brushes, 1 textures converted\n");
  }
}

// Two materials whose image names differ only in letter case or in what MapSafeName replaces
// get images of their own: each later one a numeric suffix that no material's own name takes,
// said once on the console. They used to share one image without a word.
TEST_F(ImportTest, TwoMaterialsNeverShareOneImage) {
  const std::vector<std::string> materials = {"a.mat", "A.bmp", "a_2.mat"};
  WriteFile(dir / "room.jkl", RoomLevel(materials));
  for (size_t i = 0; i < materials.size(); ++i)
    WriteFile(dir / materials[i], SmallMat(static_cast<uint8_t>(16 + i)));
  platform.fileAnswer = dir / "room.jkl";
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console[0],
            "Morvane: Textures 'a.mat' and 'A.bmp' would share one image name; "
            "'A.bmp' is named 'room/A_3'\n");
  // Each material its own image, with its own colour, under the name its faces carry.
  const std::vector<std::string> names = {"a", "A_3", "a_2"};
  std::set<std::string> pixels;
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(host.Committed[i].Faces.back().TextureName, "room/" + names[i]);
    pixels.insert(ReadFile(TextureDir("room") + rtl::PathDelim + names[i] + ".tga").substr(18, 4));
  }
  EXPECT_EQ(pixels.size(), 3u);
}

// A level read from a container names container>>entry and the line in its errors.
TEST_F(ImportTest, ReaderErrorsNameTheContainerEntryAndLine) {
  const std::string gob = dir / "levels.gob";
  WriteFile(
      gob,
      testing_support::MakeGob(
          {{"jkl\\bad.jkl", ReplaceOnce(RoomLevel({"a.mat"}), "\n1: 2 0 0\n", "\n1: 2 zz 0\n")}}));
  platform.fileAnswer = gob;
  platform.pickEntry = [](const TJKContainer&, const std::string&) {
    return std::string("jkl\\bad.jkl");
  };
  Dispatch("Import Level...");
  EXPECT_EQ(host.Console, std::vector<std::string>{
                              "Morvane: Failed: 'zz' is not a valid floating point value (in '" +
                              gob + ">>jkl\\bad.jkl', line 8)\n"});
}

// The plug-in object holds the status window only while an import runs, and every step's
// progress reaches that window, through the hand-off to the editor too; a failed import closes it
// as well.
TEST_F(ImportTest, ProgressGoesToTheRunningImportsWindowWhichGoesWithIt) {
  WriteFile(dir / "room.jkl", RoomLevel({"a.mat"}));
  platform.fileAnswer = dir / "room.jkl";
  std::vector<int> counts;
  bool outside = false;
  platform.onProgress = [&](int Index, int Count) {
    if (!ThePlugin().Status() || Index < 0 || Index >= Count) outside = true;
    if (counts.empty() || counts.back() != Count) counts.push_back(Count);
  };
  Dispatch("Import Level...");
  ASSERT_EQ(host.Committed.size(), 6u);
  EXPECT_FALSE(outside);
  ASSERT_FALSE(counts.empty());
  EXPECT_EQ(counts.back(), 6);  // the last step hands the six brushes to the editor
  EXPECT_EQ(ThePlugin().Status(), nullptr);

  platform.fileAnswer = dir / "missing.jkl";
  Dispatch("Import Level...");
  EXPECT_EQ(platform.events.back(), "status-destroy");
  EXPECT_EQ(ThePlugin().Status(), nullptr);
}

// A platform given to the plug-in to keep lives until another one is set; a lent one is only
// used.
TEST(PluginObject, KeepsAGivenPlatformAndOnlyUsesALentOne) {
  struct TCountedPlatform : THeadlessPlatform {
    explicit TCountedPlatform(int& Alive) : alive(Alive) { ++alive; }
    ~TCountedPlatform() override { --alive; }
    int& alive;
  };
  int alive = 0;
  auto owned = std::make_unique<TCountedPlatform>(alive);
  IPlatform* given = owned.get();
  ThePlugin().SetPlatform(std::move(owned));
  EXPECT_EQ(&Platform(), given);
  EXPECT_EQ(alive, 1);
  {
    TCountedPlatform lent(alive);
    SetPlatform(&lent);
    EXPECT_EQ(alive, 1);  // the kept one is gone, the lent one lives
    EXPECT_EQ(&Platform(), &lent);
    SetPlatform(nullptr);
  }
  EXPECT_EQ(alive, 0);
  EXPECT_THROW(Platform(), rtl::Exception);
}
