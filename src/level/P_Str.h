// String procedures with which the level reader cuts a line into words. All return a new string.
#pragma once

#include <string>

// The word with 0-based Index, words separated by single spaces; past the last word the last word
// again. The line is trimmed of characters of code 0 to 32 first.
std::string GetWord(const std::string& Line, int Index);
// The characters 0 to 9 of S, in order.
std::string DigitsOnly(const std::string& S);
std::string ReplaceChar(const std::string& S, char OldChar, char NewChar);
// S without every space that directly follows another space; the first character always stays.
std::string CollapseSpaces(const std::string& S);
