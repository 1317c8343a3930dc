#include "import/ImportSettings.h"

#include <cmath>

#include "rtl/SysUtils.h"

namespace {

bool OnOff(const rtl::TStringList& Settings, const char* Key, const std::string& Message,
           const TConsoleProc& Console) {
  const std::string value = Settings.Values(Key);
  if (value == "1") return true;
  if (!value.empty() && value != "0" && Console) Console(Message);
  return false;
}

TSlabNumber Number(const rtl::TStringList& Settings, const char* Key, double Fallback,
                   const char* Message, bool Positive) {
  double v;
  if (rtl::TryStrToFloat(Settings.Values(Key), v) && std::isfinite(v) && (!Positive || v > 0))
    return TSlabNumber{v, std::string(), false};
  return TSlabNumber{Fallback, Message + rtl::FloatToStr(Fallback), false};
}

// The keys the hosts read beside the option table's: a line naming another is a key misspelt or
// of another program.
const char* const OtherKeys[] = {
    "Scale",        "BrushDepth", "NonVisTex",  "JKPalette",        "OutputTexFormat",
    "ResourceGobs", "ConvTexDir", "ConvTexGob", "ConvTexOutputDir", GameReadyKey,
    "GameFolder",   "Q3Map2"};

bool KnownKey(const std::string& Key) {
  for (const char* k : OtherKeys)
    if (rtl::SameText(Key, k)) return true;
  for (const TOptionRow& row : OptionTable())
    if (row.Key && rtl::SameText(Key, row.Key)) return true;
  return false;
}

void WarnUnknownKeys(const rtl::TStringList& Settings, const TConsoleProc& Console) {
  for (int i = 0; i < Settings.Count(); ++i) {
    const std::string& line = Settings[i];
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = rtl::Trim(line.substr(0, eq));
    // Comments and sections, as an .ini file may hold them, name no key.
    if (key.empty() || key[0] == ';' || key[0] == '#' || key[0] == '[') continue;
    const bool known = KnownKey(key);
    if (!known) Console("Unknown setting '" + key + "' ignored (misspelt?)");
  }
}

}  // namespace

TImportOptions ReadOnOffSettings(const rtl::TStringList& Settings, const TConsoleProc& Console) {
  if (Console) WarnUnknownKeys(Settings, Console);
  TImportOptions options;
  for (const TOptionRow& row : OptionTable())
    if (row.Key)
      options.*row.Field =
          OnOff(Settings, row.Key,
                "Error reading " + std::string(row.Spoken) + " setting, using default: 0", Console);
  if (OnOff(Settings, GameReadyKey, "Error reading game ready setting, using default: 0", Console))
    TurnOnGameReady(options);
  return options;
}

void TurnOnGameReady(TImportOptions& Options) {
  Options.GameReady = true;
  for (const TOptionRow& row : OptionTable())
    if (row.GameReady) Options.*row.Field = true;
}

bool IsGameReady(const TImportOptions& Options) {
  for (const TOptionRow& row : OptionTable())
    if (row.GameReady && !(Options.*row.Field)) return false;
  return true;
}

TSlabNumber ReadScale(const rtl::TStringList& Settings) {
  return Number(Settings, "Scale", 256,
                "Error reading scale factor setting, using default: ", true);
}

TSlabNumber ReadBrushDepth(const rtl::TStringList& Settings) {
  return Number(Settings, "BrushDepth", 8,
                "Error reading brush depth setting, using default: ", true);
}

TImportRequest ImportRequestFromSettings(const rtl::TStringList& Settings,
                                         const TConsoleProc& Console) {
  TImportRequest request;
  request.Options = ReadOnOffSettings(Settings, Console);
  request.Slab.Scale = ReadScale(Settings);
  request.Slab.Depth = ReadBrushDepth(Settings);
  request.NonVisTex = Settings.Values("NonVisTex");
  request.Textures.Palette = Settings.Values("JKPalette");
  request.Textures.OutputTexFormat = Settings.Values("OutputTexFormat");
  request.Textures.ResourceGobs = Settings.Values("ResourceGobs");
  return request;
}
