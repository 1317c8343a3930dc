// map_check [--strict] FILE.map...: how an editor of the Radiant family would load each map's
// brushes (see tests/support/EditorBrushCheck.h): per file the brushes and faces, the faces it
// discards as duplicate planes, the faces left without a polygon, the brushes with either and the
// brushes left without any polygon. --strict takes only planes with equal normals as the same.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "../tests/support/EditorBrushCheck.h"

int main(int argc, char** argv) {
  editor_check::TRules rules = editor_check::LooseRules;
  int first = 1;
  if (argc > 1 && std::string(argv[1]) == "--strict") {
    rules = editor_check::StrictRules;
    first = 2;
  }
  if (argc <= first) {
    std::fprintf(stderr, "usage: map_check [--strict] FILE.map...\n");
    return 2;
  }
  std::printf("%-28s %8s %8s %10s %10s %12s %8s\n", "map", "brushes", "faces", "duplicate",
              "nopolygon", "bad-brushes", "lost");
  int status = 0;
  for (int i = first; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "map_check: cannot read %s\n", argv[i]);
      status = 1;
      continue;
    }
    std::stringstream text;
    text << in.rdbuf();
    const editor_check::TMapReport r = editor_check::CheckMap(text.str(), rules);
    std::printf("%-28s %8ld %8ld %10ld %10ld %12ld %8ld\n", argv[i], r.Brushes, r.Faces,
                r.Duplicates, r.NoPolygon, r.BrushesWithProblems, r.LostBrushes);
  }
  return status;
}
