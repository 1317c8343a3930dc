// The plug-in as the editor sees it: its exports, its texts, its function table, the settings
// file around every command and the console.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <vector>

#include "WineSupport.h"
#include "import/SettingsFile.h"
#include "win32/Platform_win32.h"

using namespace wine_support;

namespace {

// Closes the about box (a message box with an empty caption) as soon as it shows.
void CloseAboutBox(std::string* text) {
  HWND box = WaitForWindow("#32770", "");
  if (!box) return;
  if (HWND label = FindChildById(box, 0xFFFF)) *text = WindowText(label);
  PressButton(box, IDOK);
}

}  // namespace

TEST(PluginExports, TextsAndFunctionTable) {
  Plugin p;
  ASSERT_TRUE(p.Init && p.GetName && p.GetCommandList && p.GetFuncTable && p.Dispatch);
  EXPECT_STREQ(p.Init(nullptr, nullptr), "Morvane for JK2Radiant");
  EXPECT_STREQ(p.GetName(), "Morvane");
  EXPECT_STREQ(p.GetCommandList(),
               "About...;-;Configure...;Batch Convert Textures...;Import Level...;");
  void* first = p.GetFuncTable();
  void* second = p.GetFuncTable();
  EXPECT_EQ(first, second);
  uint32_t versionBits;
  std::memcpy(&versionBits, first, 4);
  EXPECT_EQ(versionBits, 0x3FC00000u);
  int32_t size;
  std::memcpy(&size, static_cast<char*>(first) + 4, 4);
  EXPECT_EQ(size, 156);
}

TEST(PluginDispatch, AboutBoxLeavesSettingsFileBesideTheDll) {
  Plugin p;
  p.Table();
  ASSERT_EQ(GetFileAttributesA(p.SettingsFile().c_str()), INVALID_FILE_ATTRIBUTES);
  std::string text;
  Driver d([&] { CloseAboutBox(&text); });
  p.Run("About...");
  d.Join();
  EXPECT_EQ(text.rfind("Morvane v1.2 for Morvane for JK2Radiant\n\n", 0), 0u) << text;
  EXPECT_NE(text.find("Written by "), std::string::npos);
  EXPECT_NE(text.find("Thanks to "), std::string::npos);
  EXPECT_NE(GetFileAttributesA(p.SettingsFile().c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadTextFile(p.SettingsFile()), "");
  EXPECT_TRUE(ConsoleLines().empty());
}

TEST(PluginDispatch, UnknownCommandsLeaveTheSettingsAsTheyWere) {
  Plugin p;
  p.Table();
  // Unknown lines, a repeated key and a line without "=" would all come back as they were: the
  // file is not written at all and keeps even its line ends.
  WriteTextFile(p.SettingsFile(), "Scale=2\n[junk]\nmy own line=1\rScale=3");
  for (const char* command : {"-", "about...", "About", "", "Import Level"}) {
    p.Run(command);
    EXPECT_EQ(ReadTextFile(p.SettingsFile()), "Scale=2\n[junk]\nmy own line=1\rScale=3") << command;
  }
  EXPECT_TRUE(ConsoleLines().empty());
  // A missing file is created, empty.
  DeleteFileA(p.SettingsFile().c_str());
  p.Run("-");
  EXPECT_EQ(ReadTextFile(p.SettingsFile()), "");
}

TEST(PluginDispatch, AnErrorIsExactlyOneFailedLineAndSettingsAreSaved) {
  Plugin p;
  p.Table();
  WriteTextFile(p.SettingsFile(), "keep=me\r\n");
  // "Import Level..." opens a file dialog; cancelling it is an error of the command.
  Driver d([] {
    if (HWND dlg = WaitForWindow("#32770", nullptr, 5000)) PressButton(dlg, IDCANCEL);
  });
  p.Run("Import Level...");
  d.Join();
  ASSERT_EQ(ConsoleLines().size(), 1u);
  EXPECT_EQ(ConsoleLines()[0].rfind("Morvane: Failed: ", 0), 0u) << ConsoleLines()[0];
  EXPECT_EQ(ConsoleLines()[0].back(), '\n');
  EXPECT_EQ(ReadTextFile(p.SettingsFile()), "keep=me\r\n");
}

TEST(PluginDispatch, ASettingsFileThatCannotBeWrittenIsReportedNotLost) {
  Plugin p;
  p.Table();
  WriteTextFile(p.SettingsFile(), "Scale=4\r\n");
  SetFileAttributesA(p.SettingsFile().c_str(), FILE_ATTRIBUTE_READONLY);
  p.Run("-");
  SetFileAttributesA(p.SettingsFile().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadTextFile(p.SettingsFile()), "Scale=4\r\n");
  // Either the file was replaced with identical text or the failure was reported on one line.
  EXPECT_LE(ConsoleLines().size(), 1u);
  if (!ConsoleLines().empty()) {
    EXPECT_EQ(ConsoleLines()[0].rfind("Morvane: Unable to save settings file '", 0), 0u);
  }
}

// The registry value the game installs, read through the same code that the DLL uses.
TEST(InstallPath, ReadFromTheRegistry) {
  const char* key =
      "Software\\LucasArts Entertainment Company LLC\\Star Wars JK II Jedi Outcast\\1.0";
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, "Install Path");
  EXPECT_EQ(ReadInstallPathFromRegistry(), "");
  SetRegistryString(HKEY_LOCAL_MACHINE, key, "Install Path", "C:\\Games\\Jedi Outcast");
  EXPECT_EQ(ReadInstallPathFromRegistry(), "C:\\Games\\Jedi Outcast");
  // Written by Wine's own "reg add", as an installer or a user would.
  std::string command = std::string("reg.exe add \"HKLM\\") + key +
                        "\" /v \"Install Path\" /t REG_EXPAND_SZ /d \"D:\\JK2 %GAME%\" /f";
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> line(command.begin(), command.end());
  line.push_back('\0');
  ASSERT_TRUE(
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(ReadInstallPathFromRegistry(), "D:\\JK2 %GAME%");  // taken as stored, not expanded
  SetRegistryDword(HKEY_LOCAL_MACHINE, key, "Install Path", 7);
  try {
    ReadInstallPathFromRegistry();
    ADD_FAILURE() << "a DWORD value was accepted";
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Install Path'");
  }
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, key, "Install Path");
}
