// morvane build from the command line: the sample built end to end with a real map compiler (when
// one is found), the stop after the map without one, and the game-ready map of import in the
// game's maps folder whether --game-ready or the setting asks for it.
#include <gtest/gtest.h>
#include <zip.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "package/Program.h"
#include "rtl/Files.h"
#include "support/CliRun.h"
#include "support/SampleImport.h"
#include "support/TestSupport.h"

using testing_support::Morvane;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::string Sample() { return std::string(MORVANE_SOURCE_DIR) + "/examples/sample/sample.gob"; }

// The compiler of the end-to-end test: the environment's MORVANE_Q3MAP2, else the build's.
std::string TestCompiler() {
  const char* given = std::getenv("MORVANE_Q3MAP2");
  const std::string path = given && *given ? given : MORVANE_Q3MAP2;
  return package::IsExecutable(path) ? path : std::string();
}

// The names of a BSP's shader lump: lump 1 of the header, 72-byte records of a 64-byte name.
std::vector<std::string> BspShaders(const std::string& Bsp) {
  std::vector<std::string> names;
  if (Bsp.size() < 8 + 18 * 8) return names;
  int32_t offset = 0, length = 0;
  std::memcpy(&offset, Bsp.data() + 8 + 8, 4);
  std::memcpy(&length, Bsp.data() + 8 + 12, 4);
  for (int32_t at = offset; at + 72 <= offset + length && at + 72 <= int32_t(Bsp.size()); at += 72)
    names.emplace_back(Bsp.c_str() + at);
  return names;
}

std::map<std::string, std::string> ReadPk3(const std::string& Path) {
  std::map<std::string, std::string> files;
  int error = 0;
  zip_t* archive = zip_open(Path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (!archive) {
    ADD_FAILURE() << Path << " does not open as a zip archive (" << error << ")";
    return files;
  }
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
    std::string data(static_cast<size_t>(st.size), '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    zip_fread(file, data.data(), st.size);
    zip_fclose(file);
    files[st.name] = data;
  }
  zip_close(archive);
  return files;
}

// PATH set to Value for the object's life.
class TPathFor {
 public:
  explicit TPathFor(const std::string& Value) {
    const char* old = std::getenv("PATH");
    had_ = old != nullptr;
    if (had_) old_ = old;
    ::setenv("PATH", Value.c_str(), 1);
  }
  ~TPathFor() {
    if (had_)
      ::setenv("PATH", old_.c_str(), 1);
    else
      ::unsetenv("PATH");
  }

 private:
  bool had_ = false;
  std::string old_;
};

}  // namespace

TEST(Build, TheSampleBecomesAPk3ThatHoldsWhatTheGameLoads) {
  const std::string compiler = TestCompiler();
  if (compiler.empty())
    GTEST_SKIP() << "no q3map2: set MORVANE_Q3MAP2 (or configure with -DMORVANE_Q3MAP2=PATH)";
  TempDir dir;
  WriteFile(dir / "m.ini", sample_import::Settings(Sample()) + "Q3Map2=" + compiler + "\r\n");
  const testing_support::TCliRun r =
      Morvane({"build", Sample(), "--entry", "sample", "--settings", dir / "m.ini", "--game-dir",
               dir / "game", "-o", dir / "out.pk3", "--fast"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  for (const char* stage : {"import", "bsp", "vis", "light", "bake", "arena", "levelshot", "pk3"})
    EXPECT_NE(r.out.find(std::string("build sample: ") + stage + " "), std::string::npos)
        << stage << "\n"
        << r.out;
  const std::string log = ReadFile(dir / "game/GameData/base/maps/sample.log");
  EXPECT_NE(log.find("-meta"), std::string::npos);
  EXPECT_EQ(log.find("Couldn't find image"), std::string::npos) << log;

  const std::map<std::string, std::string> files = ReadPk3(dir / "out.pk3");
  for (const auto& [name, bytes] : files) EXPECT_EQ(name, rtl::LowerCase(name));
  for (const char* name : {"maps/sample.bsp", "shaders/sample.shader", "scripts/sample.arena",
                           "levelshots/sample.jpg"})
    EXPECT_EQ(files.count(name), 1u) << name;
  EXPECT_EQ(files.at("scripts/sample.arena"),
            "{\nmap \"sample\"\nlongname \"sample\"\ntype \"single\"\n}\n");
  EXPECT_EQ(files.at("levelshots/sample.jpg").substr(0, 3), "\xFF\xD8\xFF");
  // Every texture the BSP names is an image of the archive or a shader of its script.
  const std::string script = files.at("shaders/sample.shader");
  const std::vector<std::string> shaders = BspShaders(files.at("maps/sample.bsp"));
  int textures = 0;
  for (const std::string& shader : shaders) {
    if (shader.rfind("textures/sample/", 0) != 0) continue;
    ++textures;
    const bool image = files.count(shader + ".tga") || files.count(shader + ".jpg");
    EXPECT_TRUE(image || script.find(shader + "\n{") != std::string::npos) << shader;
  }
  EXPECT_EQ(textures, 3) << "the BSP names the sample's floor, wall and sky";
}

TEST(Build, StopsAfterTheMapWithoutACompilerAndSaysWhereToGetOne) {
  TempDir dir;
  WriteFile(dir / "m.ini", sample_import::Settings(Sample()));
  ASSERT_TRUE(rtl::ForceDirectories(dir / "empty"));
  const TPathFor path(dir / "empty");
  // --entry takes the level's name alone, as the picker shows it.
  testing_support::TCliRun r =
      Morvane({"build", Sample(), "--entry", "SAMPLE", "--settings", dir / "m.ini", "--game-dir",
               dir / "game", "-o", dir / "out.pk3"});
  EXPECT_EQ(r.code, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("stopped after the map: no map compiler"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("--q3map2 PATH, the setting Q3Map2"), std::string::npos) << r.err;
  const std::string map = ReadFile(dir / "game/GameData/base/maps/sample.map");
  EXPECT_NE(map.find("info_player_deathmatch"), std::string::npos);
  EXPECT_FALSE(rtl::FileExists(dir / "out.pk3"));

  r = Morvane({"build", Sample(), "--settings", dir / "m.ini", "--game-dir", dir / "game",
               "--q3map2", dir / "m.ini"});
  EXPECT_EQ(r.code, 1);
  // The second import finds the first one's images and says so.
  EXPECT_NE(r.out.find("build sample: 3 images of an earlier import kept"), std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("--q3map2 names '" + dir / "m.ini" + "', which is no program"),
            std::string::npos)
      << r.err;
  // One archive for the levels of a container is a usage error only when it holds several.
  r = Morvane({"build", Sample(), "-o", Sample()});
  EXPECT_EQ(r.code, 2) << r.err;
}

TEST(CliImport, AMapReadyForTheGameGoesToTheGamesMapsFolderWithItsEntities) {
  TempDir dir;
  const std::string settings = sample_import::Settings(Sample());
  WriteFile(dir / "m.ini", settings);
  for (const char* game : {"g", "g2", "g3"}) ASSERT_TRUE(rtl::ForceDirectories(dir / game));
  // --game-ready without --map: where the plug-in saves it, marked as Morvane's.
  testing_support::TCliRun r = Morvane(
      {"import", Sample(), "--settings", dir / "m.ini", "--game-dir", dir / "g", "--game-ready"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  const std::string marked = ReadFile(dir / "g/GameData/base/maps/sample.map");
  ASSERT_EQ(marked.rfind("// Morvane map ", 0), 0u);
  const std::string flagged = marked.substr(marked.find('\n') + 1);
  EXPECT_NE(flagged.find("info_player_deathmatch"), std::string::npos);
  EXPECT_TRUE(rtl::FileExists(dir / "g/GameData/base/textures/sample/floor.tga"));

  // GameReady=1 is --game-ready, and GameFolder names the game's folder without --game-dir.
  WriteFile(dir / "m.ini", settings + "GameReady=1\r\nGameFolder=" + dir / "g2" + "\r\n");
  r = Morvane({"import", Sample(), "--settings", dir / "m.ini"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(ReadFile(dir / "g2/GameData/base/maps/sample.map"), marked);
  r = Morvane({"import", Sample(), "--settings", dir / "m.ini", "--map", dir / "s.map"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(ReadFile(dir / "s.map"), flagged);

  // Without either, the map stays the editor's brushes in the current folder's file.
  WriteFile(dir / "m.ini", settings);
  r = Morvane({"import", Sample(), "--settings", dir / "m.ini", "--game-dir", dir / "g3", "--map",
               dir / "plain.map"});
  ASSERT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_EQ(ReadFile(dir / "plain.map").find("info_player_deathmatch"), std::string::npos);
  EXPECT_FALSE(rtl::FileExists(dir / "g3/GameData/base/maps/sample.map"));
}
