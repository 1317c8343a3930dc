// The conversion of one level's textures during an import: every material its surfaces use is
// found beside the level, in its "mat" folder or in containers, decoded with the configured
// palette and written as an image into the level's folder under the game's texture folder.
#pragma once

#include <string>

#include "level/O_jkl.h"
#include "level/Progress.h"

// Returns the number of images written. Exactly one of LevelFile and ContainerFile is non-empty.
// Problems with single materials (not found, unreadable, not decodable) and search-list
// containers that cannot be read are reported on the console, naming the file and the reason,
// and the run goes on; an image that cannot be written raises and ends the run.
int ConvertLevelTextures(const TJKLevel& Level, const std::string& LevelFile,
                         const std::string& ContainerFile, TProgressProc Progress);

// The name with every blank, double quote and control character replaced by "_": a face's texture
// name in a map is one word, so the texture folder and the images take the same names.
std::string MapSafeName(const std::string& Name);

// True when a material name read from a level could reach outside the folder it is looked up
// in or written to: it holds a folder delimiter or a drive colon, or is "." or "..".
bool MaterialNameLeavesFolder(const std::string& Name);
