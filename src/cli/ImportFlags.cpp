#include "cli/ImportFlags.h"

#include <cstring>

#include "import/ImportSettings.h"

const std::vector<TImportFlag>& ImportFlags() {
  static const std::vector<TImportFlag> flags = {
      {"--overwrite-textures", &TImportOptions::OverwriteTextures, false},
      {"--align", &TImportOptions::AlignTextures, true},
      {"--clean", &TImportOptions::CleanSlabs, true},
      {"--entities", &TImportOptions::WritesEntities, false},
      {"--seal", &TImportOptions::SealLevel, true},
      {"--fit-world", &TImportOptions::FitWorld, true},
      {"--adjoins", &TImportOptions::ImportAdjoins, true},
      {"--shaders", &TImportOptions::Shaders, false},
      {"--level-palette", &TImportOptions::LevelPalette, true},
      {"--parent-mat", &TImportOptions::SearchParentMat, true},
      {"--water", &TImportOptions::WaterVolumes, true},
      {"--lights", &TImportOptions::GameLights, false},
      {"--models", &TImportOptions::ImportModels, true},
  };
  return flags;
}

void ApplyImportFlags(const TArgs& Call, bool LookOnly, TImportOptions& Options) {
  const bool gameReady = Call.Has("--game-ready");
  auto inGameReady = [](const char* flag) {
    for (const TGameReadyPart& part : GameReadyParts)
      if (std::strcmp(part.Flag, flag) == 0) return true;
    return false;
  };
  for (const TImportFlag& flag : ImportFlags()) {
    if (LookOnly && !flag.Look) continue;
    if (Call.Has(flag.Flag) || (gameReady && inGameReady(flag.Flag))) Options.*flag.Option = true;
  }
}

std::vector<TOptionDef> BuildOptions() {
  std::vector<TOptionDef> list = {
      {"--entry", true}, {"--game-dir", true}, {"--settings", true},   {"--q3map2", true},
      {"--fast", false}, {"-o", true},         {"--game-ready", false}};
  for (const TImportFlag& flag : ImportFlags()) list.push_back({flag.Flag, false});
  return list;
}
