// `morvane import` making a map a game's compiler seals: --seal, --fit-world, things outside
// every sector, --game-ready and the plug-in's GameReady setting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "support/CliRun.h"
#include "support/JklText.h"
#include "support/TestSupport.h"

using testing_support::Morvane;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// One sector: the box [0, x] x [0, y] x [0, z] in level units, its surfaces facing in.
jkl_text::TJklLevel Room(const std::string& x, const std::string& y, const std::string& z) {
  jkl_text::TJklLevel l;
  for (int v = 0; v < 8; ++v)
    l.Vertices.push_back((v & 1 ? x : "0") + " " + (v & 2 ? y : "0") + " " + (v & 4 ? z : "0"));
  l.Surfaces = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  return l;
}

// The largest coordinate size on the map's face lines.
double LargestCoordinate(const std::string& map) {
  std::istringstream in(map);
  double largest = 0;
  for (std::string word; in >> word;) {
    char* end = nullptr;
    const double v = std::strtod(word.c_str(), &end);
    if (end != word.c_str() && *end == 0) largest = std::max(largest, std::fabs(v));
  }
  return largest;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

// A level 300 units long passes the edge at Scale 256: standard error says so by default, a
// console line with --seal, and --fit-world imports it at Scale 128.
TEST(CliSeal, TheWorldsEdge) {
  TempDir dir;
  WriteFile(dir / "long.jkl", Room("300", "0.5", "0.5").Text());
  struct TCase {
    const char* flag;
    const char* console;  // "" for none
    bool warned;          // the standard-error line
  };
  const std::string fits = "the largest Scale that fits is 128";
  for (const TCase c : {TCase{"", "", true}, TCase{"--seal", "fits is 128\n", true},
                        TCase{"--fit-world", "fits is 128, used for this import\n", false}}) {
    WriteFile(dir / "s.ini", "");
    std::vector<std::string> args = {
        "import",     dir / "long.jkl", "--game-dir", dir.Folder("game"),
        "--settings", dir / "s.ini",    "--map",      dir / "l.map"};
    if (*c.flag) args.push_back(c.flag);
    const auto r = Morvane(args);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.find("world's edge") != std::string::npos, *c.console != 0) << c.flag << r.out;
    if (*c.console) {
      EXPECT_NE(r.out.find(c.console), std::string::npos) << r.out;
    }
    EXPECT_EQ(r.err.find(fits + " (--fit-world)") != std::string::npos, c.warned) << r.err;
    EXPECT_EQ(LargestCoordinate(ReadFile(dir / "l.map")) <= 65536, !c.warned) << c.flag;
  }
}

// The entities take the Scale the brushes were made with: a light's origin and its range both
// at the fitted 128, not the range at the setting's 256.
TEST(CliSeal, FittedScaleReachesTheEntities) {
  TempDir dir;
  jkl_text::TJklLevel l = Room("300", "0.5", "0.5");
  l.Lights = {{"0 1 0.25 0.25 1 2"}};
  WriteFile(dir / "long.jkl", l.Text());
  WriteFile(dir / "s.ini", "");
  const auto r =
      Morvane({"import", dir / "long.jkl", "--game-dir", dir.Folder("game"), "--settings",
               dir / "s.ini", "--map", dir / "l.map", "--entities", "--fit-world"});
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string map = ReadFile(dir / "l.map");
  EXPECT_NE(map.find("\"classname\" \"light\"\n\"origin\" \"128 32 32\"\n\"light\" \"100\"\n"
                     "\"range\" \"256\"\n"),
            std::string::npos)
      << map.substr(map.rfind("{\n\"classname\""));
}

// With --entities, a thing and a light outside the level's one sector are left out, each named
// in a console line; the thing inside stays.
TEST(CliSeal, ThingsOutsideEverySectorAreLeftOut) {
  TempDir dir;
  jkl_text::TJklLevel l = Room("1", "1", "1");
  l.Things = {{"walkplayer", "0.5 0.5 0.1 0 0 0"}, {"ghost", "2 0.5 0.1 0 0 0"}};
  l.Lights = {{"0 0.5 0.5 0.5 1 1"}, {"1 0.5 0.5 -1 1 1"}};
  WriteFile(dir / "room.jkl", l.Text());
  const auto r = Morvane({"import", dir / "room.jkl", "--game-dir", dir.Folder("game"),
                          "--settings", dir / "s.ini", "--map", dir / "r.map", "--entities"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Morvane: Thing 1 (ghost) at (512 128 25.6000003814697) lies in no sector: "
                       "left out of the map\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Morvane: Light 1 at (128 128 -256) lies in no sector"), std::string::npos)
      << r.out;
  EXPECT_EQ(Count(r.out, "lies in no sector"), 2u);
  const std::string map = ReadFile(dir / "r.map");
  EXPECT_EQ(Count(map, "\"classname\" \"info_player_deathmatch\""), 1u);
  EXPECT_EQ(Count(map, "\"classname\" \"info_null\""), 0u);
  EXPECT_EQ(Count(map, "\"classname\" \"light\""), 1u);
}

// --game-ready seals: six detail slabs, structural caulk boxes around them, the player start;
// the setting GameReady=1 gives the editor the same brushes and worldspawn (it carries no
// entities).
TEST(CliSeal, GameReadyAndTheSetting) {
  TempDir dir;
  jkl_text::TJklLevel l = Room("1", "1", "1");
  l.Things = {{"walkplayer", "0.5 0.5 0.1 0 0 0"}};
  WriteFile(dir / "room.jkl", l.Text());
  WriteFile(dir / "s.ini", "");
  const auto flag = Morvane({"import", dir / "room.jkl", "--game-dir", dir.Folder("game"),
                             "--settings", dir / "s.ini", "--map", dir / "f.map", "--game-ready"});
  ASSERT_EQ(flag.code, 0) << flag.err;
  EXPECT_EQ(ReadFile(dir / "s.ini"), "");
  WriteFile(dir / "g.ini", "GameReady=1\r\n");
  const auto setting = Morvane({"import", dir / "room.jkl", "--game-dir", dir.Folder("game"),
                                "--settings", dir / "g.ini", "--map", dir / "g.map"});
  ASSERT_EQ(setting.code, 0) << setting.err;

  const std::string map = ReadFile(dir / "f.map");
  EXPECT_NE(flag.out.find("Morvane: 6 slabs made detail, sealed by "), std::string::npos)
      << flag.out;
  EXPECT_EQ(Count(map, " 134217728 0 0\n"), 36u);  // every face of the six slabs
  // The worldspawn's brushes: the entities after it are the player starts and the lights.
  std::string world = map.substr(0, map.find("}\n{\n\"classname\" \""));
  const size_t boxes = Count(world, "\n{\n") - 6;
  EXPECT_GT(boxes, 0u);
  EXPECT_EQ(Count(map, "system/caulk 0 0 0 0.5 0.5 0 0 0\n"), 6 * boxes);
  EXPECT_EQ(Count(map, "info_player_deathmatch"), 1u);
  EXPECT_EQ(Count(map, "info_player_start"), 1u);
  EXPECT_NE(world.find("\"_lightmapscale\" \"0.5\"\n"), std::string::npos);
  // The setting is the flag: the same map, entities included (a sealed map without its player
  // starts would leak).
  EXPECT_EQ(ReadFile(dir / "g.map"), map);
}

// The world's edge is that of what the map holds: drawn adjoins that --adjoins makes brushes are
// fitted too, and a thing at no finite place (never on the map) moves no edge ("reaches inf").
TEST(CliSeal, TheWorldsEdgeIsThatOfWhatTheMapHolds) {
  TempDir dir;
  jkl_text::TJklLevel window = Room("1", "1", "1");
  for (const char* v : {"300 0 0", "301 0 0", "301 1 0"}) window.Vertices.push_back(v);
  window.Surfaces.push_back({8, 9, 10});
  window.Adjoins = {-1, -1, -1, -1, -1, -1, 0};
  WriteFile(dir / "window.jkl", window.Text());
  jkl_text::TJklLevel far = Room("1", "1", "1");
  far.Things = {{"walkplayer", "3e38 0.5 0.1 0 0 0"}};  // beyond every float once scaled
  WriteFile(dir / "far.jkl", far.Text());
  WriteFile(dir / "s.ini", "");
  for (const auto& [level, flags] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"window", {"--adjoins", "--fit-world"}}, {"far", {}}, {"far", {"--entities"}}}) {
    std::vector<std::string> args = {
        "import",     dir / (level + ".jkl"), "--game-dir", dir.Folder("game"),
        "--settings", dir / "s.ini",          "--map",      dir / "w.map"};
    args.insert(args.end(), flags.begin(), flags.end());
    const auto r = Morvane(args);
    ASSERT_EQ(r.code, 0) << level << r.err << r.out;
    EXPECT_EQ(r.err.find("world's edge"), std::string::npos) << level << r.err;
    // The corners of the face lines, "( x y z )".
    std::istringstream map(ReadFile(dir / "w.map"));
    double largest = 0;
    for (std::string word; map >> word;)
      if (word == "(")
        for (int k = 0; k < 3 && map >> word; ++k)
          largest = std::max(largest, std::fabs(std::stod(word)));
    EXPECT_GT(largest, 0);
    EXPECT_LE(largest, 65536) << level;
  }
}

// --game-ready gives a level whose sectors hold no player start one, 25 units above the middle
// of its largest sector's floor, with one console line; a level with a single start gets an
// info_player_start beside it; a level with two keeps them as they are.
TEST(CliSeal, PlayerStartsForEveryLevel) {
  TempDir dir;
  struct TCase {
    std::vector<jkl_text::TJklThing> things;
    size_t deathmatch, single;
    const char* origin;  // of the info_player_start, "" for none
  };
  for (const TCase& c :
       {TCase{{{"ghost", "2 2 1 0 0 0"}}, 1, 1, "512 256 25"},
        TCase{{{"walkplayer", "1 0.5 0.1 0 30 0"}}, 1, 1, "256 128 25.6"},
        TCase{{{"walkplayer", "1 0.5 0.1 0 0 0"}, {"walkplayer", "3 0.5 0.1 0 0 0"}}, 2, 0, ""}}) {
    jkl_text::TJklLevel l = Room("4", "2", "1");
    l.Things = c.things;
    WriteFile(dir / "room.jkl", l.Text());
    WriteFile(dir / "s.ini", "");
    const auto r = Morvane({"import", dir / "room.jkl", "--game-dir", dir.Folder("game"),
                            "--settings", dir / "s.ini", "--map", dir / "r.map", "--game-ready"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string map = ReadFile(dir / "r.map");
    EXPECT_EQ(Count(map, "\"classname\" \"info_player_deathmatch\""), c.deathmatch) << map;
    EXPECT_EQ(Count(map, "\"classname\" \"info_player_start\""), c.single) << map;
    EXPECT_EQ(Count(r.out, "No player start lies in a sector: one added at (512 256 25)"),
              c.things[0].Template == "ghost" ? 1u : 0u)
        << r.out;
    if (*c.origin) {
      EXPECT_NE(map.find(std::string("\"info_player_start\"\n\"origin\" \"") + c.origin),
                std::string::npos)
          << map;
    }
  }
}
