#include "plugin/main.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "plugin/Platform.h"
#include "plugin/SettingsText.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

const char* const PluginDescription = "Morvane for JK2Radiant";
const char* const PluginName = "Morvane";
const char* const PluginCommandList =
    "About...;-;Configure...;Batch Convert Textures...;Import Level...;";
const char* const SettingsFileName = "morvane.ini";

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

namespace {

bool OnOffSetting(const char* key, const char* message) {
  const std::string value = Settings().Values(key);
  if (value == "1") return true;
  if (!value.empty() && value != "0") ConsoleMessage(message);
  return false;
}

}  // namespace

TImportOptions ReadImportOptions() {
  TImportOptions options;
  options.AlignTextures =
      OnOffSetting("AlignTextures", "Error reading align textures setting, using default: 0");
  options.CleanSlabs =
      OnOffSetting("CleanSlabs", "Error reading clean slabs setting, using default: 0");
  Platform().AdjustImportOptions(options);
  return options;
}

std::string GetInstallPath() { return Platform().GetInstallPath(); }

void Dispatch(const char* command) {
  if (g_Dispatching) {
    ConsoleMessage(std::string("Busy: \"") + (command ? command : "") +
                   "\" ignored, another command is still running");
    return;
  }
  g_Dispatching = true;
  std::string path;
  bool canSave = true;
  bool existed = false;
  rtl::TStringList settings;
  std::string readText;  // the lines as read, to tell whether the command changed any
  bool utf8Mark = false;
  try {
    path = SettingsPath();
    const rtl::TPathKind kind = rtl::PathKind(path);
    if (kind == rtl::TPathKind::File || kind == rtl::TPathKind::Other) {
      existed = true;
      // A FIFO or device is read as it comes, but never written: writing could block for ever
      // or reach somebody else.
      if (kind == rtl::TPathKind::Other) canSave = false;
      try {
        const TSettingsText text = DecodeSettingsText(
            kind == rtl::TPathKind::File ? rtl::ReadFileToString(path) : ReadSettingsStream(path));
        if (!text.NotText.empty()) {
          canSave = false;
          ConsoleMessage("Settings file '" + path + "' ignored: " + text.NotText);
        }
        utf8Mark = text.Utf8Mark;
        settings.SetText(text.Text);
        readText = settings.Text();
      } catch (const std::exception& e) {
        // Saving now would replace the user's file with an empty one: keep it untouched.
        canSave = false;
        ConsoleMessage("Unable to read settings file '" + path + "': " + e.what());
      }
    }
  } catch (const std::exception& e) {
    canSave = false;
    ConsoleMessage(std::string("Unable to read settings: ") + e.what());
  }

  {
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
  }

  // Lines written back as they were read are the file as it is: left alone it also keeps its
  // time, owner and line ends. A missing file is created, so that "Configure..." finds one.
  if (canSave && (!existed || settings.Text() != readText)) {
    try {
      rtl::WriteFileAtomic(path, EncodeSettingsText(settings.Text(), utf8Mark));
    } catch (const std::exception& e) {
      ConsoleMessage("Unable to save settings file '" + path + "': " + e.what());
    }
  }
  g_Dispatching = false;
}
