// Maps whose names Morvane chooses itself (the plug-in's saved map in the game's maps folder, the
// command line's game-ready map without --map) start with a line that marks them as Morvane's: a
// comment with the digest of the rest of the file. The next import replaces such a map only while
// the digest still matches; a map the designer saved or edited since is kept, and the new one goes
// beside it (<level>_2.map, ...). A map the user names (--map) carries no mark and is replaced as
// asked.
#pragma once

#include <string>

#include "level/Progress.h"

// Body with the mark line in front of it.
std::string MarkMap(const std::string& Body);

// Whether Path holds a map that MarkMap made and nobody changed since.
bool MarkedMapUnchanged(const std::string& Path);

// Writes Body, marked, in one step as Path when MarkedMapUnchanged or missing, else as the first
// free or replaceable <stem>_2.map, _3, ..., never through a link (nor through a linked folder
// below Base, the folder the user chose); one Console line says which map was left alone.
// Returns the file written. Raises rtl::Exception when there is no name left or the write fails.
std::string SaveMarkedMap(const std::string& Base, const std::string& Path, const std::string& Body,
                          const TConsoleProc& Console);
