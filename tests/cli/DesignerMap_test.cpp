// What `morvane import` writes beyond the editor's brushes on request (--clean, --entities), and
// that without those requests the maps of the real levels stay exactly what they were.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "cli/Cli.h"
#include "rtl/Files.h"
#include "support/CleanImport.h"
#include "support/CliRun.h"
#include "support/EditorBrushCheck.h"
#include "support/JklText.h"
#include "support/SampleImport.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using TRun = testing_support::TCliRun;
using testing_support::Morvane;

std::string Hex(uint64_t h) {
  std::string hex;
  for (int shift = 60; shift >= 0; shift -= 4) hex += "0123456789abcdef"[(h >> shift) & 0xF];
  return hex;
}

// A square room floor with a repeated corner, a wall with a corner in line, and a surface whose
// corners all lie on one line.
jkl_text::TJklLevel UntidyLevel() {
  jkl_text::TJklLevel l;
  l.Vertices = {"0 0 0", "1 0 0", "1 1 0", "0 1 0", "0.5 0 0", "0 0 1", "1 0 1", "2 0 0"};
  l.Surfaces = {{0, 1, 1, 2, 3}, {0, 4, 1, 6, 5}, {0, 4, 1, 7}};
  return l;
}

}  // namespace

// The maps of every corpus level, imported with the default settings, are byte for byte those
// the import wrote before slabs could be cleaned or entities written; CleanSlabs=0 is the same.
TEST(CliDefaults, CorpusMapsAreUnchangedWithoutTheOptions) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  const std::map<std::string, std::string> digests = {
      {"Untitled", "68005ae5dbe9dba1"},       {"azulcity", "e75ee69d2cc4610c"},
      {"canyon_camera", "ebfd988e86135e13"},  {"deep", "5f60ddaf236e4cbc"},
      {"demo_2", "bcdb225fb946e027"},         {"desolation", "4b81bba0a77dfa0d"},
      {"fallenone", "c4c1998bbc8b811d"},      {"fragith", "b2b337380d139679"},
      {"goaldemo", "290cf6bed77c60d4"},       {"jmmcjk", "8bec3f29ffb2697e"},
      {"keytest", "87c2d783cead1f80"},        {"lagoon", "aebf004ec462ed99"},
      {"lop_sabers", "5975847fbd3dbedd"},     {"murkyfate", "73d8e8602810cf9a"},
      {"project", "dd4bbd1010cc4988"},        {"random", "1d0b78722cd5bc4f"},
      {"rotdoor1", "362285ed293acf53"},       {"round", "bd90dce5cab42965"},
      {"tropicalisland", "5818c02dc8437e68"}, {"vanilla", "b33b8d303b819029"},
      {"wayrest", "5371b29c9374230a"}};
  std::vector<std::string> levels;
  for (const std::string& f : testing_support::CorpusFiles("jkl", "*.jkl"))
    levels.push_back(rtl::JoinPath(rtl::JoinPath(corpus, "jkl"), f));
  const std::string more = rtl::JoinPath(corpus, rtl::NativePath("more/levels"));
  for (const auto& [name, digest] : digests) {
    const std::string path = rtl::JoinPath(more, rtl::NativePath(name + "/jkl/" + name + ".jkl"));
    if (rtl::FileExists(path)) levels.push_back(path);
  }
  TempDir dir;
  int compared = 0;
  for (const std::string& level : levels) {
    const std::string name = rtl::ChangeFileExt(rtl::ExtractFileName(level), "");
    auto expected = digests.find(name);
    if (expected == digests.end()) continue;  // a level added to the corpus later
    const bool explicitOff = compared % 2 == 1;
    WriteFile(dir / "s.ini", explicitOff ? "CleanSlabs=0\r\n" : "");
    TRun r = Morvane({"import", level, "--game-dir", dir.Folder("game"), "--settings",
                      dir / "s.ini", "--map", dir / "out.map"});
    ASSERT_EQ(r.code, 0) << name << "\n" << r.err;
    EXPECT_EQ(r.out.find("left out"), std::string::npos) << name;
    EXPECT_EQ(Hex(sample_import::Fnv1a(ReadFile(dir / "out.map"))), expected->second) << name;
    ++compared;
  }
  EXPECT_GE(compared, 11);
}

// --clean is CleanSlabs=1 for one run: the same map and console lines, and the setting is not
// stored; without either, the untidy surfaces make their slabs as before.
TEST(CliClean, CleanIsTheSettingForOneRun) {
  TempDir dir;
  WriteFile(dir / "untidy.jkl", UntidyLevel().Text());
  auto run = [&](const std::string& settings, const std::string& map, bool clean) {
    WriteFile(dir / "s.ini", settings);
    std::vector<std::string> args = {
        "import",     dir / "untidy.jkl", "--game-dir", dir.Folder("game"),
        "--settings", dir / "s.ini",      "--map",      dir / map};
    if (clean) args.push_back("--clean");
    return Morvane(args);
  };

  TRun flag = run("Scale=256\r\nBrushDepth=8\r\n", "flag.map", true);
  ASSERT_EQ(flag.code, 0) << flag.err;
  const std::string settingsAfter = ReadFile(dir / "s.ini");
  TRun setting = run("Scale=256\r\nBrushDepth=8\r\nCleanSlabs=1\r\n", "setting.map", false);
  ASSERT_EQ(setting.code, 0) << setting.err;
  TRun plain = run("Scale=256\r\nBrushDepth=8\r\n", "plain.map", false);
  ASSERT_EQ(plain.code, 0) << plain.err;

  EXPECT_EQ(settingsAfter.find("CleanSlabs"), std::string::npos) << settingsAfter;
  EXPECT_NE(flag.out.find("Morvane: 1 surfaces without area left out of the slabs\n"),
            std::string::npos)
      << flag.out;
  EXPECT_EQ(flag.out, setting.out);
  EXPECT_EQ(ReadFile(dir / "flag.map"), ReadFile(dir / "setting.map"));
  EXPECT_EQ(plain.out.find("left out"), std::string::npos);

  // Two clean slabs of six faces each; the editor builds every face of them. Without cleaning,
  // three slabs of 7, 7 and 6 faces, and the editor discards some.
  const auto clean = editor_check::ParseMapBrushes(ReadFile(dir / "flag.map"));
  ASSERT_EQ(clean.size(), 2u);
  for (const auto& brush : clean) {
    EXPECT_EQ(brush.size(), 6u);
    const auto r = editor_check::CheckBrush(brush);
    EXPECT_EQ(r.Duplicates + r.NoPolygon, 0);
  }
  const auto raw = editor_check::ParseMapBrushes(ReadFile(dir / "plain.map"));
  ASSERT_EQ(raw.size(), 3u);
  EXPECT_EQ(raw[0].size(), 7u);
  EXPECT_EQ(raw[1].size(), 7u);
  EXPECT_EQ(raw[2].size(), 6u);
  EXPECT_GT(editor_check::CheckMap(ReadFile(dir / "plain.map")).Duplicates, 0);

  // The help names the switch and the setting.
  TRun help = Morvane({"import", "--help"});
  EXPECT_NE(help.out.find("--clean"), std::string::npos);
  EXPECT_NE(help.out.find("CleanSlabs"), std::string::npos);
}

// The digest that the DLL must match under Wine with CleanSlabs=1.
TEST(CliClean, CorpusLevelGivesTheSharedDigest) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  TempDir dir;
  WriteFile(dir / "s.ini", clean_import::Settings);
  TRun r = Morvane({"import", rtl::JoinPath(corpus, rtl::NativePath(clean_import::Level)),
                    "--clean", "--game-dir", dir.Folder("game"), "--settings", dir / "s.ini",
                    "--map", dir / "out.map"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find(clean_import::LeftOutLine), std::string::npos) << r.out;
  const std::string map = ReadFile(dir / "out.map");
  EXPECT_EQ(editor_check::ParseMapBrushes(map).size(), static_cast<size_t>(clean_import::Brushes));
  EXPECT_EQ(clean_import::Digest(map), clean_import::ExpectedDigest);
}
