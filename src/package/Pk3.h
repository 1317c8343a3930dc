// The level as the game loads it: one .pk3 (a zip archive) for the game's base folder.
#pragma once

#include <string>
#include <vector>

namespace package {

struct TPk3Entry {
  std::string Name;   // the path inside the archive, "/" between folders
  std::string Bytes;  // the file's contents
};

// The files of a built level below the game's base folder (Base: .../GameData/base) that the game
// loads at run time: maps/<Level>.bsp, every file of textures/<Level>/, and each shader script of
// shaders/ that Morvane wrote for the level (the first line names it). The compiled model
// geometry lives in the BSP, so models/ stays out. Raises when the BSP cannot be read.
std::vector<TPk3Entry> LevelFiles(const std::string& Base, const std::string& Level);

// The archive's bytes: every entry compressed, its name in lower case (the game finds them in any
// case; a case-sensitive file system unpacking them must find what the game asks for). Of two
// entries whose names differ only in letter case, the first is kept. Raises on a zip error.
std::string EncodePk3(const std::vector<TPk3Entry>& Entries);

// EncodePk3 written to Path in one step: nobody sees a half-written archive.
void WritePk3(const std::string& Path, const std::vector<TPk3Entry>& Entries);

}  // namespace package
