#include "package/Arena.h"

namespace package {

namespace {

std::string Quoted(std::string text) {
  for (char& c : text)
    if (c == '"')
      c = '\'';
    else if (c == '\n' || c == '\r' || c == '\t')
      c = ' ';
  return "\"" + text + "\"";
}

}  // namespace

std::string ArenaText(const std::string& Map, const std::string& LongName, int PlayerStarts) {
  return "{\n"
         "map " +
         Quoted(Map) +
         "\n"
         "longname " +
         Quoted(LongName) +
         "\n"
         "type " +
         Quoted(PlayerStarts > 1 ? "ffa" : "single") +
         "\n"
         "}\n";
}

}  // namespace package
