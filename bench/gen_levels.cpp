// Writes the generated levels of the sealing benchmark (bench/open_worlds.sh) into a folder:
//   gen_levels DIR
// open_air (a few huge sectors of open air under a sky), islands (many small sectors over a large
// area), room254, room510, shared100 (100 sectors sharing one room's surfaces), slope (one
// sloped triangle) and crowd (many entities).
#include <cstdio>
#include <fstream>
#include <string>

#include "GenLevel.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_levels DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::pair<const char*, std::string> levels[] = {
      {"open_air", GenerateOpenAir()},
      {"islands", GenerateIslands()},
      {"room254", GenerateRoom(254)},
      {"room510", GenerateRoom(510)},
      {"shared100", GenerateRoom(254, 100)},
      {"slope", GenerateSlope()},
      {"crowd", GenerateCrowd()},
  };
  for (const auto& [name, text] : levels) {
    std::ofstream out(dir + "/" + name + ".jkl", std::ios::binary);
    out << text;
    if (!out) {
      std::fprintf(stderr, "gen_levels: cannot write %s/%s.jkl\n", dir.c_str(), name);
      return 1;
    }
  }
  return 0;
}
