// The hand-off of a brush level to the editor through its function table (FuncTable): one editor
// brush per brush, one face per face plane, the level's texture on the front face and the
// NonVisTex setting's texture on the others, then the brush is committed to the map.
#pragma once

#include <cstdint>
#include <string>

#include "brush/BrushConvert.h"
#include "brush/O_brush.h"

// TexturePrefix is the level's name followed by "/". Always returns True; a faulty editor (a
// missing slot, no brush handle, no face record) or a bad brush model raises an error, and the
// brushes committed before it stay in the editor.
bool SendBrushesToHost(TBrushLevel& BrushLevel, const std::string& TexturePrefix,
                       TProgressProc Progress);

// A material's file name without its extension: "wall.mat" -> "wall", "a.b\\wall" -> "a.b\\wall".
std::string MaterialTextureName(const std::string& MaterialName);
