// The plug-in's face towards the editor: the texts of the entry points, the function table, the
// dispatch of menu commands with the settings file loaded before and saved after each one, the
// console, and the settings that the commands read.
#pragma once

#include <memory>
#include <string>

#include "brush/BrushConvert.h"
#include "import/ImportOptions.h"
#include "import/Pipeline.h"
#include "plugin/Platform.h"
#include "plugin/QERadiant_Plugins.h"
#include "rtl/Classes.h"

extern const char* const PluginDescription;  // "Morvane for JK2Radiant"
extern const char* const PluginName;         // "Morvane"
extern const char* const PluginCommandList;  // the menu, each entry followed by ";"

// Everything the library keeps between two calls of the editor: the function table it fills,
// the platform, the settings of the running command and the numbers read from them once, the
// status window of the running import. The editor's entry points carry no context, so there is
// one, ThePlugin(), made on first use.
class TPlugin {
 public:
  TPlugin() = default;
  TPlugin(const TPlugin&) = delete;
  TPlugin& operator=(const TPlugin&) = delete;

  // The table the editor fills; zero until then.
  THostFuncTable& Table() { return table_; }

  // Raises when no platform is set.
  IPlatform& Platform();
  // A platform the plug-in keeps for its life (the DLL's own), or one a host or test lends it
  // (nullptr: none).
  void SetPlatform(std::unique_ptr<IPlatform> Owned);
  void SetPlatform(IPlatform* Lent);
  // The platform when one is set, else nullptr.
  IPlatform* CurrentPlatform() const { return platform_; }

  // The settings of the running command; raises when no command runs.
  rtl::TStringList& Settings();
  bool SettingsLoaded() const { return settings_ != nullptr; }
  // Makes Current the running command's settings and returns the previous ones.
  rtl::TStringList* SwapSettings(rtl::TStringList* Current);

  // Scale and BrushDepth as read once per library life; 0: not read yet.
  double& CachedScale() { return scale_; }
  double& CachedDepth() { return depth_; }

  // The status window of the running import, opened hidden; nullptr when no import runs.
  IStatusWindow& OpenStatus();
  void CloseStatus() { status_.reset(); }
  IStatusWindow* Status() const { return status_.get(); }

  // Set while a command runs: the editor may call again from a window the command opened.
  bool Dispatching = false;

 private:
  THostFuncTable table_{};
  std::unique_ptr<IPlatform> ownedPlatform_;
  IPlatform* platform_ = nullptr;
  rtl::TStringList* settings_ = nullptr;
  double scale_ = 0;
  double depth_ = 0;
  std::unique_ptr<IStatusWindow> status_;
};

TPlugin& ThePlugin();

// Writes Version and Size and returns the plug-in's table; the same address every time.
THostFuncTable* GetFuncTable();

// Runs one menu command: loads the settings, runs the command, turns any error into one
// "Failed: " console line, saves the settings. Never lets an error escape. A call made while
// another command is still running (the about box has no owner) is refused with a console line.
void Dispatch(const char* command);

// "Morvane: " + Text + line feed, to the editor's console.
void ConsoleMessage(const std::string& Text);

// The settings of the running command. Raises when no command runs.
rtl::TStringList& Settings();
bool SettingsLoaded();

// Makes a settings list the current one for its lifetime, as Dispatch does around a command;
// hosts and tests use it to run a command's routines directly.
class TSettingsScope {
 public:
  explicit TSettingsScope(rtl::TStringList& settings);
  ~TSettingsScope();
  TSettingsScope(const TSettingsScope&) = delete;
  TSettingsScope& operator=(const TSettingsScope&) = delete;

 private:
  rtl::TStringList* previous_;
};

// The settings file beside the library.
std::string SettingsPath();

// Read once per library life and then kept; a bad or missing value gives the default and one
// console line.
double GetScale();
double GetBrushDepth();
// Forget the cached numbers (the library being loaded anew); for hosts and tests.
void ResetCachedSettings();
// Scale and BrushDepth for an import, as GetScale and GetBrushDepth would give them now, but
// nothing said or kept yet: the import says a note where it first needs the number, and
// KeepSlabSettings then keeps the numbers it used.
TSlabSettings CachedSlabSettings();
void KeepSlabSettings(const TSlabSettings& Slab, bool ScaleUsed, bool DepthUsed);

// The request of an import from the settings, read anew for each one, once: the on/off settings
// (a value other than "1", "0" or empty is off, with one console line) and GameReady among them,
// the numbers as cached.
TImportRequest ReadImportRequest();

// The game's install folder from the registry, or the empty text.
std::string GetInstallPath();

// The commands.
void ImportLevel();
bool BatchConvertTextures();
