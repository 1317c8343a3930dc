#include "import/SafeNames.h"

#include <algorithm>

std::string MapSafeName(const std::string& Name) {
  std::string out = Name;
  for (char& c : out) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u <= 32 || u == 127 || c == '"') c = '_';
  }
  return out;
}

std::string LevelFolderName(const std::string& LevelName) {
  std::string out = MapSafeName(LevelName);
  for (char& c : out)
    if (c == '\\' || c == '/' || c == ':') c = '_';
  if (out.find_first_not_of('.') == std::string::npos)
    out = std::string(std::max<size_t>(out.size(), 1), '_');
  return out;
}

bool MaterialNameLeavesFolder(const std::string& Name) {
  if (Name.empty() || Name == "." || Name == "..") return true;
  return Name.find_first_of("\\/:") != std::string::npos;
}
