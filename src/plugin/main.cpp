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

namespace {

// The about box names the release as "v<major>.<minor>" (the build's version, without its patch
// number) and the plug-in by its description.
std::string AboutText() {
  const std::string version = MORVANE_VERSION;
  const size_t minorEnd = version.find('.', version.find('.') + 1);
  return "Morvane v" + version.substr(0, minorEnd) + " for " + PluginDescription +
         "\n\n"
         "Written by \n"
         "The Morvane developers\n\n"
         "Thanks to \n"
         "The Jedi Knight editing community";
}

void About() { Platform().ShowMessage(AboutText(), ""); }

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

IPlatform& TPlugin::Platform() {
  if (!platform_) throw rtl::Exception("No platform is set");
  return *platform_;
}

void TPlugin::SetPlatform(std::unique_ptr<IPlatform> Owned) {
  ownedPlatform_ = std::move(Owned);
  platform_ = ownedPlatform_.get();
}

void TPlugin::SetPlatform(IPlatform* Lent) {
  ownedPlatform_.reset();
  platform_ = Lent;
}

rtl::TStringList& TPlugin::Settings() {
  if (!settings_) throw rtl::Exception("No settings are loaded");
  return *settings_;
}

rtl::TStringList* TPlugin::SwapSettings(rtl::TStringList* Current) {
  rtl::TStringList* previous = settings_;
  settings_ = Current;
  return previous;
}

IStatusWindow& TPlugin::OpenStatus() {
  status_.reset();  // one window at a time
  status_ = Platform().CreateStatusWindow();
  return *status_;
}

TPlugin& ThePlugin() {
  static TPlugin plugin;
  return plugin;
}

THostFuncTable* GetFuncTable() {
  THostFuncTable& table = ThePlugin().Table();
  table.Version = 1.5f;
  table.Size = HostFuncTableSize;
  return &table;
}

void ConsoleMessage(const std::string& Text) {
  std::string line = "Morvane: " + Text + "\n";
  if (IPlatform* platform = CurrentPlatform()) line = platform->EditorText(line);
  const THostFuncTable& table = ThePlugin().Table();
  // An editor that left the slot empty gets no console rather than a crash.
  if (table.ConsolePrint) table.ConsolePrint(line.c_str());
}

TSettingsScope::TSettingsScope(rtl::TStringList& settings)
    : previous_(ThePlugin().SwapSettings(&settings)) {}

TSettingsScope::~TSettingsScope() { ThePlugin().SwapSettings(previous_); }

rtl::TStringList& Settings() { return ThePlugin().Settings(); }

bool SettingsLoaded() { return ThePlugin().SettingsLoaded(); }

std::string SettingsPath() { return Platform().SettingsPath(); }

double GetScale() {
  return CachedSetting(ThePlugin().CachedScale(), "Scale", 256,
                       "Error reading scale factor setting, using default: ", true);
}

double GetBrushDepth() {
  return CachedSetting(ThePlugin().CachedDepth(), "BrushDepth", 8,
                       "Error reading brush depth setting, using default: ", true);
}

void ResetCachedSettings() {
  ThePlugin().CachedScale() = 0;
  ThePlugin().CachedDepth() = 0;
}

TSlabSettings CachedSlabSettings() {
  const double scale = ThePlugin().CachedScale(), depth = ThePlugin().CachedDepth();
  TSlabSettings slab;
  slab.Scale = scale != 0 ? TSlabNumber{scale, std::string(), false} : ReadScale(Settings());
  slab.Depth = depth != 0 ? TSlabNumber{depth, std::string(), false} : ReadBrushDepth(Settings());
  return slab;
}

void KeepSlabSettings(const TSlabSettings& Slab, bool ScaleUsed, bool DepthUsed) {
  double& scale = ThePlugin().CachedScale();
  double& depth = ThePlugin().CachedDepth();
  if (ScaleUsed && scale == 0) scale = Slab.Scale.Value;
  if (DepthUsed && depth == 0) depth = Slab.Depth.Value;
}

TImportRequest ReadImportRequest() {
  TImportRequest request = ImportRequestFromSettings(Settings(), ConsoleMessage);
  request.Slab = CachedSlabSettings();
  return request;
}

std::string GetInstallPath() { return Platform().GetInstallPath(); }

void Dispatch(const char* command) {
  TPlugin& plugin = ThePlugin();
  if (plugin.Dispatching) {
    ConsoleMessage(std::string("Busy: \"") + (command ? command : "") +
                   "\" ignored, another command is still running");
    return;
  }
  plugin.Dispatching = true;
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
  plugin.Dispatching = false;
}
