// Writes the generated levels of the sealing benchmark (bench/open_worlds.sh) into a folder:
//   gen_levels DIR
//   gen_levels --grid SECTORS FILE   (the stage bench's rooms on a grid: GenerateGridLevel)
//   gen_levels --row SURFACES FILE   (bench_import's row of rooms: GenerateJklLevel)
// open_air (a few huge sectors of open air under a sky), islands (many small sectors over a large
// area), room254, room510, shared100 (100 sectors sharing one room's surfaces), slope (one
// sloped triangle) and crowd (many entities).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "GenLevel.h"

int main(int argc, char** argv) {
  if (argc == 4 && (std::string(argv[1]) == "--grid" || std::string(argv[1]) == "--row")) {
    std::ofstream out(argv[3], std::ios::binary);
    const int n = std::atoi(argv[2]);
    out << (std::string(argv[1]) == "--grid" ? GenerateGridLevel(n) : GenerateJklLevel(n));
    return out ? 0 : 1;
  }
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
