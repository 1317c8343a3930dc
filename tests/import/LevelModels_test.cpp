// Which things of a level are drawn with a model, and how the map keeps them: the clip a
// misc_model carries ("spawnflags" "2") for what the player collides with.
#include "import/LevelModels.h"
#include "import/ResourceIndex.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "rtl/Files.h"
#include "support/TestSupport.h"

namespace {

// One sector (two surfaces suffice for the reader) and a thing per case; no model is on disk,
// so each thing's model goes missing, but what it would be placed with is decided first.
std::string LevelWith(const std::vector<std::string>& Templates,
                      const std::vector<std::string>& Things) {
  std::string t =
      "SECTION: MATERIALS\nWorld materials 1\n0: wall.mat\nend\n"
      "SECTION: GEORESOURCE\nWorld vertices 4\n0: 0 0 0\n1: 1 0 0\n2: 1 1 0\n3: 0 1 0\n"
      "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 2\n"
      "0: 0 0x4 0 4 3 0 -1 0 3 0,0 1,0 2,0 1 1 1\n1: 0 0x4 0 4 3 0 -1 0 3 0,0 2,0 3,0 1 1 1\n"
      "0: 0 0 1\n1: 0 0 1\n"
      "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 2\n"
      "Section: TEMPLATES\nWorld templates " +
      std::to_string(Templates.size()) + "\n";
  for (const std::string& line : Templates) t += line + "\n";
  t += "end\nSECTION: THINGS\nWorld things " + std::to_string(Things.size()) + "\n";
  for (size_t i = 0; i < Things.size(); ++i)
    t += std::to_string(i) + ": " + Things[i] + " " + Things[i] + " .5 .5 .5 0 0 0 0\n";
  return t + "end\n";
}

}  // namespace

// The player collides with a model's faces when its template says so (collide=3) and when it is
// part of the level's build (a "_structure" in its chain, whatever its collide); a decoration
// that collides as a sphere does not get the faces' clip, and what moves in the game never does.
TEST(LevelModels, StructuresAndFaceCollidersKeepTheirClip) {
  const std::vector<std::string> templates = {
      "_decor none type=cog collide=1",
      "_structure _decor thingflags=0x8",
      "beam _structure model3d=beam.3do",
      "crate _decor model3d=crate.3do collide=3",
      "plant _decor model3d=plant.3do",
      "door _structure model3d=door.3do soundclass=med_elev.snd",
  };
  struct TCase {
    const char* thing;
    bool clip, moves;
  };
  const TCase cases[] = {
      {"beam", true, false}, {"crate", true, false}, {"plant", false, false}, {"door", true, true}};
  std::vector<std::string> things;
  for (const TCase& c : cases) things.push_back(c.thing);
  TJKLevel level;
  const std::string text = LevelWith(templates, things);
  level.LoadFromText(text.data(), text.size());
  testing_support::TempDir dir;
  std::vector<std::string> console;
  TResourceIndex resources(rtl::NativePath(dir / "lvl.jkl"), {""});
  const TLevelModels models =
      FindLevelModels(level, resources, TImportOptions{},
                      [&console](const std::string& s) { console.push_back(s); });
  ASSERT_EQ(models.Things.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(models.Things[i].Clip, cases[i].clip) << cases[i].thing;
    EXPECT_EQ(models.Things[i].Moves, cases[i].moves) << cases[i].thing;
    EXPECT_EQ(models.Things[i].State, TThingModelState::Missing) << cases[i].thing;
  }
  EXPECT_EQ(console.size(), std::size(cases));  // one line per model not found
}
