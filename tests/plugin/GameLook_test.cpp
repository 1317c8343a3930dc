// What makes an imported level look as it did in the game: drawn adjoins as brushes, the shader
// script of its sky and see-through materials, its own palette, its sibling "mat" folder.
#include <gtest/gtest.h>

#include "brush/DrawnAdjoins.h"
#include "import/LevelSearch.h"
#include "import/Pipeline.h"
#include "plugin/SendBrushes.h"
#include "plugin/main.h"
#include "rtl/Files.h"
#include "rtl/FolderIndex.h"
#include "support/EditorHostTest.h"
#include "support/HeadlessPlatform.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"
#include "texture/MatFixture.h"
#include "texture/ShaderScript.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// Two sectors: a translucent window drawn from both sides (surfaces 0 and 1, materials a and
// b), an opening drawn from neither side (2 and 3), and one wall (4). The level names its
// colormap "Pal.CMP".
const char* const WindowLevel =
    "SECTION: MATERIALS\nWorld materials 3\n0: a.mat\n1: b.mat\n2: wall.mat\nend\n"
    "SECTION: GEORESOURCE\nWorld Colormaps 1\n0: Pal.CMP\n"
    "World vertices 4\n0: 0 0 0\n1: 1 0 0\n2: 1 1 0\n3: 0 1 0\n"
    "World texture vertices 1\n0: 0 0\n"
    "World adjoins 4\n0: 0x7 1 0\n1: 0x7 0 0\n2: 0x7 3 0\n3: 0x7 2 0\n"
    "World surfaces 5\n"
    "0: 0 0x4 0x2 4 3 0 0 0 4 0,0 1,0 2,0 3,0\n"
    "1: 1 0x4 0x2 4 3 0 1 0 4 3,0 2,0 1,0 0,0\n"
    "2: 2 0x4 0x0 0 3 0 2 0 4 0,0 1,0 2,0 3,0\n"
    "3: 2 0x4 0x0 0 3 0 3 0 4 3,0 2,0 1,0 0,0\n"
    "4: 2 0x4 0x0 4 3 0 -1 0 4 0,0 1,0 2,0 3,0\n"
    "0: 0 0 1\n1: 0 0 -1\n2: 0 0 1\n3: 0 0 -1\n4: 0 0 1\n"
    "SECTION: SECTORS\nWorld sectors 2\nSECTOR 0\nSURFACES 0 1\nSECTOR 1\nSURFACES 1 4\n"
    "SECTION: THINGS\nWorld things 0\nend\n";

std::string SmallMat() { return mat_fixture::TextureMat({{2, 2, std::string(4, '\x10')}}); }

class GameLookTest : public EditorHostTest {
 protected:
  GameLookTest() : EditorHostTest("editor/default") {}
  std::string Game(const std::string& sub) const {
    return rtl::JoinPath(dir / "game", rtl::NativePath(sub));
  }
};

TEST(ShaderScript, SkyEntryIsTheCloudLayerOfASkyTheEditorShows) {
  TShaderEntry sky;
  sky.Name = "lvl/sky1";
  sky.Image = "textures/lvl/sky1.tga";
  sky.Sky = sky.Translucent = true;  // sky wins: a sky has no blend
  EXPECT_EQ(ShaderScript({sky}),
            "textures/lvl/sky1\n{\n\tqer_editorimage textures/lvl/sky1.tga\n"
            "\tsurfaceparm sky\n\tsurfaceparm noimpact\n\tsurfaceparm nolightmap\n"
            "\tskyparms - 512 -\n\t{\n\t\tmap textures/lvl/sky1.tga\n\t}\n}\n");
}

TEST(ShaderScript, ShaderListGetsTheScriptOnce) {
  struct {
    std::string list, expected;
  } cases[] = {
      {"", "lvl\n"},
      {"common\r\nsky", "common\r\nsky\r\nlvl\r\n"},  // its own line ends, nothing rewritten
      {"common\n  LVL.shader \n", "common\n  LVL.shader \n"},
      {"lvl2\n", "lvl2\nlvl\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(AddToShaderList(c.list, "lvl"), c.expected) << c.list;
}

TEST_F(GameLookTest, DrawnAdjoinPairIsOneDetailBrushWithBothMaterials) {
  WriteFile(dir / "lvl.jkl", WindowLevel);
  // Ready for the game: adjoins and the shader script (and sealed: the shell's boxes follow).
  WriteFile(dir / "morvane.ini",
            "OutputTexFormat=tga\r\nNonVisTex=common/nodraw\r\nGameReady=1\r\n");
  rtl::ForceDirectories(Game("GameData/base/shaders"));
  WriteFile(Game("GameData/base/shaders/shaderlist.txt"), "common\n");
  platform.fileAnswer = dir / "lvl.jkl";

  for (int run = 0; run < 2; ++run) {
    host.Committed.clear();
    Dispatch("Import Level...");
    // The window pair makes one brush, the undrawn opening none, the wall its slab.
    ASSERT_GT(host.Committed.size(), 2u);
    EXPECT_EQ(host.Committed[2].Faces.back().TextureName, "common/nodraw");  // a shell box
  }
  const auto& faces = host.Committed[0].Faces;  // the editor's order: the front face last
  ASSERT_EQ(faces.size(), 6u);
  EXPECT_EQ(faces[5].TextureName, "lvl/a");
  EXPECT_EQ(faces[4].TextureName, "lvl/b");
  for (int f = 0; f < 4; ++f) EXPECT_EQ(faces[f].TextureName, "common/nodraw");
  for (const auto& face : faces) EXPECT_EQ(face.Contents, DetailContents);
  // One unit deep, behind the first side, into the sector it opens onto.
  EXPECT_EQ(faces[5].P1[2], 0.0f);
  EXPECT_EQ(faces[4].P1[2], -1.0f);
  EXPECT_EQ(host.Committed[1].Faces.back().TextureName, "lvl/wall");

  const std::string script = ReadFile(Game("GameData/base/shaders/lvl.shader"));
  EXPECT_NE(script.find("textures/lvl/a\n{\n\tqer_editorimage textures/lvl/a.tga\n\tqer_trans "
                        "0.5\n\tsurfaceparm trans\n\tsurfaceparm nonsolid\n"),
            std::string::npos);
  EXPECT_NE(script.find("textures/lvl/b\n"), std::string::npos);
  EXPECT_EQ(script.find("lvl/wall"), std::string::npos);
  // Listed once over two imports.
  EXPECT_EQ(ReadFile(Game("GameData/base/shaders/shaderlist.txt")), "common\nlvl\n");
}

TEST_F(GameLookTest, LevelPaletteIsFoundInAContainerOrBesideTheLevel) {
  TempDir other;
  rtl::ForceDirectories(dir / "lvl/jkl");
  rtl::ForceDirectories(dir / "lvl/misc/cmp");
  const std::string level = rtl::NativePath(dir / "lvl/jkl/x.jkl");
  const std::string beside = dir / "lvl/misc/cmp/Pal.CMP";
  const std::string d(1, rtl::PathDelim);
  const std::string found =
      rtl::ExtractFilePath(level) + ".." + d + "misc" + d + "cmp" + d + "Pal.CMP";
  const std::string gob = dir / "res.gob";
  WriteFile(gob, testing_support::MakeGob({{"MISC\\CMP\\PAL.CMP", std::string(832, '\0')}}));
  WriteFile(other / "empty.gob", testing_support::MakeGob({}));
  WriteFile(beside, std::string(832, '\0'));
  struct {
    std::vector<std::string> containers;
    std::string levelFile, expected;
  } cases[] = {
      {{"", other / "empty.gob", gob}, level, gob + ">>misc\\cmp\\Pal.CMP"},
      {{other / "empty.gob"}, level, found},
      {{}, "", ""},  // a level from a container has no folder to look beside
  };
  for (const auto& c : cases) {
    TResourceIndex resources(c.levelFile, c.containers);
    EXPECT_EQ(FindLevelPalette("Pal.CMP", resources), c.expected);
  }
  TResourceIndex resources(level, {gob});
  EXPECT_EQ(FindLevelPalette("../pal.cmp", resources), "");

  // In an import the found palette stands in for JKPalette, and says so.
  WriteFile(level, WindowLevel);
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nLevelPalette=1\r\n");
  platform.fileAnswer = level;
  Dispatch("Import Level...");
  ASSERT_FALSE(host.Console.empty());
  EXPECT_EQ(host.Console[0], "Morvane: Palette 'Pal.CMP' of the level: " + found + "\n");
}

TEST_F(GameLookTest, UnpackedLevelFindsItsMaterialsInTheSiblingMatFolder) {
  rtl::ForceDirectories(dir / "lvl/jkl");
  rtl::ForceDirectories(dir / "lvl/mat");
  WriteFile(dir / "lvl/jkl/x.jkl", WindowLevel);
  WriteFile(dir / "lvl/mat/wall.mat", SmallMat());
  platform.fileAnswer = dir / "lvl/jkl/x.jkl";
  for (const char* setting : {"0", "1"}) {
    WriteFile(dir / "morvane.ini",
              std::string("OutputTexFormat=tga\r\nSearchParentMat=") + setting + "\r\n");
    host.Console.clear();
    Dispatch("Import Level...");
    EXPECT_EQ(rtl::FileExists(Game("GameData/base/textures/x/wall.tga")), setting[0] == '1');
  }
}

}  // namespace

namespace {

#ifndef _WIN32  // Windows finds any spelling without a listing
// Each folder is listed once for an import: what appears in it afterwards is not seen by the
// same index, and a name differing only in letter case is found, for files and folders alike.
TEST(FolderIndex, ListsEachFolderOnceAndIgnoresLetterCase) {
  TempDir dir;
  rtl::ForceDirectories(dir / "MAT");
  WriteFile(dir / "MAT/Wall.MAT", "w");
  rtl::TFolderIndex index;
  const std::string folder = rtl::IncludeTrailingPathDelimiter(dir.Path());
  const std::string mat = index.FindFolder(folder, "mat");
  EXPECT_EQ(mat, folder + "MAT" + rtl::PathDelim);
  EXPECT_EQ(index.FindFile(mat, "wall.mat"), mat + "Wall.MAT");
  EXPECT_EQ(index.FindFile(mat, "floor.mat"), "");
  WriteFile(dir / "MAT/Floor.MAT", "f");
  EXPECT_EQ(index.FindFile(mat, "floor.mat"), "");                 // listed before it came
  EXPECT_EQ(index.FindFile(mat, "Floor.MAT"), mat + "Floor.MAT");  // as written: always seen
  EXPECT_EQ(rtl::TFolderIndex().FindFile(mat, "floor.mat"), mat + "Floor.MAT");
}
#endif

}  // namespace

// A level unpacked with its folders in upper case ("MAT", "MISC\CMP") finds its materials and
// its palette there.
TEST_F(GameLookTest, UpperCaseFoldersOfAnUnpackedLevelAreFound) {
  rtl::ForceDirectories(dir / "lvl/JKL/MAT");
  rtl::ForceDirectories(dir / "lvl/MAT");
  rtl::ForceDirectories(dir / "lvl/MISC/CMP");
  WriteFile(dir / "lvl/JKL/x.jkl", WindowLevel);
  WriteFile(dir / "lvl/JKL/MAT/A.MAT", SmallMat());
  WriteFile(dir / "lvl/MAT/wall.mat", SmallMat());
  WriteFile(dir / "lvl/MISC/CMP/PAL.CMP", std::string(832, '\0'));
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nSearchParentMat=1\r\nLevelPalette=1\r\n");
  platform.fileAnswer = dir / "lvl/JKL/x.jkl";
  Dispatch("Import Level...");
  for (const char* image : {"a.tga", "wall.tga"})
    EXPECT_TRUE(rtl::FileExists(Game("GameData/base/textures/x/") + image)) << image;
  ASSERT_FALSE(host.Console.empty());
  EXPECT_NE(host.Console[0].find("Palette 'Pal.CMP' of the level: "), std::string::npos)
      << host.Console[0];
}
