// The seam between the portable plug-in and everything that only Windows has: dialogs, windows,
// message boxes, the shell, the registry and the library's own path. The DLL implements it with
// Win32; the command-line host implements it from its arguments; tests script it. Portable code
// reaches Windows only through this interface.
#pragma once

#include <memory>
#include <string>

class TJKContainer;
namespace rtl {
class TStringList;
}

// The small window that shows the running import step and a progress bar.
class IStatusWindow {
 public:
  virtual ~IStatusWindow() = default;
  // Shows the window (not modal) and paints it at once.
  virtual void Show() = 0;
  // The step text, repainted at once (the import pumps no messages).
  virtual void SetStatus(const std::string& text) = 0;
  // Max = Count, then Position = Index.
  virtual void Progress(int Index, int Count) = 0;
};

class IPlatform {
 public:
  virtual ~IPlatform() = default;

  // Full path of the plug-in library (or of the host executable); the settings file lies beside it.
  virtual std::string LibraryPath() = 0;

  // The settings file: "morvane.ini" beside the library unless a host says otherwise.
  virtual std::string SettingsPath();

  // A modal file-open dialog; filter in the "Text|*.a;*.b|..." form. The chosen file must exist.
  // Returns the full path, or the empty text when the user cancelled.
  virtual std::string OpenFileDialog(const std::string& filter) = 0;

  // The entry picker: lists the keys of an opened container that begin with folder (an exact,
  // case-sensitive prefix) and returns the chosen key, or the empty text.
  virtual std::string SelectEntry(const TJKContainer& container, const std::string& folder) = 0;

  // The shell's folder browser; the chosen folder without a trailing delimiter, or empty.
  virtual std::string BrowseFolder(const std::string& title) = 0;

  // A message box with a single OK button; waits until it is closed.
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;

  // Carries out the shell verb "open" on a file; the result is not looked at.
  virtual void ShellOpen(const std::string& path) = 0;

  // The game's install folder from the registry, or the empty text. Raises
  // "Invalid data type for '%s'" when the value is not a string.
  virtual std::string GetInstallPath() = 0;

  // A new, hidden status window.
  virtual std::unique_ptr<IStatusWindow> CreateStatusWindow() = 0;

  // The modal batch texture converter; reads and writes its folder settings in settings.
  virtual bool ShowConvTexDialog(rtl::TStringList& settings) = 0;
};

// The platform that the plug-in's commands use; set once by the DLL, the command-line host or a
// test before any command runs.
IPlatform& Platform();
void SetPlatform(IPlatform* platform);
