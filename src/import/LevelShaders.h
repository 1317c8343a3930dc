// The shader script of an imported level, written beside its textures: the game then draws the
// level's sky as sky, its see-through surfaces, water and passable openings as such (each face
// names the shader of its role).
#pragma once

#include "brush/O_brush.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// Writes <install>/GameData/base/shaders/<folder>.shader in one step, one entry per material and
// role that the faces of BrushLevel hold (RoleUses: an ordinary wall needs none), each named as
// those faces are and showing the image the texture step wrote (Names), and names it in
// shaders/shaderlist.txt when the game folder has that file. Says on Console what it wrote, or
// why it wrote nothing; a file that cannot be written raises, naming it.
void WriteLevelShaders(const TBrushLevel& BrushLevel, const TLevelNames& Names,
                       const TTextureSettings& Settings, const TConsoleProc& Console);
