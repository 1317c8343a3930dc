// A platform without windows, for tests: every question a dialog would ask is answered from what
// the test set beforehand, and everything a window would show is handed to callbacks and
// recorded.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "plugin/Platform.h"

class THeadlessPlatform : public IPlatform {
 public:
  // What the dialogs answer.
  std::string libraryPath;
  std::string settingsPath;  // when set, the settings file instead of the one beside the library
  std::string fileAnswer;    // OpenFileDialog; empty = cancelled
  std::string folderAnswer;  // BrowseFolder; empty = cancelled
  std::string installPath;   // GetInstallPath
  // SelectEntry; when unset, the picker is cancelled.
  std::function<std::string(const TJKContainer&, const std::string& folder)> pickEntry;
  // ShowConvTexDialog; when unset, the dialog closes at once.
  std::function<bool(rtl::TStringList&)> convTexDialog;

  // What the windows would show.
  std::function<void(const std::string&)> onStatus;
  std::function<void(int, int)> onProgress;
  std::function<void(const std::string&)> onMessage;

  // Everything that happened, in order: "open-file FILTER", "pick FOLDER", "status-create",
  // "status-show", "status TEXT", "status-destroy", "message TEXT", "shell-open PATH",
  // "browse TITLE". Progress calls are counted, not recorded.
  std::vector<std::string> events;
  long progressCalls = 0;

  std::string LibraryPath() override { return libraryPath; }
  std::string SettingsPath() override;
  std::string OpenFileDialog(const std::string& filter) override;
  std::string SelectEntry(const TJKContainer& container, const std::string& folder) override;
  std::string BrowseFolder(const std::string& title) override;
  void ShowMessage(const std::string& text, const std::string& caption) override;
  void ShellOpen(const std::string& path) override;
  std::string GetInstallPath() override { return installPath; }
  std::unique_ptr<IStatusWindow> CreateStatusWindow() override;
  bool ShowConvTexDialog(rtl::TStringList& settings) override;
};
