// The request of an import from the user's settings, as both hosts read them: every value
// resolved here, once, before the import starts.
#pragma once

#include "import/Pipeline.h"
#include "rtl/Classes.h"

// What "ready for the game" turns on, in one place: morvane's flag for each part, and the option
// the plug-in turns on for its setting GameReady. The editor's interface cannot make entities:
// with GameReady the plug-in saves the whole map, entities and models included, beside it, and
// the shell leaves room for the entities as with --entities.
struct TGameReadyPart {
  const char* Flag;
  bool TImportOptions::*Option;
};
inline constexpr TGameReadyPart GameReadyParts[] = {
    {"--entities", &TImportOptions::WritesEntities},
    {"--clean", &TImportOptions::CleanSlabs},
    {"--align", &TImportOptions::AlignTextures},
    {"--seal", &TImportOptions::SealLevel},
    {"--fit-world", &TImportOptions::FitWorld},
    {"--adjoins", &TImportOptions::ImportAdjoins},
    {"--shaders", &TImportOptions::Shaders},
    {"--level-palette", &TImportOptions::LevelPalette},
    {"--parent-mat", &TImportOptions::SearchParentMat},
    {"--models", &TImportOptions::ImportModels},
    {"--water", &TImportOptions::WaterVolumes},
    // Lights are entities and worldspawn keys, which only the saved map carries.
    {"--lights", &TImportOptions::GameLights},
};

// Whether every part of "ready for the game" is on: --game-ready, or GameReady=1.
inline bool IsGameReady(const TImportOptions& Options) {
  for (const TGameReadyPart& part : GameReadyParts)
    if (!(Options.*part.Option)) return false;
  return true;
}

// The on/off settings (AlignTextures, CleanSlabs, ImportAdjoins, LevelPalette, SearchParentMat):
// "1" on; "0", missing or empty off; any other value off, with one console line each, said now.
TImportOptions ReadOnOffSettings(const rtl::TStringList& Settings, const TConsoleProc& Console);

// A number setting (Scale, BrushDepth): its value, or the default with a console note for the
// conversion to say where it first needs the number. Text that is no number, a value beyond the
// range of a Double (such as 1e400) or, for Scale, one of 0 or less takes the default: it would
// turn every coordinate into inf or nan.
TSlabNumber ReadScale(const rtl::TStringList& Settings);
TSlabNumber ReadBrushDepth(const rtl::TStringList& Settings);

// The whole request but for the path, the picker, the install folder and the callbacks:
// ReadOnOffSettings (its lines said now), ReadScale, ReadBrushDepth, NonVisTex, JKPalette,
// OutputTexFormat and ResourceGobs.
TImportRequest ImportRequestFromSettings(const rtl::TStringList& Settings,
                                         const TConsoleProc& Console);
