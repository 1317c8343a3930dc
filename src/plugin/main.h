// The plug-in's face towards the editor: the texts of the entry points, the function table, the
// dispatch of menu commands with the settings file loaded before and saved after each one, the
// console, and the settings that the commands read.
#pragma once

#include <string>

#include "brush/BrushConvert.h"
#include "brush/ImportOptions.h"
#include "plugin/QERadiant_Plugins.h"
#include "rtl/Classes.h"

extern const char* const PluginDescription;  // "Morvane for JK2Radiant"
extern const char* const PluginName;         // "Morvane"
extern const char* const PluginCommandList;  // the menu, each entry followed by ";"

// The table the editor fills; zero until then.
extern THostFuncTable FuncTable;

// Writes Version and Size and returns the table; the same address every time.
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

// The on/off settings of an import, read anew for each one (a value other than "1", "0" or empty
// is off, with one console line).
TImportOptions ReadImportOptions();

// The game's install folder from the registry, or the empty text.
std::string GetInstallPath();

// The commands.
void ImportLevel();
bool BatchConvertTextures();
