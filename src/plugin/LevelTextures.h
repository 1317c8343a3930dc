// The conversion of one level's textures during an import: every material its surfaces use is
// found beside the level, in its "mat" folder or in containers, decoded with the configured
// palette and written as an image into the level's folder under the game's texture folder.
#pragma once

#include <string>

#include "level/O_jkl.h"
#include "level/Progress.h"

// Returns the number of images written. Exactly one of LevelFile and ContainerFile is non-empty.
// Problems with single materials are reported on the console and the run goes on; a broken MAT
// or container, or an image that cannot be written, raises and ends the run.
int ConvertLevelTextures(const TJKLevel& Level, const std::string& LevelFile,
                         const std::string& ContainerFile, TProgressProc Progress);

// True when a material name read from a level could reach outside the folder it is looked up
// in or written to: it holds a folder delimiter or a drive colon, or is "." or "..".
bool MaterialNameLeavesFolder(const std::string& Name);
