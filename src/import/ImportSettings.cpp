#include "import/ImportSettings.h"

#include <cmath>

#include "rtl/SysUtils.h"

namespace {

bool OnOff(const rtl::TStringList& Settings, const char* Key, const char* Message,
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

}  // namespace

TImportOptions ReadOnOffSettings(const rtl::TStringList& Settings, const TConsoleProc& Console) {
  TImportOptions options;
  options.AlignTextures = OnOff(Settings, "AlignTextures",
                                "Error reading align textures setting, using default: 0", Console);
  options.CleanSlabs =
      OnOff(Settings, "CleanSlabs", "Error reading clean slabs setting, using default: 0", Console);
  options.ImportAdjoins = OnOff(Settings, "ImportAdjoins",
                                "Error reading import adjoins setting, using default: 0", Console);
  options.LevelPalette = OnOff(Settings, "LevelPalette",
                               "Error reading level palette setting, using default: 0", Console);
  options.SearchParentMat =
      OnOff(Settings, "SearchParentMat",
            "Error reading search parent mat setting, using default: 0", Console);
  options.ImportModels = OnOff(Settings, "ImportModels",
                               "Error reading import models setting, using default: 0", Console);
  options.PlayLevel =
      OnOff(Settings, "PlayLevel", "Error reading play level setting, using default: 0", Console);
  options.SealLevel =
      OnOff(Settings, "SealLevel", "Error reading seal level setting, using default: 0", Console);
  options.FitWorld =
      OnOff(Settings, "FitWorld", "Error reading fit world setting, using default: 0", Console);
  options.WaterVolumes = OnOff(Settings, "WaterVolumes",
                               "Error reading water volumes setting, using default: 0", Console);
  options.GameLights =
      OnOff(Settings, "GameLights", "Error reading game lights setting, using default: 0", Console);
  if (OnOff(Settings, "GameReady", "Error reading game ready setting, using default: 0", Console))
    for (const TGameReadyPart& part : GameReadyParts)
      if (part.Option) options.*part.Option = true;
  return options;
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
