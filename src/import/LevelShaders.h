// The shader script of an imported level, written beside its textures: the game then draws the
// level's sky as sky, its see-through surfaces, water and passable openings as such (each face
// names the shader of its role).
#pragma once

#include <string>

#include "brush/O_brush.h"
#include "import/LevelNames.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// Writes <install>/GameData/base/shaders/<folder>.shader in one step, one entry per material and
// role that the faces of BrushLevel hold (RoleUses: an ordinary wall needs none), each named as
// those faces are and showing the image the texture step wrote (Names), and names it in
// shaders/shaderlist.txt when the game folder has that file. The shaders folder is shared with the
// game's own scripts, other levels and other tools:
// - a script is replaced only when Morvane wrote it (its first line says so); another of the name
//   is left alone and the level's script takes the first free name <level>_2, _3, ...;
// - neither the script nor the list is ever written through a link;
// - the list gets its line by one append at its end, so imports running at once all keep theirs;
// - whatever cannot be done costs only the script: one console line says what was not written,
//   and the script and the list are left as they were (a written script whose list line cannot
//   be added is taken back);
// - a level that needs no script any more has the one Morvane wrote emptied, so that nothing of
//   an earlier import stays in force.
// Never raises for a file; says on Console what it wrote or why it did not.
void WriteLevelShaders(const TBrushLevel& BrushLevel, const TLevelNames& Names,
                       const TTextureSettings& Settings, const TConsoleProc& Console);

// The bytes to append to a shader list so that it names Script (as AddToShaderList decides),
// in the list's own encoding: UTF-8 (a byte-order mark passed over), or UTF-16 of either byte
// order with its mark. Empty when the list names the script already. Raises rtl::Exception for
// a list that is no text (NUL bytes without a UTF-16 mark).
std::string ShaderListAddition(const std::string& List, const std::string& Script);

// A role's shader is named by its material's face name and the role's suffix ("a" + "_sky"); that
// name must never be another material's face name (the wall of "a_sky.mat" would show a's sky).
// Gives each material and role whose name would be taken so a further "_2", "_3", ... that no
// material's face name and no other role's shader takes, on every face of it. Call after the
// roles are named (NameFaceRoles) and before the faces or the script are written.
void KeepRoleNamesApart(TBrushLevel& BrushLevel, const TLevelNames& Names, const TJKLevel& Level);
