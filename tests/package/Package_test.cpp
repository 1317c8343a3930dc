// The pieces of a built level: the arena script, the .pk3 and what goes into it, and the map
// compiler as morvane build finds, runs and reads it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <map>

#include "package/Arena.h"
#include "package/Compiler.h"
#include "package/Pk3.h"
#include "rtl/Files.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// Every entry of a zip archive's bytes, name to contents, read back through libzip.
std::map<std::string, std::string> Unzip(const std::string& Bytes) {
  std::map<std::string, std::string> files;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(Bytes.data(), Bytes.size(), 0, &error);
  zip_t* archive =
      source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
  if (!archive) {
    ADD_FAILURE() << "not a zip archive: " << zip_error_strerror(&error);
    if (source) zip_source_free(source);
    return files;
  }
  for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
    zip_stat_t st;
    zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
    std::string data(static_cast<size_t>(st.size), '\0');
    zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
    EXPECT_EQ(zip_fread(file, data.data(), st.size), static_cast<zip_int64_t>(st.size));
    zip_fclose(file);
    files[st.name] = data;
  }
  zip_close(archive);
  return files;
}

// A file with the folders above it.
void Put(const std::string& Path, const std::string& Bytes) {
  ASSERT_TRUE(rtl::ForceDirectories(rtl::ExtractFilePath(Path))) << Path;
  WriteFile(Path, Bytes);
}

void MakeProgram(const std::string& Path, const std::string& Script) {
  Put(Path, "#!/bin/sh\n" + Script);
  ASSERT_EQ(::chmod(Path.c_str(), 0755), 0);
}

}  // namespace

TEST(Arena, NamesTheMapAndTheGameTypesItsStartsFit) {
  const struct {
    int Starts;
    const char* Type;
  } cases[] = {{0, "single"}, {1, "single"}, {2, "ffa"}, {16, "ffa"}};
  for (const auto& c : cases)
    EXPECT_EQ(
        package::ArenaText("lagoon", "The \"Lagoon\"", c.Starts),
        std::string("{\nmap \"lagoon\"\nlongname \"The 'Lagoon'\"\ntype \"") + c.Type + "\"\n}\n")
        << c.Starts;
}

TEST(Pk3, EntriesAreLowerCaseAndWholeAndTheFirstOfACaseTwinWins) {
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7919 % 251);
  const std::vector<package::TPk3Entry> entries = {{"maps/Lagoon.bsp", big},
                                                   {"textures/Lagoon/Sand1.JPG", "jpeg"},
                                                   {"Textures/lagoon/sand1.jpg", "later twin"},
                                                   {"scripts/lagoon.arena", ""}};
  const std::map<std::string, std::string> files = Unzip(package::EncodePk3(entries));
  const std::map<std::string, std::string> expected = {{"maps/lagoon.bsp", big},
                                                       {"textures/lagoon/sand1.jpg", "jpeg"},
                                                       {"scripts/lagoon.arena", ""}};
  EXPECT_EQ(files, expected);
}

TEST(Pk3, WritesTheArchiveInOneStepAndLeavesTheOldOneOnAFailure) {
  TempDir dir;
  const std::string pk3 = dir / "x.pk3";
  package::WritePk3(pk3, {{"a.txt", "one"}});
  EXPECT_EQ(Unzip(ReadFile(pk3)), (std::map<std::string, std::string>{{"a.txt", "one"}}));
  // A folder where the archive would go is refused; nothing is left beside it.
  ASSERT_TRUE(rtl::ForceDirectories(dir / "folder.pk3"));
  EXPECT_ANY_THROW(package::WritePk3(dir / "folder.pk3", {{"a.txt", "two"}}));
  EXPECT_EQ(rtl::FindFiles(dir.Path(), "*").size(), 1u);
}

TEST(Pk3, TakesTheLevelsCompiledFilesTexturesAndOwnScriptsOnly) {
  TempDir dir;
  const std::string base = dir / "base";
  Put(dir / "base/maps/lvl.bsp", "IBSP");
  Put(dir / "base/maps/other.bsp", "other level");
  Put(dir / "base/Textures/lvl/Wall.jpg", "wall");
  Put(dir / "base/Textures/lvl/sky.tga", "sky");
  Put(dir / "base/Textures/lvl2/x.jpg", "another level's");
  Put(dir / "base/shaders/lvl.shader",
      "// Morvane shader script of level lvl, replaced when it is imported\nA");
  Put(dir / "base/shaders/lvl_2.shader",
      "// Morvane shader script of level lvl, replaced when it is imported\nB");
  Put(dir / "base/shaders/lvl2.shader",
      "// Morvane shader script of level lvl2, replaced when it is imported\nC");
  Put(dir / "base/shaders/common.shader", "textures/lvl/wall\n{\n}\n");
  Put(dir / "base/models/lvl/crate.md3", "baked into the BSP");
  std::map<std::string, std::string> got;
  for (const package::TPk3Entry& entry : package::LevelFiles(base, "lvl"))
    got[entry.Name] = entry.Bytes;
  const std::map<std::string, std::string> expected = {
      {"maps/lvl.bsp", "IBSP"},
      {"textures/lvl/Wall.jpg", "wall"},
      {"textures/lvl/sky.tga", "sky"},
      {"shaders/lvl.shader", ReadFile(dir / "base/shaders/lvl.shader")},
      {"shaders/lvl_2.shader", ReadFile(dir / "base/shaders/lvl_2.shader")}};
  EXPECT_EQ(got, expected);
  EXPECT_ANY_THROW(package::LevelFiles(base, "unbuilt"));
}

TEST(CompilerLog, CountsWarningsNamesUnfoundImagesOnceAndSeesALeak) {
  const std::string log =
      "--- LoadShaderInfo ---\n"
      "WARNING: Couldn't find image for shader textures/lvl/wall\r\n"
      "WARNING: Couldn't find image for shader textures/lvl/sky\n"
      "WARNING: Couldn't find image for shader textures/lvl/wall\n"
      "WARNING: Entity 3 (misc_model): Model not found\n"
      "a warning in lower case is no WARNING line? it is: counted\n"
      "******* leaked *******\n";
  const package::TLogCounts counts = package::ReadCompilerLog(log);
  EXPECT_EQ(counts.Warnings, 5);
  EXPECT_EQ(counts.Unfound, (std::vector<std::string>{"textures/lvl/wall", "textures/lvl/sky"}));
  EXPECT_TRUE(counts.Leaked);
  const package::TLogCounts clean = package::ReadCompilerLog("  12 total world brushes\n");
  EXPECT_EQ(clean.Warnings, 0);
  EXPECT_TRUE(clean.Unfound.empty());
  EXPECT_FALSE(clean.Leaked);
}

TEST(CompilerLog, TellsConvertedImagesTheCompilerMissedFromMissingMaterials) {
  TempDir dir;
  Put(dir / "base/Textures/lvl/Wall.JPG", "x");
  Put(dir / "base/Textures/lvl/floor.tga", "x");
  Put(dir / "base/Textures/lvl/gone.mat", "x");
  EXPECT_EQ(package::ConvertedButUnfound({"textures/lvl/wall", "textures/lvl/gone",
                                          "textures/lvl/floor", "textures/other/wall"},
                                         dir / "base"),
            (std::vector<std::string>{"textures/lvl/wall", "textures/lvl/floor"}));
}

TEST(Compiler, IsFoundByOptionThenSettingThenPath) {
  TempDir dir;
  MakeProgram(dir / "bin/q3map2", "exit 0\n");
  WriteFile(dir / "plain", "not a program");
  const std::string path = dir / "none" + ":" + dir / "bin";
  EXPECT_EQ(package::FindCompiler(dir / "bin/q3map2", "x", "").Where, "--q3map2");
  EXPECT_EQ(package::FindCompiler("", dir / "bin/q3map2", "").Where, "setting Q3Map2");
  const package::TCompilerFound onPath = package::FindCompiler("", "", path);
  EXPECT_EQ(onPath.Path, dir / "bin/q3map2");
  EXPECT_EQ(onPath.Where, "PATH");
  // A path given that is no program is said, never passed over for another.
  const package::TCompilerFound bad = package::FindCompiler(dir / "plain", "", path);
  EXPECT_TRUE(bad.Path.empty());
  EXPECT_NE(bad.Where.find("no program"), std::string::npos) << bad.Where;
  const package::TCompilerFound none = package::FindCompiler("", "", dir / "none");
  EXPECT_TRUE(none.Path.empty());
  EXPECT_NE(none.Where.find("--q3map2"), std::string::npos) << none.Where;
}

TEST(Compiler, AStageRunsWithItsArgumentsAndCountsOnlyItsOwnPartOfTheLog) {
  TempDir dir;
  MakeProgram(dir / "q3map2",
              "echo \"args: $*\"\n"
              "echo \"WARNING: Couldn't find image for shader textures/a/$1\" >&2\n"
              "exit \"$2\"\n");
  const std::string log = dir / "x.log";
  WriteFile(log, "WARNING: an earlier stage's\n");
  const package::TStageRun first =
      package::RunCompileStage(dir / "q3map2", {"bsp", {"one", "0"}}, log);
  EXPECT_EQ(first.Exit, 0) << first.Error;
  EXPECT_EQ(first.Counts.Warnings, 1);
  EXPECT_EQ(first.Counts.Unfound, std::vector<std::string>{"textures/a/one"});
  const package::TStageRun second =
      package::RunCompileStage(dir / "q3map2", {"vis", {"two", "3"}}, log);
  EXPECT_EQ(second.Exit, 3);
  EXPECT_EQ(second.Counts.Unfound, std::vector<std::string>{"textures/a/two"});
  EXPECT_NE(ReadFile(log).find("args: one 0\n"), std::string::npos) << ReadFile(log);
  const package::TStageRun missing = package::RunCompileStage(dir / "nothing", {"bsp", {}}, log);
  EXPECT_NE(missing.Exit, 0);
}

TEST(Compiler, StagesCompileTheMapThenVisAndLightItsBsp) {
  const std::vector<package::TCompileStage> full =
      package::CompileStages("/g/GameData/base/maps/x.map", {"/g/GameData", "/tmp/s"}, false);
  ASSERT_EQ(full.size(), 3u);
  const std::vector<std::string> common = {"-game",       "jk2",          "-fs_basepath",
                                           "/g/GameData", "-fs_basepath", "/tmp/s"};
  for (const package::TCompileStage& stage : full) {
    ASSERT_GT(stage.Args.size(), common.size());
    EXPECT_EQ(std::vector<std::string>(stage.Args.begin(), stage.Args.begin() + 6), common);
    EXPECT_EQ(stage.Args.back(),
              stage.Name == "bsp" ? "/g/GameData/base/maps/x.map" : "/g/GameData/base/maps/x.bsp");
  }
  EXPECT_EQ(full[0].Args[6], "-bsp");
  EXPECT_EQ(full[0].Args[7], "-meta");
  const std::vector<package::TCompileStage> fast =
      package::CompileStages("x.map", {"/g/GameData"}, true);
  EXPECT_EQ(fast[1].Args, (std::vector<std::string>{"-game", "jk2", "-fs_basepath", "/g/GameData",
                                                    "-vis", "-fast", "x.bsp"}));
  EXPECT_EQ(fast[2].Args, (std::vector<std::string>{"-game", "jk2", "-fs_basepath", "/g/GameData",
                                                    "-light", "-fast", "x.bsp"}));
}
