// The rules every name a level brings must pass before it names a file or a face: one word for
// a face line, never a way out of the folder it is looked up in or written to.
#pragma once

#include <string>

// The name with every blank, double quote and control character replaced by "_": a face's texture
// name in a map is one word, so the texture folder and the images take the same names.
std::string MapSafeName(const std::string& Name);

// The level's name as the name of its texture folder and the first part of its faces' texture
// names: MapSafeName, with folder delimiters and drive colons made "_" too, and a name of dots
// alone (or none) made as many "_" (at least one), so that no face names "../floor" or "/floor".
std::string LevelFolderName(const std::string& LevelName);

// True when a material name read from a level could reach outside the folder it is looked up
// in or written to: it holds a folder delimiter or a drive colon, or is "." or "..".
bool MaterialNameLeavesFolder(const std::string& Name);
