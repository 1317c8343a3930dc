// Files whose names Morvane chooses itself in folders the user shares with the game, other levels
// and other tools (a level's map in the game's maps folder, its models): such a file is replaced
// only while it is one Morvane wrote and nobody changed since; otherwise the new one goes beside
// it, and what the designer made is kept.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace rtl {

// A digest of Bytes as 16 lower-case hexadecimal digits (64-bit FNV-1a): it tells that a file was
// changed by hand or by another program, not that somebody tried to fool it.
std::string Digest(std::string_view Bytes);

// Whether Path may be written as the file Morvane chose to name so: when nothing is there, or when
// it is a plain file (no link, no folder) that Ours says Morvane wrote and nobody changed.
using TOwnedTest = std::function<bool(const std::string& Path)>;
bool MayReplace(const std::string& Path, const TOwnedTest& Ours);

// The file to write for the name Path: Path itself when MayReplace, else the first of
// <stem>_2<ext>, <stem>_3<ext>, ... (up to Tries) that may be written and is not Taken (names an
// earlier step of the same import holds). Empty when none is.
std::string ReplaceableName(const std::string& Path, const TOwnedTest& Ours,
                            const std::function<bool(const std::string&)>& Taken = nullptr,
                            int Tries = 100);

// The first folder below Base on the way down along Relative ("GameData/base/models/level",
// either separator) that is a link, so that nothing in it is written through it; empty when none
// is. Base itself is the user's choice and is not looked at.
std::string LinkOnTheWay(const std::string& Base, const std::string& Relative);

// Whether Stem (a file name without its extension) is a name Windows keeps for a device: con,
// prn, aux, nul, com1-com9, lpt1-lpt9, in any letter case. "con.md3" opens the console there.
bool IsDeviceName(const std::string& Stem);

}  // namespace rtl
