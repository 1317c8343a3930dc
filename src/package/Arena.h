// The arena script that puts a level in the game's lists: scripts/<level>.arena.
#pragma once

#include <string>

namespace package {

// One arena: the map's name, the long name the menus show, and the game types that fit the
// level's player starts: several make a free-for-all level, a single one a single-player level.
// A double quote cannot stand inside the script's quoted values: it becomes a single one.
std::string ArenaText(const std::string& Map, const std::string& LongName, int PlayerStarts);

}  // namespace package
