// The one table of import options: the settings, both hosts' flags, their help and the packages'
// list of keys all follow it.
#include "import/OptionTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/ImportFlags.h"
#include "import/ImportSettings.h"
#include "support/TestSupport.h"

namespace {

// Every on/off field of the options, the table's and the host's requests alike, in one list.
std::vector<bool> Fields(const TImportOptions& o) {
  return {o.AlignTextures, o.CleanSlabs,    o.SealLevel,      o.FitWorld,     o.ImportAdjoins,
          o.WaterVolumes,  o.KeepTexels,    o.WritesEntities, o.LevelPalette, o.SearchParentMat,
          o.GameLights,    o.ImportModels,  o.Shaders,        o.GameReady,    o.OverwriteTextures,
          o.TextureSizes,  o.TexturePixels, o.WriteTextures};
}

TImportOptions With(std::initializer_list<bool TImportOptions::*> On) {
  TImportOptions o;
  for (bool TImportOptions::*field : On) o.*field = true;
  return o;
}

// What "ready for the game" turns on, from the table.
TImportOptions GameReadyOptions(bool LookOnly) {
  TImportOptions o;
  o.GameReady = true;
  for (const TOptionRow& row : OptionTable())
    if (row.GameReady && (!LookOnly || (row.Look && row.Flag))) o.*row.Field = true;
  return o;
}

TArgs Call(std::initializer_list<const char*> Flags) {
  TArgs args;
  for (const char* flag : Flags) args.options[flag] = "1";
  return args;
}

std::vector<std::string> Said(const std::string& Text, TImportOptions* Read = nullptr) {
  rtl::TStringList settings;
  settings.SetText(Text.data(), Text.size());
  std::vector<std::string> said;
  const TImportOptions o =
      ReadOnOffSettings(settings, [&said](const std::string& line) { said.push_back(line); });
  if (Read) *Read = o;
  return said;
}

}  // namespace

TEST(OptionTable, EachRowIsOneOptionWithItsOwnFieldKeyAndFlag) {
  std::set<std::string> keys, flags, spoken;
  std::set<const void*> fields;
  for (const TOptionRow& row : OptionTable()) {
    TImportOptions probe;
    EXPECT_TRUE(fields.insert(&(probe.*row.Field)).second) << row.Flag;
    ASSERT_NE(row.Flag, nullptr);
    EXPECT_EQ(std::string(row.Flag).rfind("--", 0), 0u) << row.Flag;
    EXPECT_TRUE(flags.insert(row.Flag).second) << row.Flag;
    ASSERT_NE(row.Help, nullptr);
    EXPECT_NE(std::string(row.Help), "") << row.Flag;
    EXPECT_EQ(row.Key == nullptr, row.Spoken == nullptr) << row.Flag;
    if (row.Key) {
      EXPECT_TRUE(keys.insert(row.Key).second) << row.Key;
      EXPECT_TRUE(spoken.insert(row.Spoken).second) << row.Key;
    }
  }
  EXPECT_EQ(keys.count(GameReadyKey), 0u);
  EXPECT_EQ(flags.count(GameReadyFlag), 0u);
}

// Each setting and each flag turns on its own field and nothing else; a bad value is said in
// the setting's own words, in the table's order, GameReady last.
TEST(OptionTable, SettingsAndFlagsTurnOnTheirFieldAlone) {
  std::string allBad;
  std::vector<std::string> expected;
  for (const TOptionRow& row : OptionTable()) {
    TImportOptions only;
    only.*row.Field = true;
    const TArgs flag = Call({row.Flag});
    TImportOptions fromFlag;
    ApplyImportFlags(flag, false, fromFlag);
    EXPECT_EQ(Fields(fromFlag), Fields(only)) << row.Flag;
    TImportOptions previewed;
    ApplyImportFlags(flag, true, previewed);
    EXPECT_EQ(Fields(previewed), Fields(row.Look ? only : TImportOptions())) << row.Flag;
    if (!row.Key) continue;
    TImportOptions read;
    EXPECT_TRUE(Said(std::string(row.Key) + "=1\r\n", &read).empty()) << row.Key;
    EXPECT_EQ(Fields(read), Fields(only)) << row.Key;
    allBad += std::string(row.Key) + "=on\r\n";
    expected.push_back("Error reading " + std::string(row.Spoken) + " setting, using default: 0");
  }
  allBad += "GameReady=yes\r\n";
  expected.push_back("Error reading game ready setting, using default: 0");
  TImportOptions read;
  EXPECT_EQ(Said(allBad, &read), expected);
  EXPECT_EQ(Fields(read), Fields(TImportOptions()));
  // The words of the settings users know: the table does not change them.
  EXPECT_EQ(
      Said("AlignTextures=2\r\nSearchParentMat=x\r\n"),
      (std::vector<std::string>{"Error reading align textures setting, using default: 0",
                                "Error reading search parent mat setting, using default: 0"}));
}

// Both hosts agree on "ready for the game": the setting and the flag turn on the same options,
// and preview takes the part of them that changes what the level looks like.
TEST(OptionTable, GameReadyIsTheSameForTheSettingAndTheFlag) {
  TImportOptions fromSetting;
  EXPECT_TRUE(Said("GameReady=1\r\n", &fromSetting).empty());
  EXPECT_EQ(Fields(fromSetting), Fields(GameReadyOptions(false)));
  TImportOptions fromFlag, previewed;
  ApplyImportFlags(Call({GameReadyFlag}), false, fromFlag);
  ApplyImportFlags(Call({GameReadyFlag}), true, previewed);
  EXPECT_EQ(Fields(fromFlag), Fields(fromSetting));
  EXPECT_EQ(Fields(previewed), Fields(GameReadyOptions(true)));
  // What a map for the game has always gathered.
  EXPECT_EQ(Fields(fromFlag),
            Fields(With({&TImportOptions::WritesEntities, &TImportOptions::CleanSlabs,
                         &TImportOptions::AlignTextures, &TImportOptions::SealLevel,
                         &TImportOptions::FitWorld, &TImportOptions::ImportAdjoins,
                         &TImportOptions::Shaders, &TImportOptions::LevelPalette,
                         &TImportOptions::SearchParentMat, &TImportOptions::ImportModels,
                         &TImportOptions::WaterVolumes, &TImportOptions::GameLights,
                         &TImportOptions::GameReady})));
  EXPECT_FALSE(fromFlag.OverwriteTextures);
}

// The commands take and explain every flag of the table; preview takes its look flags.
TEST(OptionTable, TheCommandsTakeAndExplainEveryFlag) {
  const TCommandDef& import = ImportCommand();
  const std::string help = CommandHelp(import);
  auto takes = [](const TCommandDef& command, const std::string& flag) {
    TArgs out;
    std::string error;
    return ParseArgs({"PATH", flag}, 0, command.Options, out, error) == TParse::Ok &&
           out.Has(flag.c_str());
  };
  EXPECT_TRUE(takes(import, GameReadyFlag));
  for (const TOptionRow& row : OptionTable()) {
    EXPECT_TRUE(takes(import, row.Flag)) << row.Flag;
    EXPECT_NE(help.find("[" + std::string(row.Flag) + "]"), std::string::npos) << row.Flag;
    EXPECT_NE(help.find("\n  " + std::string(row.Flag) + " "), std::string::npos) << row.Flag;
    if (row.Key) {
      EXPECT_NE(help.find(std::string(row.Key) + ","), std::string::npos) << row.Key;
    }
#ifndef _WIN32
    EXPECT_EQ(takes(PreviewCommand(), row.Flag), row.Look) << row.Flag;
#endif
  }
  EXPECT_NE(help.find("GameReady."), std::string::npos);
}

// The packages' list of settings shows every key of the table, off by default, and GameReady's
// paragraph names each setting it turns on.
TEST(OptionTable, ThePackagesListEveryKey) {
  const std::string list =
      testing_support::ReadFile(std::string(MORVANE_SOURCE_DIR) + "/cmake/packaging/settings.txt");
  ASSERT_FALSE(list.empty());
  const size_t gameReady = list.find("\nGameReady=0\n");
  ASSERT_NE(gameReady, std::string::npos);
  size_t end = list.find("\n", gameReady + 1);
  while (end != std::string::npos && end + 1 < list.size() && list[end + 1] == ' ')
    end = list.find("\n", end + 1);
  const std::string paragraph = list.substr(gameReady, end - gameReady);
  for (const TOptionRow& row : OptionTable()) {
    if (!row.Key) continue;
    EXPECT_NE(list.find("\n" + std::string(row.Key) + "=0\n"), std::string::npos) << row.Key;
    if (row.GameReady) {
      EXPECT_NE(paragraph.find(row.Key), std::string::npos) << row.Key;
    }
  }
}
