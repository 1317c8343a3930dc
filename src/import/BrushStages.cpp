#include "import/BrushStages.h"

#include <vector>

#include "brush/FaceRoles.h"
#include "brush/WaterVolumes.h"
#include "rtl/SysUtils.h"
#include "seal/Seal.h"

namespace {

void AddWater(const TJKLevel& Level, const TFaceRoles& Roles, double Scale, TBrushLevel& BrushLevel,
              const TConsoleProc& Console) {
  const TWaterVolumeCount water = AddWaterVolumes(Level, Roles, Scale, BrushLevel.Brushes);
  if (!Console) return;
  Console(
      rtl::Format("%d underwater sectors became %d water volumes", water.Sectors, water.Brushes));
  if (water.NotConvex > 0)
    Console(rtl::Format("%d underwater sectors are not convex and were left without water",
                        water.NotConvex));
}

std::unique_ptr<TLightFit> FitLights(const TJKLevel& Level, double Scale,
                                     const TConsoleProc& Console) {
  auto fit = std::make_unique<TLightFit>(FitGameLights(Level, Scale));
  fit->Lit = LitPolygons(Level, Scale);
  if (fit->DroppedNegative > 0 && Console)
    Console(rtl::Format("%d negative lights left out: the compiler cannot take light away",
                        fit->DroppedNegative));
  if (fit->DroppedNoRange > 0 && Console)
    Console(
        rtl::Format("%d lights without a positive range or intensity left out: they light nothing",
                    fit->DroppedNoRange));
  for (int light : fit->DroppedTooNarrow)
    if (Console)
      Console(rtl::Format(
          "Light %d left out: its range %g is too small for the map to hold its fade", light,
          static_cast<double>(Level.Lights[static_cast<size_t>(light)]->Value2)));
  return fit;
}

// Seals the level (or only marks its stray entities); the fill lights the seal finds in no
// sector are left out of the fit.
void Seal(const TJKLevel& Level, TBrushLevel& BrushLevel, const TImportOptions& Options,
          double Scale, TLightFit* Fit, TConversion& Ran, const TConsoleProc& Console) {
  const int beforeShell = BrushLevel.Brushes.Count();
  TSealFill fill;
  if (Fit)
    for (const TFitLight& light : Fit->Lights)
      if (light.Source < 0) {
        fill.Points.push_back({light.Origin.X, light.Origin.Y, light.Origin.Z});
        fill.Sectors.push_back(light.Sector);
      }
  Ran.BlockSize = SealBrushLevel(Level, BrushLevel, Scale, Options.SealLevel,
                                 Options.WritesEntities, Console, Fit ? &fill : nullptr);
  Ran.ShellBoxes = BrushLevel.Brushes.Count() - beforeShell;
  if (!Fit || fill.Inside.empty()) return;
  // The fill lights come in the order the seal was given them.
  std::vector<TFitLight> kept;
  size_t k = 0;
  for (const TFitLight& light : Fit->Lights)
    if (light.Source >= 0 || fill.Inside[k++]) kept.push_back(light);
  Fit->Lights = std::move(kept);
}

}  // namespace

TConversion MakeBrushLevel(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                           const TImportOptions& Options, TSlabSettings* Slab,
                           const TConsoleProc& Console, std::unique_ptr<TLightFit>* Lights) {
  TConversionNumbers numbers(Level, Options, Slab, Console);
  // What each face is for, where a shader or the water needs to know.
  std::unique_ptr<TFaceRoles> roles;
  if (Options.Shaders || Options.WaterVolumes)
    roles = std::make_unique<TFaceRoles>(Level, Options.WaterVolumes);
  TConversion ran;
  ConvertSurfaces(Level, BrushLevel, Progress, Options, numbers, roles.get(), ran);
  if (Options.WaterVolumes) AddWater(Level, *roles, numbers.Scale(), BrushLevel, Console);
  if (roles) NameFaceRoles(BrushLevel);
  std::unique_ptr<TLightFit> fit;
  if (Options.GameLights && Options.WritesEntities)
    fit = FitLights(Level, numbers.Scale(), Console);
  ConvertThings(Level, BrushLevel, numbers);
  EndConversion(Level, BrushLevel, Options, numbers, ran, Console);
  if (Options.SealLevel || Options.WritesEntities)
    Seal(Level, BrushLevel, Options, numbers.Scale(), fit.get(), ran, Console);
  if (Lights) *Lights = std::move(fit);
  return ran;
}
