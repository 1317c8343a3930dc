// The shader script of an imported level, written beside its textures: the game then draws the
// level's sky as sky and its see-through surfaces as such (the map keeps its texture names).
#pragma once

#include "brush/O_brush.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// Writes <install>/GameData/base/shaders/<level>.shader in one step, one entry per material and
// role that the faces of BrushLevel hold (RoleUses: an ordinary wall needs none), named as those
// faces' textures are, the images named with Settings' output format, and names it in
// shaders/shaderlist.txt when the game folder has that file. Says on Console what it wrote, or
// why it wrote nothing; a file that cannot be written raises, naming it.
void WriteLevelShaders(const TJKLevel& Level, const TBrushLevel& BrushLevel,
                       const TTextureSettings& Settings, const TConsoleProc& Console);
