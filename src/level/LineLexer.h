// The line lexer of the game's text formats (levels, models, templates): every line is cleaned
// of its comment and surplus blanks, then split into words, the same way wherever it is read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Out = the line with everything from the first "#" cut off, tabs turned into spaces, runs of
// spaces collapsed to one, and characters of code 0 to 32 trimmed from both ends.
void CleanJklLine(std::string_view Raw, std::string& Out);
// The words of a cleaned line as GetWord numbers them: split at single spaces, each word trimmed
// of characters of code 0 to 32. An empty line has no words.
void SplitJklWords(std::string_view Clean, std::vector<std::string_view>& Words);
// Whether the cleaned form of Raw begins with Token, which must be upper-case, hold no
// character of code 0 to 32 but single spaces, and neither begin nor end with a space. Tested
// on the raw line, as most lines fail at their first character.
bool JklLineStartsWith(std::string_view Raw, std::string_view Token);
