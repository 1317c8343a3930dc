// The dispatcher, the settings file around every command, and the cached numeric settings.
#include "plugin/main.h"

#include <gtest/gtest.h>

#include <array>

#include "rtl/Files.h"
#include "support/HeadlessPlatform.h"
#include "support/TestSupport.h"

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::vector<std::string> g_console;
void QERAPI RecordConsole(const char* text) { g_console.push_back(text); }

class PluginMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform.libraryPath = dir / "morvane.dll";
    SetPlatform(&platform);
    ThePlugin().Table() = THostFuncTable{};
    GetFuncTable()->ConsolePrint = RecordConsole;
    g_console.clear();
    ResetCachedSettings();
  }
  void TearDown() override {
    SetPlatform(nullptr);
    ThePlugin().Table() = THostFuncTable{};
    ResetCachedSettings();
  }
  std::string Ini() const { return dir / "morvane.ini"; }

  TempDir dir;
  THeadlessPlatform platform;
};

}  // namespace

TEST_F(PluginMainTest, ConsoleMessageAddsPrefixAndOneLineFeed) {
  ConsoleMessage("x");
  ASSERT_EQ(g_console.size(), 1u);
  EXPECT_EQ(g_console[0], "Morvane: x\n");
}

TEST_F(PluginMainTest, CommandsMatchExactlyAndAnUnchangedFileIsLeftAsItWas) {
  WriteFile(Ini(), "b=1\nunknown line\r\nb=2");
  Dispatch("about...");
  Dispatch("-");
  Dispatch("Configure");
  EXPECT_TRUE(platform.events.empty());
  // Its lines would be written back as they were: the file is not written at all, and keeps its
  // line ends.
  EXPECT_EQ(ReadFile(Ini()), "b=1\nunknown line\r\nb=2");

  Dispatch("About...");
  ASSERT_EQ(platform.events.size(), 1u);
  EXPECT_EQ(platform.events[0].rfind("message Morvane v1.2 for Morvane for JK2Radiant\n\n", 0), 0u);
  // The release it names is the build's: its version without the patch number.
  const std::string version = MORVANE_VERSION;
  const std::string release = version.substr(0, version.rfind('.'));
  EXPECT_EQ(platform.events[0].rfind("message Morvane v" + release + " for ", 0), 0u);

  Dispatch("Configure...");
  EXPECT_EQ(platform.events.back(), "shell-open " + Ini());
  EXPECT_TRUE(g_console.empty());
}

TEST_F(PluginMainTest, AnErrorBecomesOneFailedLine) {
  platform.fileAnswer = "";  // the file dialog is cancelled
  Dispatch("Import Level...");
  ASSERT_EQ(g_console.size(), 1u);
  EXPECT_EQ(g_console[0].rfind("Morvane: Failed: ", 0), 0u);
  EXPECT_TRUE(rtl::FileExists(Ini()));
}

TEST_F(PluginMainTest, NestedDispatchIsRefusedWithoutDisturbingTheRunningCommand) {
  WriteFile(Ini(), "keep=1\r\n");
  platform.onMessage = [](const std::string&) { Dispatch("About..."); };
  Dispatch("About...");
  ASSERT_EQ(g_console.size(), 1u);
  EXPECT_EQ(g_console[0],
            "Morvane: Busy: \"About...\" ignored, another command is still running\n");
  EXPECT_EQ(ReadFile(Ini()), "keep=1\r\n");
  platform.onMessage = nullptr;
  Dispatch("About...");  // and the next command runs normally
  EXPECT_EQ(g_console.size(), 1u);
}

TEST_F(PluginMainTest, SettingsThatCannotBeSavedAreReportedOnce) {
  // A folder in the file's place: nothing can replace it.
  ASSERT_TRUE(rtl::ForceDirectories(Ini()));
  Dispatch("-");
  ASSERT_EQ(g_console.size(), 1u);
  EXPECT_EQ(g_console[0].rfind("Morvane: Unable to save settings file '" + Ini() + "'", 0), 0u);
  EXPECT_TRUE(rtl::DirectoryExists(Ini()));
}

TEST_F(PluginMainTest, ScaleAndBrushDepthAreReadOnceAndCached) {
  rtl::TStringList s;
  s.SetText("scale=2.5\nBrushDepth=16\n");
  {
    TSettingsScope scope(s);
    EXPECT_EQ(GetScale(), 2.5);
    EXPECT_EQ(GetBrushDepth(), 16.0);
  }
  s.SetText("Scale=3\nBrushDepth=4\n");
  TSettingsScope scope(s);
  EXPECT_EQ(GetScale(), 2.5);  // kept until the library is loaded again
  EXPECT_EQ(GetBrushDepth(), 16.0);
  EXPECT_TRUE(g_console.empty());
}

TEST_F(PluginMainTest, BadScaleGivesDefaultAndOneMessage) {
  for (const char* text : {"", "Scale =3\nBrushDepth= 1,5\n", "Scale=2,5\nBrushDepth=abc\n"}) {
    ResetCachedSettings();
    g_console.clear();
    rtl::TStringList s;
    s.SetText(text);
    TSettingsScope scope(s);
    EXPECT_EQ(GetScale(), 256.0) << text;
    EXPECT_EQ(GetScale(), 256.0);
    EXPECT_EQ(GetBrushDepth(), 8.0);
    EXPECT_EQ(GetBrushDepth(), 8.0);
    ASSERT_EQ(g_console.size(), 2u) << text;
    EXPECT_EQ(g_console[0], "Morvane: Error reading scale factor setting, using default: 256\n");
    EXPECT_EQ(g_console[1], "Morvane: Error reading brush depth setting, using default: 8\n");
  }
}

// A Scale of 0 or less would flatten or mirror every brush: it gets the default and the setting's
// line, as text that is no number does. (It used to be taken, and 0 read again at every call.)
// So does a BrushDepth of 0 or less: slabs without volume, which an editor drops (it used to be
// taken).
TEST_F(PluginMainTest, ScaleOfZeroOrLessGivesTheDefault) {
  for (const char* text : {"Scale=0\n", "Scale=-0.0\n", "Scale=-2\n"}) {
    ResetCachedSettings();
    g_console.clear();
    rtl::TStringList s;
    s.SetText(text);
    TSettingsScope scope(s);
    EXPECT_EQ(GetScale(), 256.0) << text;
    EXPECT_EQ(GetScale(), 256.0) << text;
    EXPECT_EQ(g_console,
              std::vector<std::string>{
                  "Morvane: Error reading scale factor setting, using default: 256\n"})
        << text;
  }
  ResetCachedSettings();
  g_console.clear();
  rtl::TStringList s;
  s.SetText("BrushDepth=0\nScale=1e-3\n");
  TSettingsScope scope(s);
  EXPECT_EQ(GetBrushDepth(), 8.0);
  EXPECT_EQ(GetScale(), 1e-3);
  EXPECT_EQ(g_console, std::vector<std::string>{
                           "Morvane: Error reading brush depth setting, using default: 8\n"});
}

// A UTF-8 mark is passed over (and kept when the file is written again); UTF-16 or a NUL byte
// makes the file no settings text: one line, nothing read, nothing written back. The mark used
// to hide the first key, UTF-16 was read as garbage and the lines after a NUL vanished.
TEST_F(PluginMainTest, SettingsFilesAsEditorsSaveThem) {
  const std::string mark = "\xEF\xBB\xBFScale=2\r\n", utf16("\xFF\xFES\0=\0\x32\0", 8),
                    nul("Scale=2\r\n\0", 10);
  for (const auto& [bytes, after, said] : std::vector<std::array<std::string, 3>>{
           {mark, mark + "Seen=1\r\n", ""},
           {utf16, utf16, "ignored: it is UTF-16 text; save it as ANSI or UTF-8\n"},
           {nul, nul, "ignored: it holds a NUL byte at offset 9 and is no text file\n"}}) {
    g_console.clear();
    WriteFile(Ini(), bytes);
    std::string scale;
    platform.onMessage = [&scale](const std::string&) {
      scale = Settings().Values("Scale");
      Settings().SetValue("Seen", "1");
    };
    Dispatch("About...");
    EXPECT_EQ(scale, said.empty() ? "2" : "");
    EXPECT_EQ(g_console, said.empty() ? std::vector<std::string>{}
                                      : std::vector<std::string>{"Morvane: Settings file '" +
                                                                 Ini() + "' " + said});
    EXPECT_EQ(ReadFile(Ini()), after);
  }
}

TEST_F(PluginMainTest, OnOffImportSettingsAndTheHostsChoice) {
  rtl::TStringList settings;
  settings.SetText("aligntextures=1\r\nCleanSlabs=yes\r\n");
  TSettingsScope scope(settings);
  TImportOptions options = ReadImportRequest().Options;
  EXPECT_TRUE(options.AlignTextures);
  EXPECT_FALSE(options.CleanSlabs);
  ASSERT_EQ(g_console.size(), 1u);
  EXPECT_EQ(g_console[0], "Morvane: Error reading clean slabs setting, using default: 0\n");

  // "0" and a missing key are off without a word.
  settings.SetText("AlignTextures=0\r\n");
  options = ReadImportRequest().Options;
  EXPECT_FALSE(options.AlignTextures || options.CleanSlabs);
  EXPECT_EQ(g_console.size(), 1u);
  EXPECT_EQ(settings.Text(), "AlignTextures=0\r\n");  // nothing is stored
}
