// The shader script of an imported level, written beside its textures: the game then draws the
// level's sky as sky and its see-through surfaces as such (the map keeps its texture names).
#pragma once

#include "level/O_jkl.h"
#include "plugin/ImportOptions.h"

// Writes <install>/GameData/base/shaders/<level>.shader in one step, one entry per material that
// LevelMaterialLooks finds (drawn adjoins with Options.ImportAdjoins), and names it in
// shaders/shaderlist.txt when the game folder has that file. Says on the console what it wrote,
// or why it wrote nothing; a file that cannot be written raises, naming it.
void WriteLevelShaders(const TJKLevel& Level, const TImportOptions& Options);
