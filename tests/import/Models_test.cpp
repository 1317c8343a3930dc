// The things of a level drawn with a 3DO model, as models of the map: found once per model, its
// materials converted with the level's, written as an MD3, placed as misc_model entities; and the
// plug-in's saved map with GameReady=1.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "model/ModelPose.h"
#include "rtl/Files.h"
#include "support/CliRun.h"
#include "support/EditorHostTest.h"
#include "support/Md3Read.h"
#include "support/TestSupport.h"
#include "texture/MatFixture.h"

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// One cube-shaped sector, 2 units wide, and six things: a player start, a crate (a structure),
// a lift (moves: its template names one), two things of a model that is nowhere, and
// a crate whose line carries a path of frames.
const char* const ModelLevel =
    "SECTION: MATERIALS\nWorld materials 1\n0: wall.mat\nend\n"
    "SECTION: GEORESOURCE\n"
    "World vertices 8\n0: 0 0 0\n1: 2 0 0\n2: 2 2 0\n3: 0 2 0\n4: 0 0 2\n5: 2 0 2\n6: 2 2 2\n"
    "7: 0 2 2\n"
    "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 6\n"
    "0: 0 0x4 0 4 3 0 -1 0 4 0,0 1,0 2,0 3,0 1 1 1 1\n"
    "1: 0 0x4 0 4 3 0 -1 0 4 4,0 7,0 6,0 5,0 1 1 1 1\n"
    "2: 0 0x4 0 4 3 0 -1 0 4 0,0 3,0 7,0 4,0 1 1 1 1\n"
    "3: 0 0x4 0 4 3 0 -1 0 4 1,0 5,0 6,0 2,0 1 1 1 1\n"
    "4: 0 0x4 0 4 3 0 -1 0 4 0,0 4,0 5,0 1,0 1 1 1 1\n"
    "5: 0 0x4 0 4 3 0 -1 0 4 3,0 2,0 6,0 7,0 1 1 1 1\n"
    "0: 0 0 1\n1: 0 0 -1\n2: 1 0 0\n3: -1 0 0\n4: 0 1 0\n5: 0 -1 0\n"
    "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 6\n"
    "Section: TEMPLATES\nWorld templates 6\n#Name: Based On: Params:\n"
    "_decor none type=cog collide=1 move=path\n"
    "_structure _decor collide=3 thingflags=0x8\n"
    "crate _structure model3d=Box.3DO\n"
    "lift _structure model3d=box.3do soundclass=med_elev.snd\n"
    "ghost _decor model3d=missing.3do\n"
    "walkplayer none type=player model3d=ky.3do\n"
    "end\n"
    "SECTION: THINGS\nWorld things 6\n"
    "0: walkplayer walkplayer 1 1 0.5 0 0 0 0\n"
    "1: crate crate 1 1 1 0 90 0 0\n"
    "2: lift lift 1.5 1 1 0 0 0 0\n"
    "3: ghost ghost 1 1.5 1 0 0 0 0\n"
    "4: ghost ghost 0.5 0.5 1 0 0 0 0\n"
    "5: crate crate 0.5 1.5 1 0 0 0 0 numframes=2 frame=(0.5/1.5/1:0/0/0) "
    "frame=(0.5/1.5/1.5:0/0/0)\n"
    "end\n";

// A square of two materials: the level's wall (in another letter case) and a trim only it uses.
const char* const BoxModel =
    "3DO 2.1\nMATERIALS 2\n0: Wall.MAT\n1: trim.mat\nRADIUS .2\nINSERT OFFSET 0 0 0\n"
    "GEOSETS 1\nGEOSET 0\nMESHES 1\nMESH 0\nNAME box\n"
    "VERTICES 4\n0: -.1 -.1 0\n1: .1 -.1 0\n2: .1 .1 0\n3: -.1 .1 0\n"
    "TEXTURE VERTICES 1\n0: 1 1\nVERTEX NORMALS\n0: 0 0 1\n1: 0 0 1\n2: 0 0 1\n3: 0 0 1\n"
    "FACES 2\n0: 0 0x0 4 3 1 0 3 0,0 1,0 2,0\n1: 1 0x0 4 3 1 0 3 0,0 2,0 3,0\n"
    "FACE NORMALS\n0: 0 0 1\n1: 0 0 1\n"
    "HIERARCHY NODES 1\n0: 0x0 0x1 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 box\n";

// The entity blocks of a map after its worldspawn, each as its text after its "{" line.
std::vector<std::string> Entities(const std::string& Map) {
  std::vector<std::string> out;
  const std::string head = "{\n\"classname\" \"";
  for (size_t at = Map.find(head, 1); at != std::string::npos; at = Map.find(head, at + 1))
    out.push_back(Map.substr(at + 2, Map.find("}\n", at) + 2 - (at + 2)));
  return out;
}

class ModelsTest : public EditorHostTest {
 protected:
  void SetUp() override {
    EditorHostTest::SetUp();
    rtl::ForceDirectories(dir / "lvl/jkl");
    rtl::ForceDirectories(dir / "lvl/3do");
    rtl::ForceDirectories(dir / "lvl/mat");
    WriteFile(dir / "lvl/jkl/lvl.jkl", ModelLevel);
    WriteFile(dir / "lvl/3do/box.3do", BoxModel);
    const std::string mat = mat_fixture::TextureMat({{2, 2, std::string(4, '\x10')}});
    WriteFile(dir / "lvl/mat/wall.mat", mat);
    WriteFile(dir / "lvl/mat/trim.mat", mat);
    WriteFile(dir / "cli.ini", "OutputTexFormat=tga\r\n");
  }
  std::string Level() const { return rtl::NativePath(dir / "lvl/jkl/lvl.jkl"); }
};

TEST_F(ModelsTest, ThingsWithAFoundModelBecomeMiscModelsAMissingOneCostsOnlyItsThings) {
  const auto run = testing_support::Morvane(
      {"import", Level(), "--game-dir", dir.Folder("game"), "--settings", dir / "cli.ini", "--map",
       dir / "lvl.map", "--entities", "--models", "--parent-mat"});
  ASSERT_EQ(run.code, 0) << run.err;
  // One line for the missing model, however many things name it.
  const std::string missing = "Morvane: Model 'missing.3do' skipped (2 things): not found\n";
  ASSERT_NE(run.out.find(missing), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(missing), run.out.rfind(missing));
  EXPECT_NE(run.out.find("Morvane: 3 things placed as models (2 that move in the game at rest, "
                         "without the clip), 6 triangles\n"),
            std::string::npos)
      << run.out;

  const std::vector<std::string> e = Entities(ReadFile(dir / "lvl.map"));
  ASSERT_EQ(e.size(), 6u);
  EXPECT_NE(e[0].find("\"classname\" \"info_player_deathmatch\""), std::string::npos);
  EXPECT_EQ(e[1],
            "\"classname\" \"misc_model\"\n\"model\" \"models/lvl/box.md3\"\n"
            "\"origin\" \"256 256 256\"\n\"angles\" \"0 90 0\"\n\"spawnflags\" \"2\"\n"
            "\"template\" \"crate\"\n}\n");
  // What moves in the game is placed at rest without the clip.
  EXPECT_NE(e[2].find("\"model\" \"models/lvl/box.md3\""), std::string::npos);
  EXPECT_EQ(e[2].find("spawnflags"), std::string::npos);
  EXPECT_EQ(e[5].find("spawnflags"), std::string::npos);
  EXPECT_NE(e[5].find("misc_model"), std::string::npos);
  for (int i : {3, 4}) EXPECT_NE(e[i].find("\"classname\" \"info_null\""), std::string::npos);

  // The model's materials are converted with the level's, and its surfaces name them as the
  // level's faces name theirs.
  EXPECT_TRUE(rtl::FileExists(dir / "game/GameData/base/textures/lvl/trim.tga"));
  const md3_read::TModel md3 =
      md3_read::Read(ReadFile(dir / "game/GameData/base/models/lvl/box.md3"));
  EXPECT_EQ(md3.Name, "models/lvl/box.md3");
  ASSERT_EQ(md3.Surfaces.size(), 2u);
  EXPECT_EQ(md3.Surfaces[0].Shader, "textures/lvl/wall");
  EXPECT_EQ(md3.Surfaces[1].Shader, "textures/lvl/trim");
  // 0.1 model units at Scale 256, in 1/64 unit; the texel (1, 1) over the 2 x 2 image.
  EXPECT_EQ(md3.Surfaces[0].XYZ[0], -1638);
  EXPECT_FLOAT_EQ(md3.Surfaces[0].ST[0], 0.5f);

  // Without --models the same level's things stay point entities and no model is written.
  const auto plain = testing_support::Morvane({"import", Level(), "--game-dir", dir.Folder("game2"),
                                               "--settings", dir / "cli.ini", "--map",
                                               dir / "plain.map", "--entities", "--parent-mat"});
  ASSERT_EQ(plain.code, 0);
  EXPECT_EQ(ReadFile(dir / "plain.map").find("misc_model"), std::string::npos);
  EXPECT_FALSE(rtl::FileExists(dir / "game2/GameData/base/models/lvl/box.md3"));
}

TEST_F(ModelsTest, GameReadyPluginSavesTheWholeMapAsTheCommandLineWritesIt) {
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nGameReady=1\r\n");
  platform.fileAnswer = Level();
  Dispatch("Import Level...");
  const std::string saved = dir / "game/GameData/base/maps/lvl.map";
  ASSERT_TRUE(rtl::FileExists(saved));
  int said = 0;
  for (const std::string& line : host.Console)
    said += line.rfind("Morvane: Saved: " + rtl::NativePath(saved) + " (the whole map: ", 0) == 0;
  EXPECT_EQ(said, 1);

  const auto run =
      testing_support::Morvane({"import", Level(), "--game-dir", dir.Folder("game2"), "--settings",
                                dir / "cli.ini", "--map", dir / "ready.map", "--game-ready"});
  ASSERT_EQ(run.code, 0) << run.err;
  // The saved map, whose name Morvane chose, carries its mark line; the one named by --map not.
  const std::string marked = ReadFile(saved);
  ASSERT_EQ(marked.rfind("// Morvane map ", 0), 0u);
  const std::string map = marked.substr(marked.find('\n') + 1);
  EXPECT_NE(map.find("\"model\" \"models/lvl/box.md3\""), std::string::npos);
  EXPECT_TRUE(map == ReadFile(dir / "ready.map")) << "the plug-in saved another map";
}

TEST(ModelAngles, TurnTheModelAsTheGameTurnsTheThing) {
  // The compiler's turn of a misc_model's "angles" (pitch yaw roll): roll about X, pitch about Y,
  // yaw about Z, as its matrix is written.
  auto compiler = [](const TModelAngles& a, double m[3][3]) {
    const double k = 3.14159265358979323846 / 180;
    const double cx = std::cos(a.Roll * k), sx = std::sin(a.Roll * k);
    const double cy = std::cos(a.Pitch * k), sy = std::sin(a.Pitch * k);
    const double cz = std::cos(a.Yaw * k), sz = std::sin(a.Yaw * k);
    const double columns[3][3] = {{cy * cz, cy * sz, -sy},
                                  {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy},
                                  {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy}};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) m[r][c] = columns[c][r];
  };
  const float cases[][3] = {{0, 90, 0},   {-20, -110, -30}, {30, 135, 0}, {0, 90, -3},
                            {90, 10, 20}, {-90, 0, 45},     {45, 45, 45}};
  for (const auto& c : cases) {
    double game[3][3], map[3][3];
    GameRotation(c[0], c[1], c[2], game);
    compiler(MapModelAngles(c[0], c[1], c[2]), map);
    for (int r = 0; r < 3; ++r)
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(map[r][k], game[r][k], 1e-6) << c[0] << " " << c[1] << " " << c[2];
  }
  // The game's look direction (yaw 0 along +Y, a positive pitch up) is the model's +Y turned.
  double game[3][3];
  GameRotation(30, 60, 0, game);
  const double k = 3.14159265358979323846 / 180;
  EXPECT_NEAR(game[0][1], -std::sin(60 * k) * std::cos(30 * k), 1e-12);
  EXPECT_NEAR(game[2][1], std::sin(30 * k), 1e-12);
  const TModelAngles yawOnly = MapModelAngles(0, 250, 0);
  EXPECT_EQ(yawOnly.Pitch, 0);
  EXPECT_FLOAT_EQ(yawOnly.Yaw, -110);
  EXPECT_EQ(yawOnly.Roll, 0);
}

}  // namespace

namespace {

// The console lines of a run that hold Text.
int Said(const std::vector<std::string>& Lines, const std::string& Text) {
  int n = 0;
  for (const std::string& line : Lines) n += line.find(Text) != std::string::npos;
  return n;
}

}  // namespace

// A second import with GameReady=1 keeps the map the designer changed since the first.
TEST_F(ModelsTest, GameReadyKeepsTheMapTheDesignerChanged) {
  WriteFile(dir / "morvane.ini", "OutputTexFormat=tga\r\nGameReady=1\r\n");
  platform.fileAnswer = Level();
  Dispatch("Import Level...");
  const std::string saved = dir / "game/GameData/base/maps/lvl.map";
  const std::string edited = ReadFile(saved) + "// a light of the designer's\n";
  WriteFile(saved, edited);
  host.Console.clear();
  Dispatch("Import Level...");
  EXPECT_EQ(ReadFile(saved), edited);
  EXPECT_TRUE(rtl::FileExists(dir / "game/GameData/base/maps/lvl_2.map"));
  EXPECT_EQ(Said(host.Console, "is no map Morvane wrote, or was changed since"), 1);
  // The model, Morvane's and unchanged, is replaced in place.
  EXPECT_FALSE(rtl::FileExists(dir / "game/GameData/base/models/lvl/box_2.md3"));
}

// The model files Morvane names: another's file at the name, a link there, a linked folder.
TEST_F(ModelsTest, ModelFilesOfOthersAndLinksAreLeftAlone) {
  struct Case {
    const char* what;
    void (*plant)(const testing_support::TempDir& Dir, const std::string& Folder);
    const char* model;  // the map's model key; "" when no misc_model is written
    const char* said;
  };
  const Case cases[] = {
      {"another's model",
       [](const testing_support::TempDir&, const std::string& Folder) {
         WriteFile(Folder + "/box.md3", "the designer's");
       },
       "models/lvl/box_2.md3", "is no model Morvane wrote"},
#ifndef _WIN32
      {"a link at the name",
       [](const testing_support::TempDir& Dir, const std::string& Folder) {
         std::filesystem::create_symlink(Dir / "outside/box.md3", Folder + "/box.md3");
       },
       "models/lvl/box_2.md3", "is a link"},
      {"a linked folder",
       [](const testing_support::TempDir& Dir, const std::string& Folder) {
         std::filesystem::remove(Folder);
         std::filesystem::create_symlink(Dir / "outside", Folder);
       },
       "", "is a link; no model is written through it"},
#endif
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir / "game");
    std::filesystem::remove_all(dir / "outside");
    WriteFile(dir.Folder("outside") + "/box.md3", "precious");
    c.plant(dir, dir.Folder("game/GameData/base/models/lvl"));
    const std::string before = ReadFile(dir / "game/GameData/base/models/lvl/box.md3");
    const auto run = testing_support::Morvane(
        {"import", Level(), "--game-dir", dir / "game", "--settings", dir / "cli.ini", "--map",
         dir / "lvl.map", "--entities", "--models", "--parent-mat"});
    ASSERT_EQ(run.code, 0) << c.what << run.err;
    EXPECT_EQ(ReadFile(dir / "outside/box.md3"), "precious") << c.what;
    EXPECT_EQ(ReadFile(dir / "game/GameData/base/models/lvl/box.md3"), before) << c.what;
    EXPECT_EQ(rtl::FindFiles(dir / "outside", "*").size(), 1u) << c.what;
    EXPECT_NE(run.out.find(c.said), std::string::npos) << c.what << run.out;
    const std::string map = ReadFile(dir / "lvl.map");
    if (*c.model) {
      EXPECT_NE(map.find(std::string("\"model\" \"") + c.model + "\""), std::string::npos)
          << c.what;
      EXPECT_TRUE(rtl::FileExists(dir / "game/GameData/base/" + c.model)) << c.what;
    } else {
      EXPECT_EQ(map.find("misc_model"), std::string::npos) << c.what;
    }
  }
}

// A model named as a Windows device (con.3do) gets a name that is a file on every system.
TEST_F(ModelsTest, AModelNamedAsADeviceGetsASafeName) {
#ifdef _WIN32
  // Windows itself cannot hold the loose file con.3do this test starts from; the renaming is
  // the same code on every system.
  GTEST_SKIP() << "no file named con.3do on Windows";
#endif
  std::string level = ModelLevel;
  level.replace(level.find("model3d=Box.3DO"), 15, "model3d=CON.3DO");
  WriteFile(dir / "lvl/jkl/dev.jkl", level);
  WriteFile(dir / "lvl/3do/con.3do", BoxModel);
  const auto run = testing_support::Morvane(
      {"import", dir / "lvl/jkl/dev.jkl", "--game-dir", dir.Folder("game"), "--settings",
       dir / "cli.ini", "--map", dir / "dev.map", "--entities", "--models", "--parent-mat"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Model 'CON.3DO' is saved as 'con_.md3'"), std::string::npos) << run.out;
  EXPECT_TRUE(rtl::FileExists(dir / "game/GameData/base/models/dev/con_.md3"));
  EXPECT_NE(ReadFile(dir / "dev.map").find("\"model\" \"models/dev/con_.md3\""), std::string::npos);
}
