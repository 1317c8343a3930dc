// A level that plays: a door and a lift driven by their frames (the door by its cog too), a
// pickup and an actor written as the JK2 entities that play their parts, and the map compiled
// where a compiler is found.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "rtl/Files.h"
#include "support/CliRun.h"
#include "support/EditorHostTest.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// One cube-shaped sector, 2 units wide, and the things.
const char* const Level =
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
    "Section: cogs\nWorld cogs 1\n0: 00_door.cog 1 4 3\nend\n"
    "Section: TEMPLATES\nWorld templates 9\n"
    "_decor none type=cog collide=1 move=path\n_structure _decor collide=3\n"
    "_actor none type=actor collide=1\n_powerup none type=item collide=1\n"
    "walkplayer _actor type=player\n"
    "block _structure model3d=cube.3do soundclass=med_elev.snd\n"
    "bryarpistol _powerup model3d=cube.3do cog=pow_bryar.cog\n"
    "stormtroop _actor model3d=cube.3do cog=actor_st.cog\n"
    "lamp _decor model3d=cube.3do\nend\n"
    "SECTION: THINGS\nWorld things 7\n"
    "0: walkplayer p 1 1 0.5 0 0 0 0\n"
    "1: block door 1 1 1 0 0 0 0 numframes=2 frame=(1/1/1:0/0/0) frame=(1.5/1/1:0/0/0)\n"
    "2: block lift 0.5 0.5 0.5 0 90 0 0 numframes=3 frame=(.5/.5/.5:0/90/0) "
    "frame=(.5/.5/1:0/90/0) frame=(1/.5/1:0/90/0)\n"
    "3: bryarpistol gun 1.5 1.5 0.2 0 0 0 0\n"
    "4: stormtroop trooper 1.5 0.5 0.2 0 0 0 0\n"
    "5: lamp swing 0.5 1.5 1.5 0 0 0 0 numframes=2 frame=(.5/1.5/1.5:0/0/0) "
    "frame=(.5/1.5/1.5:10/0/0)\n"
    "6: block catwalk 1.5 1.5 1.5 0 0 0 0\n"
    "end\n";

// The door's cog: its first value the door, then its speed and its wait.
const char* const DoorCog =
    "symbols\nmessage activated\nthing door0 linkid=1\nflex movespeed=8.0\n"
    "flex sleeptime=2.0\nend\ncode\nactivated:\n  MoveToFrame(door0, 1, movespeed);\nend\n";

// A cube 0.2 units wide around its origin.
const char* const CubeModel =
    "3DO 2.1\nMATERIALS 1\n0: wall.mat\nRADIUS .2\nINSERT OFFSET 0 0 0\n"
    "GEOSETS 1\nGEOSET 0\nMESHES 1\nMESH 0\nNAME cube\n"
    "VERTICES 8\n0: -.1 -.1 -.1\n1: .1 -.1 -.1\n2: .1 .1 -.1\n3: -.1 .1 -.1\n"
    "4: -.1 -.1 .1\n5: .1 -.1 .1\n6: .1 .1 .1\n7: -.1 .1 .1\n"
    "TEXTURE VERTICES 1\n0: 0 0\nVERTEX NORMALS\n0: 0 0 1\n1: 0 0 1\n2: 0 0 1\n3: 0 0 1\n"
    "4: 0 0 1\n5: 0 0 1\n6: 0 0 1\n7: 0 0 1\n"
    "FACES 6\n0: 0 0x0 4 3 1 0 4 0,0 3,0 2,0 1,0\n1: 0 0x0 4 3 1 0 4 4,0 5,0 6,0 7,0\n"
    "2: 0 0x0 4 3 1 0 4 0,0 1,0 5,0 4,0\n3: 0 0x0 4 3 1 0 4 2,0 3,0 7,0 6,0\n"
    "4: 0 0x0 4 3 1 0 4 1,0 2,0 6,0 5,0\n5: 0 0x0 4 3 1 0 4 0,0 4,0 7,0 3,0\n"
    "FACE NORMALS\n0: 0 0 -1\n1: 0 0 1\n2: 0 -1 0\n3: 0 1 0\n4: 1 0 0\n5: -1 0 0\n"
    "HIERARCHY NODES 1\n0: 0x0 0x1 0 -1 -1 -1 0 0 0 0 0 0 0 0 0 0 cube\n";

// The entity blocks of a map after its worldspawn, each from its class name to the next one.
std::vector<std::string> Entities(const std::string& Map) {
  std::vector<std::string> out;
  const std::string head = "{\n\"classname\" \"";
  for (size_t at = Map.find(head, 1); at != std::string::npos;) {
    const size_t next = Map.find(head, at + 1);
    out.push_back(
        Map.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2));
    at = next;
  }
  return out;
}

const std::string* WithClass(const std::vector<std::string>& Entities, const std::string& Class) {
  for (const std::string& e : Entities)
    if (e.rfind("\"classname\" \"" + Class + "\"", 0) == 0) return &e;
  return nullptr;
}

std::string Key(const std::string& Entity, const std::string& Name) {
  const std::string head = "\"" + Name + "\" \"";
  const size_t at = Entity.find(head);
  if (at == std::string::npos) return "(none)";
  return Entity.substr(at + head.size(), Entity.find('"', at + head.size()) - at - head.size());
}

class PlayLevelTest : public EditorHostTest {
 protected:
  void SetUp() override {
    EditorHostTest::SetUp();
    for (const char* folder : {"lvl/jkl", "lvl/3do", "lvl/mat", "lvl/cog"})
      rtl::ForceDirectories(dir / folder);
    WriteFile(dir / "lvl/jkl/lvl.jkl", Level);
    WriteFile(dir / "lvl/3do/cube.3do", CubeModel);
    WriteFile(dir / "lvl/cog/00_door.cog", DoorCog);
    WriteFile(dir / "cli.ini", "OutputTexFormat=tga\r\n");
  }
  testing_support::TCliRun Import(const std::string& Map, const std::vector<std::string>& Flags) {
    std::vector<std::string> args = {"import",     rtl::NativePath(dir / "lvl/jkl/lvl.jkl"),
                                     "--game-dir", dir / "game",
                                     "--settings", dir / "cli.ini",
                                     "--map",      Map};
    args.insert(args.end(), Flags.begin(), Flags.end());
    return testing_support::Morvane(args);
  }
};

TEST_F(PlayLevelTest, DoorsLiftsPickupsAndActorsBecomeTheEntitiesThatPlayTheirParts) {
  const std::string mapFile = dir / "game/GameData/base/maps/lvl.map";
  rtl::ForceDirectories(dir / "game/GameData/base/maps");
  const auto run = Import(mapFile, {"--entities", "--models", "--parent-mat", "--play"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("Morvane: Things that play: 1 doors, 1 trains, 1 pickups, 1 actors, 0 "
                         "team entities\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Morvane: 1 things stay as they were: its frames turn it\n"),
            std::string::npos);
  const std::vector<std::string> e = Entities(ReadFile(mapFile));

  // The door: 128 units along +X, the cube 51.2 wide, so a lip of 51.2 - 128; the cog's speed
  // (4 level units a second) and wait; one box brush, the cube's bounds, in the clip texture.
  const std::string* door = WithClass(e, "func_door");
  ASSERT_NE(door, nullptr);
  EXPECT_EQ(Key(*door, "model2"), "models/lvl/cube.md3");
  EXPECT_EQ(Key(*door, "origin"), "256 256 256");
  EXPECT_EQ(Key(*door, "angle"), "0");
  EXPECT_NEAR(std::stod(Key(*door, "lip")), -76.8, 1e-3);
  EXPECT_EQ(Key(*door, "speed"), "1024");
  EXPECT_EQ(Key(*door, "wait"), "3");
  EXPECT_NE(door->find("\n{\n( 230.4 230.4 230.4 ) ( 230.4 281.6 230.4 ) ( 230.4 256 256 ) "
                       "system/clip 0 0 0 0.5 0.5 0 0 0\n"),
            std::string::npos)
      << *door;

  // The lift: a train through its three frames, in a loop; turned, so its model is turned too.
  const std::string* lift = WithClass(e, "func_train");
  ASSERT_NE(lift, nullptr);
  EXPECT_EQ(Key(*lift, "model2"), "models/lvl/cube_2.md3");
  EXPECT_TRUE(rtl::FileExists(dir / "game/GameData/base/models/lvl/cube_2.md3"));
  EXPECT_EQ(Key(*lift, "target"), "thing2_frame0");
  EXPECT_EQ(Key(*lift, "speed"), "(none)");  // no cog drives it: the game's own speed
  const char* const corners[][3] = {{"thing2_frame0", "thing2_frame1", "128 128 128"},
                                    {"thing2_frame1", "thing2_frame2", "128 128 256"},
                                    {"thing2_frame2", "thing2_frame0", "256 128 256"}};
  size_t found = 0;
  for (const std::string& entity : e)
    for (const auto& c : corners)
      if (Key(entity, "targetname") == c[0]) {
        ++found;
        EXPECT_EQ(Key(entity, "classname"), "path_corner");
        EXPECT_EQ(Key(entity, "target"), c[1]);
        EXPECT_EQ(Key(entity, "origin"), c[2]);
      }
  EXPECT_EQ(found, 3u);

  const std::string* gun = WithClass(e, "weapon_blaster_pistol");
  ASSERT_NE(gun, nullptr);
  EXPECT_EQ(Key(*gun, "origin"), "384 384 51.2");
  const std::string* trooper = WithClass(e, "NPC_Stormtrooper");
  ASSERT_NE(trooper, nullptr);
  EXPECT_EQ(Key(*trooper, "angles"), "0 90 0");  // facing as the thing faced
  // What stays a model: the swinging lamp at rest, and the block that never moves, clipped
  // though its sound class names a lift.
  int models = 0, clipped = 0;
  for (const std::string& entity : e) {
    models += Key(entity, "classname") == "misc_model";
    clipped += Key(entity, "classname") == "misc_model" && Key(entity, "spawnflags") == "2";
  }
  EXPECT_EQ(models, 2);
  EXPECT_EQ(clipped, 1);

  // Without --play the same import places them all as models.
  const auto plain = Import(dir / "plain.map", {"--entities", "--models", "--parent-mat"});
  ASSERT_EQ(plain.code, 0);
  const std::string text = ReadFile(dir / "plain.map");
  for (const char* absent : {"func_", "path_corner", "NPC_", "weapon_"})
    EXPECT_EQ(text.find(absent), std::string::npos) << absent;
}

// The map compiles, and the compiled entities hold the movers as submodels of their own.
TEST_F(PlayLevelTest, TheMapCompilesWithItsMoversAsSubmodels) {
#ifdef _WIN32
  GTEST_SKIP() << "the compile check runs in the native build, beside the compiler";
#endif
  std::string q3map2 = std::getenv("Q3MAP2") ? std::getenv("Q3MAP2") : "";
  if (q3map2.empty())
    q3map2 = rtl::JoinPath(MORVANE_SOURCE_DIR, rtl::NativePath("../tools/q3build/install/q3map2"));
  if (!rtl::FileExists(q3map2)) GTEST_SKIP() << "no q3map2 (set Q3MAP2)";
  const std::string maps = dir / "game/GameData/base/maps";
  rtl::ForceDirectories(maps);
  const auto run = Import(maps + "/lvl.map", {"--game-ready"});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::string command = "\"" + q3map2 + "\" -game jk2 -fs_basepath \"" +
                              dir / "game/GameData" + "\" -bsp \"" + maps + "/lvl.map\" >\"" +
                              dir / "q3map2.log" + "\" 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadFile(dir / "q3map2.log");
  const std::string bsp = ReadFile(maps + "/lvl.bsp");
  ASSERT_GT(bsp.size(), 16u);
  int32_t offset = 0, length = 0;  // the entity lump comes first
  std::memcpy(&offset, bsp.data() + 8, 4);
  std::memcpy(&length, bsp.data() + 12, 4);
  ASSERT_LE(static_cast<size_t>(offset) + static_cast<size_t>(length), bsp.size());
  const std::string entities = bsp.substr(static_cast<size_t>(offset), static_cast<size_t>(length));
  for (const char* expected :
       {"\"classname\" \"func_door\"", "\"classname\" \"func_train\"", "\"model\" \"*1\"",
        "\"model\" \"*2\"", "\"classname\" \"NPC_Stormtrooper\"", "\"classname\" \"path_corner\""})
    EXPECT_NE(entities.find(expected), std::string::npos) << expected << "\n" << entities;
}

}  // namespace
