// The whole map of an import as one .map file: the worldspawn with every brush as the editor holds
// it, then (when asked) the point entities, lights and models. `morvane import` writes it where it
// is told; the plug-in, which cannot hand entities to the editor, saves it into the game's maps
// folder so that the designer can open it.
#pragma once

#include <functional>
#include <string>

#include "import/MapLayout.h"
#include "import/Pipeline.h"

namespace rtl {
class TStream;
}

struct TWholeMap {
  int Written = 0, WrittenBrushDef = 0, Skipped = 0;  // brush blocks, as TMapWriter counts them
  int Entities = 0;                                   // entity blocks after the worldspawn
  int Models = 0;                                     // of them misc_models
};

// Writes Result's map into Out. Layout lays out the brushes (and reports on the alignment);
// Progress, when given, is called before each brush. Raises on a thing or light beyond the map's
// range, and on a write error.
TWholeMap WriteWholeMap(rtl::TStream& Out, const TImportResult& Result, TMapLayout& Layout,
                        bool WithEntities,
                        const std::function<void(int Index, int Count)>& Progress = nullptr);

// With fitted lights, the game light file (light/GameLightFile.h) beside the map at MapPath, in
// one step, and its path; without them nothing, and the empty text. Raises on a write error.
std::string WriteGameLightFile(const std::string& MapPath, const TImportResult& Result);

// The file the plug-in saves a game-ready import as: <install>/GameData/base/maps/<level>.map.
std::string GameMapPath(const std::string& InstallPath, const TImportResult& Result);

// Writes Result's whole map, entities included, as GameMapPath(InstallPath, Result) through
// SaveMarkedMap (a map someone else saved there is kept, with a Console line): the one place where
// both hosts write the map of the game's maps folder, so that the rule about what may be replaced
// there holds for both. Returns the path the map was written to; raises when it cannot be written
// (the file left as it was).
std::string WriteGameMap(const std::string& InstallPath, const TImportResult& Result,
                         TMapLayout& Layout, TWholeMap& Report, const TConsoleProc& Console,
                         const std::function<void(int Index, int Count)>& Progress = nullptr);
