// The things and editor lights of a level as point entities of the .map (--entities).
#include "import/MapEntities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <tuple>

#include "brush/BrushTestSupport.h"
#include "cli/Cli.h"
#include "rtl/Files.h"
#include "support/JklText.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"

using namespace brush_test;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

const double kDegree = 3.14159265358979323846 / 180;

void AddThing(LevelBuilder& b, const std::string& name, TVector3 origin, float pitch, float yaw,
              float roll) {
  auto t = std::make_unique<TEntityRec>();
  t->Name = name;
  t->Origin = origin;
  t->Pitch = pitch;
  t->Yaw = yaw;
  t->Roll = roll;
  b.Level.Things.AddObject(name, std::move(t));
}

// The level's light table reads "tag x y z intensity range".
void AddLight(LevelBuilder& b, TVector3 position, float intensity, float range) {
  auto l = std::make_unique<TLightRec>();
  l->Tag = 1;
  l->Position = position;
  l->Value1 = intensity;
  l->Value2 = range;
  b.Level.Lights.push_back(std::move(l));
}

using TKeys = std::vector<std::pair<std::string, std::string>>;

// The look direction of a thing in the game and of an entity in the editor.
Vec GameLook(double pitch, double yaw) {
  return {-std::sin(yaw * kDegree) * std::cos(pitch * kDegree),
          std::cos(yaw * kDegree) * std::cos(pitch * kDegree), std::sin(pitch * kDegree)};
}
Vec EditorLook(double pitch, double yaw) {
  return {std::cos(yaw * kDegree) * std::cos(pitch * kDegree),
          std::sin(yaw * kDegree) * std::cos(pitch * kDegree), -std::sin(pitch * kDegree)};
}

}  // namespace

TEST(MapEntities, ThingsThenLightsInOrderWithTheirKeys) {
  LevelBuilder b;
  b.AddSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  AddThing(b, "WalkPlayer", {1, 2, 0.5f}, 0, 0, 0);
  AddThing(b, "ghost", {-0.25f, 0, 3}, 30, 90, 5);
  AddLight(b, {0.5f, 0.25f, 1}, 1.5f, 2);
  AddLight(b, {-1, 0, 0.125f}, 0.25f, 0.5f);
  TBrushLevel out;
  MakeBrushLevel(b.Level, out, nullptr);

  const std::vector<TMapEntity> e = MapEntities(b.Level, out, 256);
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[0].Keys, (TKeys{{"classname", "info_player_deathmatch"},
                              {"origin", "256 512 128"},
                              {"angles", "0 90 0"},
                              {"template", "WalkPlayer"}}));
  EXPECT_EQ(e[1].Keys, (TKeys{{"classname", "info_null"},
                              {"origin", "-64 0 768"},
                              {"angles", "-30 180 5"},
                              {"template", "ghost"}}));
  EXPECT_EQ(
      e[2].Keys,
      (TKeys{
          {"classname", "light"}, {"origin", "128 64 256"}, {"light", "150"}, {"range", "512"}}));
  EXPECT_EQ(
      e[3].Keys,
      (TKeys{{"classname", "light"}, {"origin", "-256 0 32"}, {"light", "25"}, {"range", "128"}}));

  EXPECT_EQ(EntityText(e[1]),
            "{\n\"classname\" \"info_null\"\n\"origin\" \"-64 0 768\"\n\"angles\" \"-30 180 5\"\n"
            "\"template\" \"ghost\"\n}\n");
  TMapEntity quoted;
  quoted.Keys = {{"template", "a\"b"}};
  EXPECT_EQ(EntityText(quoted), "{\n\"template\" \"a'b\"\n}\n");

  // A level without things or lights has no entities.
  LevelBuilder bare;
  bare.AddSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
  TBrushLevel none;
  MakeBrushLevel(bare.Level, none, nullptr);
  EXPECT_TRUE(MapEntities(bare.Level, none, 256).empty());
}

// A number that overflows a Single once scaled is an error naming the level and the culprit,
// never an "inf" in the map.
TEST(MapEntities, ValuesBeyondASingleAreErrors) {
  const std::string tail =
      " of level 'lvl' gives a value beyond the range of a map once scaled by 256";
  for (const auto& [thingX, range, message] : std::vector<std::tuple<float, float, std::string>>{
           {2e36f, 1, "Thing 0 'ghost' (1.99999992338063e+36 0 0)" + tail},
           {0, 3e36f, "Light 0 (0 0 0, 1 3.00000004352727e+36)" + tail}}) {
    LevelBuilder b;
    b.Level.Name = "lvl";
    b.AddSurface({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    AddThing(b, "ghost", {thingX, 0, 0}, 0, 0, 0);
    AddLight(b, {0, 0, 0}, 1, range);
    TBrushLevel out;
    MakeBrushLevel(b.Level, out, nullptr);
    EXPECT_THROW(
        try { MapEntities(b.Level, out, 256); } catch (const rtl::Exception& e) {
          EXPECT_EQ(e.what(), message);
          throw;
        },
        rtl::Exception);
  }
}

TEST(MapEntities, EntitiesFaceWhereTheirThingsLooked) {
  // The plain cases.
  struct TCase {
    float pitch, yaw, roll;
    float ePitch, eYaw, eRoll;
  };
  for (const TCase c :
       {TCase{0, 0, 0, 0, 90, 0}, TCase{0, 90, 0, 0, 180, 0}, TCase{0, 270, 0, 0, 0, 0},
        TCase{0, -90, 0, 0, 0, 0}, TCase{0, 300, 0, 0, 30, 0}, TCase{0, 720, 0, 0, 90, 0},
        TCase{45, 0, 10, -45, 90, 10}, TCase{-20, 180, -3, 20, 270, -3}}) {
    const TEditorAngles a = EditorAngles(c.pitch, c.yaw, c.roll);
    EXPECT_EQ(a.Pitch, c.ePitch) << c.pitch << " " << c.yaw;
    EXPECT_EQ(a.Yaw, c.eYaw) << c.pitch << " " << c.yaw;
    EXPECT_EQ(a.Roll, c.eRoll) << c.pitch << " " << c.yaw;
  }
  // Every direction: the entity looks where the thing looked, and its yaw is in [0, 360).
  for (float pitch : {-89.0f, -45.0f, -10.0f, 0.0f, 12.5f, 60.0f, 89.0f})
    for (float yaw = -720; yaw <= 720; yaw += 7.5f) {
      const TEditorAngles a = EditorAngles(pitch, yaw, 0);
      EXPECT_GE(a.Yaw, 0.0f);
      EXPECT_LT(a.Yaw, 360.0f);
      const Vec g = GameLook(pitch, yaw), e = EditorLook(a.Pitch, a.Yaw);
      EXPECT_NEAR(g.x, e.x, 1e-6) << pitch << " " << yaw;
      EXPECT_NEAR(g.y, e.y, 1e-6) << pitch << " " << yaw;
      EXPECT_NEAR(g.z, e.z, 1e-6) << pitch << " " << yaw;
    }
  // Just below a full turn, and numbers that are none.
  EXPECT_EQ(EditorAngles(0, std::nextafter(-90.0f, -100.0f), 0).Yaw, 0.0f);
  EXPECT_EQ(EditorAngles(NAN, INFINITY, NAN).Yaw, 90.0f);
  EXPECT_EQ(EditorAngles(NAN, 0, NAN).Pitch, 0.0f);
}

// The command-line host: --entities puts them after the worldspawn, without it there are none.
TEST(MapEntities, ImportWritesThemOnlyWhenAsked) {
  TempDir dir;
  jkl_text::TJklLevel l;
  // A box room [0, 1]^3 that holds every thing and light (those in no sector are left out).
  for (int v = 0; v < 8; ++v)
    l.Vertices.push_back(std::string(v & 1 ? "1" : "0") + (v & 2 ? " 1" : " 0") +
                         (v & 4 ? " 1" : " 0"));
  l.Surfaces = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  l.Things = {{"walkPLAYER", "0.5 0.25 0.125 0 -90 0"},
              {"ghost", "1 1 1 15 45 2"},
              {"walkplayer", "0 0 0 0 0 0"}};
  l.Lights = {{"3 1 0 0 2 0.75"}, {"4 0 1 0.5 0.5 1.25"}};
  WriteFile(dir / "room.jkl", l.Text());
  WriteFile(dir / "s.ini", "Scale=256\r\nBrushDepth=8\r\n");
  auto import = [&](const std::string& map, bool entities) {
    std::vector<std::string> args = {
        "morvane",    "import",      dir / "room.jkl", "--game-dir", dir.Folder("game"),
        "--settings", dir / "s.ini", "--map",          dir / map};
    if (entities) args.push_back("--entities");
    std::ostringstream out, err;
    EXPECT_EQ(RunCli(args, out, err), 0) << err.str();
  };
  import("with.map", true);
  import("without.map", false);

  const std::string with = ReadFile(dir / "with.map"), without = ReadFile(dir / "without.map");
  // The worldspawn first, exactly as without the option, then the entities.
  ASSERT_EQ(with.compare(0, without.size(), without), 0);
  EXPECT_EQ(with.substr(without.size()),
            "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"128 64 32\"\n"
            "\"angles\" \"0 0 0\"\n\"template\" \"walkPLAYER\"\n}\n"
            "{\n\"classname\" \"info_null\"\n\"origin\" \"256 256 256\"\n"
            "\"angles\" \"-15 135 2\"\n\"template\" \"ghost\"\n}\n"
            "{\n\"classname\" \"info_player_deathmatch\"\n\"origin\" \"0 0 0\"\n"
            "\"angles\" \"0 90 0\"\n\"template\" \"walkplayer\"\n}\n"
            "{\n\"classname\" \"light\"\n\"origin\" \"256 0 0\"\n\"light\" \"200\"\n"
            "\"range\" \"192\"\n}\n"
            "{\n\"classname\" \"light\"\n\"origin\" \"0 256 128\"\n\"light\" \"50\"\n"
            "\"range\" \"320\"\n}\n");
  size_t classnames = 0;
  for (size_t at = without.find("\"classname\""); at != std::string::npos;
       at = without.find("\"classname\"", at + 1))
    ++classnames;
  EXPECT_EQ(classnames, 1u);
  EXPECT_EQ(without.find("\"classname\" \"worldspawn\""), 2u);
}

namespace {

// The key/value lines of every entity of a .map text after the first (the worldspawn).
std::vector<TKeys> PointEntities(const std::string& text) {
  std::vector<TKeys> out;
  std::istringstream in(text);
  std::string line;
  int depth = 0, entity = -1;
  while (std::getline(in, line)) {
    if (line == "{") {
      if (depth++ == 0 && ++entity > 0) out.emplace_back();
    } else if (line == "}") {
      --depth;
    } else if (depth == 1 && entity > 0 && line.size() > 4 && line[0] == '"') {
      const size_t mid = line.find("\" \"");
      out.back().emplace_back(line.substr(1, mid - 1), line.substr(mid + 3, line.size() - mid - 4));
    }
  }
  return out;
}

std::string Get(const TKeys& keys, const std::string& key) {
  for (const auto& [k, v] : keys)
    if (k == key) return v;
  return "(none)";
}

// Reads "x y z" back into Singles.
TVector3 ReadPoint(const std::string& text) {
  std::istringstream in(text);
  double x = 0, y = 0, z = 0;
  in >> x >> y >> z;
  return MakeVector(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

}  // namespace

// Every thing and editor light of the real levels is in the map, in order, at the brush model's
// origin to the bit.
TEST(MapEntities, EveryThingAndLightOfTheCorpusLevels) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  WriteFile(dir / "s.ini", "Scale=256\r\nBrushDepth=8\r\n");
  long things = 0, lights = 0;
  for (const std::string& file : testing_support::CorpusFiles("jkl", "*.jkl")) {
    const std::string path = rtl::JoinPath(rtl::JoinPath(corpus, "jkl"), file);
    TJKLevel level;
    try {
      level.LoadFromFile(path);
    } catch (const std::exception&) {
      continue;  // a level the reader rejects has no map
    }
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"morvane", "import", path, "--game-dir", dir.Folder("game"), "--settings",
                      dir / "s.ini", "--map", dir / "out.map", "--entities"},
                     out, err),
              0)
        << file << "\n"
        << err.str();
    TBrushLevel model;
    {
      recording_host::TRecordingHost quiet;  // the console lines of the settings go here
      const THostFuncTable saved = ThePlugin().Table();
      quiet.Install(ThePlugin().Table());
      TImportOptions written;
      written.WritesEntities = true;  // marks the things and lights in no sector
      MakeBrushLevel(level, model, nullptr, written);
      ThePlugin().Table() = saved;
    }
    auto stray = [](const std::vector<int>& list, size_t i) {
      return std::find(list.begin(), list.end(), static_cast<int>(i)) != list.end();
    };
    const std::vector<TKeys> e = PointEntities(ReadFile(dir / "out.map"));
    const size_t thingsKept =
        static_cast<size_t>(model.Entities.Count()) - model.StrayThings.size();
    ASSERT_EQ(e.size(), thingsKept + model.Lights.size() - model.StrayLights.size()) << file;
    size_t n = 0;  // the next entity of the map
    for (int i = 0; i < model.Entities.Count(); ++i) {
      if (stray(model.StrayThings, static_cast<size_t>(i))) continue;
      const TEntityRec& m = *model.Entities.Objects(i);
      const TKeys& k = e[n++];
      EXPECT_EQ(Get(k, "classname"), m.Name) << file << " thing " << i;
      EXPECT_EQ(Get(k, "template"), level.Things.Strings(i)) << file << " thing " << i;
      const TVector3 o = ReadPoint(Get(k, "origin"));
      EXPECT_TRUE(o.X == m.Origin.X && o.Y == m.Origin.Y && o.Z == m.Origin.Z)
          << file << " thing " << i << ": " << Get(k, "origin");
      const TEditorAngles a = EditorAngles(m.Pitch, m.Yaw, m.Roll);
      EXPECT_EQ(ReadPoint(Get(k, "angles")).Y, a.Yaw) << file << " thing " << i;
      ++things;
    }
    for (size_t i = 0; i < model.Lights.size(); ++i) {
      if (stray(model.StrayLights, i)) continue;
      const TKeys& k = e[n++];
      EXPECT_EQ(Get(k, "classname"), "light");
      const TVector3 o = ReadPoint(Get(k, "origin"));
      const TVector3& p = model.Lights[i]->Position;
      EXPECT_TRUE(o.X == p.X && o.Y == p.Y && o.Z == p.Z) << file << " light " << i;
      // The level's table reads "intensity: range:".
      const TLightRec& source = *level.Lights[i];
      EXPECT_EQ(std::stof(Get(k, "light")), static_cast<float>(source.Value1 * 100.0))
          << file << " light " << i;
      EXPECT_EQ(std::stof(Get(k, "range")), static_cast<float>(256.0 * source.Value2))
          << file << " light " << i;
      ++lights;
    }
  }
  std::printf("corpus entities: %ld things, %ld lights\n", things, lights);
  EXPECT_GT(things, 100);
  EXPECT_GT(lights, 10);
}

// Lights that light nothing or whose fade a map cannot hold are left out with a line, not the
// whole import; a level no Scale can fit says so; settings misspelt or with blanks around "=".
TEST(MapEntities, SmallFaultsCostOnlyThemselvesWithALine) {
  TempDir dir;
  jkl_text::TJklLevel l;
  for (int v = 0; v < 8; ++v)
    l.Vertices.push_back(std::string(v & 1 ? "1" : "0") + (v & 2 ? " 1" : " 0") +
                         (v & 4 ? " 1" : " 0"));
  l.Surfaces = {{0, 1, 3, 2}, {4, 6, 7, 5}, {0, 4, 5, 1}, {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 5, 7, 3}};
  l.Lights = {
      {"1 0.5 0.5 0.5 1 1e-44"}, {"2 0.5 0.5 0.5 0 1"}, {"3 0.5 0.5 0.5 1 0"}, {"4 1 0 0 2 1"}};
  WriteFile(dir / "room.jkl", l.Text());
  WriteFile(dir / "s.ini", "GameRedy=1\r\nScale = 128\r\nBrushDepth=8\r\n");
  std::ostringstream out, err;
  ASSERT_EQ(
      RunCli({"morvane", "import", dir / "room.jkl", "--game-dir", dir.Folder("game"), "--settings",
              dir / "s.ini", "--map", dir / "room.map", "--entities", "--lights"},
             out, err),
      0)
      << err.str() << out.str();
  const std::string said = out.str();
  EXPECT_NE(said.find("Light 0 left out: its range 9.80909e-45 is too small"), std::string::npos)
      << said;
  EXPECT_NE(said.find("2 lights without a positive range or intensity left out"), std::string::npos)
      << said;
  EXPECT_NE(said.find("Unknown setting 'GameRedy' ignored"), std::string::npos) << said;
  // "Scale = 128" is Scale 128: the kept light stands at x = 128.
  EXPECT_NE(ReadFile(dir / "room.map").find("\"origin\" \"128 0 0\""), std::string::npos);

  // A corner a trillion units out: even the smallest Scale leaves the map beyond the edge.
  l.Vertices[7] = "1e12 1 1";
  l.Lights.clear();
  WriteFile(dir / "far.jkl", l.Text());
  std::ostringstream out2, err2;
  RunCli({"morvane", "import", dir / "far.jkl", "--game-dir", dir.Folder("game"), "--settings",
          dir / "s.ini", "--map", dir / "far.map", "--fit-world"},
         out2, err2);
  EXPECT_NE(err2.str().find("no Scale fits"), std::string::npos) << err2.str();
  EXPECT_EQ(err2.str().find("the largest Scale that fits is"), std::string::npos) << err2.str();
}
