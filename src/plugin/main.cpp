#include "plugin/main.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "import/ImportSettings.h"
#include "import/SettingsFile.h"
#include "plugin/Platform.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

const char* const PluginDescription = "Morvane for JK2Radiant";
const char* const PluginName = "Morvane";
const char* const PluginCommandList =
    "About...;-;Configure...;Batch Convert Textures...;Import Level...;";

THostFuncTable FuncTable;

namespace {

rtl::TStringList* g_Settings = nullptr;
bool g_Dispatching = false;
double g_Scale = 0;
double g_BrushDepth = 0;

const char* const AboutText =
    "Morvane v1.2 for Morvane for JK2Radiant\n\n"
    "Written by \n"
    "The Morvane developers\n\n"
    "Thanks to \n"
    "The Jedi Knight editing community";

void About() { Platform().ShowMessage(AboutText, ""); }

void Configure() { Platform().ShellOpen(SettingsPath()); }

void RunCommand(const char* command) {
  if (std::strcmp(command, "Import Level...") == 0)
    ImportLevel();
  else if (std::strcmp(command, "Batch Convert Textures...") == 0)
    BatchConvertTextures();
  else if (std::strcmp(command, "Configure...") == 0)
    Configure();
  else if (std::strcmp(command, "About...") == 0)
    About();
}

// Reads the value of a numeric setting once; 0 in the cache means "not read yet". The message is
// only built when the default is taken: the conversion asks for the value once per brush.
// A value beyond the range of a Double (such as 1e400) or, where Positive, one of 0 or less is
// as unusable as text that is no number: it would turn every coordinate into inf or nan.
double CachedSetting(double& cache, const char* key, double fallback, const char* message,
                     bool Positive) {
  if (cache != 0) return cache;
  double v;
  if (SettingsLoaded() && rtl::TryStrToFloat(Settings().Values(key), v) && std::isfinite(v) &&
      (!Positive || v > 0)) {
    cache = v;
  } else {
    cache = fallback;
    ConsoleMessage(std::string(message) + rtl::FloatToStr(fallback));
  }
  return cache;
}

}  // namespace

THostFuncTable* GetFuncTable() {
  FuncTable.Version = 1.5f;
  FuncTable.Size = HostFuncTableSize;
  return &FuncTable;
}

void ConsoleMessage(const std::string& Text) {
  std::string line = "Morvane: " + Text + "\n";
  // An editor that left the slot empty gets no console rather than a crash.
  if (FuncTable.ConsolePrint) FuncTable.ConsolePrint(line.c_str());
}

TSettingsScope::TSettingsScope(rtl::TStringList& settings) : previous_(g_Settings) {
  g_Settings = &settings;
}

TSettingsScope::~TSettingsScope() { g_Settings = previous_; }

rtl::TStringList& Settings() {
  if (!g_Settings) throw rtl::Exception("No settings are loaded");
  return *g_Settings;
}

bool SettingsLoaded() { return g_Settings != nullptr; }

std::string SettingsPath() { return Platform().SettingsPath(); }

double GetScale() {
  return CachedSetting(g_Scale, "Scale", 256,
                       "Error reading scale factor setting, using default: ", true);
}

double GetBrushDepth() {
  return CachedSetting(g_BrushDepth, "BrushDepth", 8,
                       "Error reading brush depth setting, using default: ", true);
}

void ResetCachedSettings() {
  g_Scale = 0;
  g_BrushDepth = 0;
}

TSlabSettings CachedSlabSettings() {
  TSlabSettings slab;
  slab.Scale = g_Scale != 0 ? TSlabNumber{g_Scale, std::string(), false} : ReadScale(Settings());
  slab.Depth = g_BrushDepth != 0 ? TSlabNumber{g_BrushDepth, std::string(), false}
                                 : ReadBrushDepth(Settings());
  return slab;
}

void KeepSlabSettings(const TSlabSettings& Slab, bool ScaleUsed, bool DepthUsed) {
  if (ScaleUsed && g_Scale == 0) g_Scale = Slab.Scale.Value;
  if (DepthUsed && g_BrushDepth == 0) g_BrushDepth = Slab.Depth.Value;
}

TImportOptions ReadImportOptions() { return ReadOnOffSettings(Settings(), ConsoleMessage); }

std::string GetInstallPath() { return Platform().GetInstallPath(); }

void Dispatch(const char* command) {
  if (g_Dispatching) {
    ConsoleMessage(std::string("Busy: \"") + (command ? command : "") +
                   "\" ignored, another command is still running");
    return;
  }
  g_Dispatching = true;
  WithSettingsFile(SettingsPath, ConsoleMessage, [command](rtl::TStringList& settings) {
    TSettingsScope scope(settings);
    try {
      RunCommand(command ? command : "");
    } catch (const std::bad_alloc&) {
      ConsoleMessage("Failed: Out of memory");
    } catch (const std::exception& e) {
      ConsoleMessage(std::string("Failed: ") + e.what());
    } catch (...) {
      ConsoleMessage("Failed: Unknown error");
    }
  });
  g_Dispatching = false;
}
