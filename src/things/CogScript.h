// What a cog's text says of the values a level's cog line gives it: the symbols that take a value,
// in order, and whether its code moves things along their frames.
//
// A cog's "symbols" section holds one symbol per line, "type name[=default] [flag ...]"; a level's
// cog line gives its values to the symbols in that order, passing over messages and the symbols
// marked "local", which take none. Read leniently: a text that is no cog has no symbols.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "level/ThingTemplates.h"

struct TCogSymbol {
  std::string Type;  // lower case: "thing", "flex", "float", "sound", ...
  std::string Name;  // lower case
};

struct TCogScript {
  std::vector<TCogSymbol> Symbols;  // those that take a value, in order
  // Its code moves a thing along its frames or turns it about a pivot.
  bool MovesThings = false;
};

TCogScript ParseCogScript(std::string_view Text);

// The value Line gives the symbol Name (lower case) of Script; empty when none.
std::string CogValue(const TCogScript& Script, const TCogLine& Line, std::string_view Name);
