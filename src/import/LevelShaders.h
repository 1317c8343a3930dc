// The shader script of an imported level, written beside its textures: the game then draws the
// level's sky as sky and its see-through surfaces as such (the map keeps its texture names).
#pragma once

#include "brush/ImportOptions.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// Writes <install>/GameData/base/shaders/<folder>.shader in one step, one entry per material that
// LevelMaterialLooks finds (drawn adjoins with Options.ImportAdjoins), each named as the faces
// are and showing the image the texture step wrote (Names), and names it in
// shaders/shaderlist.txt when the game folder has that file. Says on Console what it wrote, or
// why it wrote nothing; a file that cannot be written raises, naming it.
void WriteLevelShaders(const TJKLevel& Level, const TLevelNames& Names,
                       const TImportOptions& Options, const TTextureSettings& Settings,
                       const TConsoleProc& Console);
