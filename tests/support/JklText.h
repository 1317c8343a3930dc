// Small JKL levels written as text, for tests that import through the command-line host: one
// sector of the given surfaces, things and editor lights. Give at least two surfaces: the reader
// looks for the first normal from the last surface's line, which with one surface is "0:" too.
#pragma once

#include <string>
#include <vector>

namespace jkl_text {

struct TJklThing {
  std::string Template;
  std::string Position;  // "x y z pitch yaw roll"
};

struct TJklLight {
  std::string Line;  // "tag x y z value1 value2"
};

class TJklLevel {
 public:
  std::vector<std::string> Vertices;       // "x y z"
  std::vector<std::vector<int>> Surfaces;  // corner vertex indices
  std::vector<int> Adjoins;                // per surface, -1 solid (default)
  std::vector<int> FaceFlags;              // per surface, 0 (default); 2: translucent
  std::vector<std::string> Extra;          // per surface, its extra light ("0" by default)
  std::vector<std::vector<std::string>> Intensities;  // per surface and corner ("1.0")
  std::vector<TJklThing> Things;
  std::vector<TJklLight> Lights;
  bool WithLights = true;  // write a LIGHTS section (it is optional)

  std::string Text() const {
    std::string t = "SECTION: MATERIALS\nWorld materials 1\n0:\twall.mat\t1.0\t1.0\nend\n";
    t += "SECTION: GEORESOURCE\nWorld vertices " + std::to_string(Vertices.size()) + "\n";
    for (size_t i = 0; i < Vertices.size(); ++i)
      t += std::to_string(i) + ":\t" + Vertices[i] + "\n";
    t += "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces " +
         std::to_string(Surfaces.size()) + "\n";
    for (size_t s = 0; s < Surfaces.size(); ++s) {
      const int adjoin = s < Adjoins.size() ? Adjoins[s] : -1;
      const int faceFlags = s < FaceFlags.size() ? FaceFlags[s] : 0;
      t += std::to_string(s) + ":\t0\t0x4\t" + std::to_string(faceFlags) + "\t4\t3\t0\t" +
           std::to_string(adjoin) + "\t" + (s < Extra.size() ? Extra[s] : "0") + "\t" +
           std::to_string(Surfaces[s].size());
      for (int v : Surfaces[s]) t += " " + std::to_string(v) + ",0";
      for (size_t k = 0; k < Surfaces[s].size(); ++k)
        t += " " + (s < Intensities.size() && k < Intensities[s].size() ? Intensities[s][k]
                                                                        : std::string("1.0"));
      t += "\n";
    }
    for (size_t s = 0; s < Surfaces.size(); ++s) t += std::to_string(s) + ":\t0 0 1\n";
    t += "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 " +
         std::to_string(Surfaces.size()) + "\n";
    t += "SECTION: THINGS\nWorld things " + std::to_string(Things.size()) + "\n";
    for (size_t i = 0; i < Things.size(); ++i)
      t += std::to_string(i) + ": " + Things[i].Template + " thing" + std::to_string(i) + " " +
           Things[i].Position + " 12\n";
    t += "end\n";
    if (WithLights) {
      t += "SECTION: LIGHTS\nEditor lights " + std::to_string(Lights.size()) + "\n";
      for (size_t i = 0; i < Lights.size(); ++i)
        t += std::to_string(i) + ": " + Lights[i].Line + "\n";
      t += "end\n";
    }
    t += "################\n# end of level\n";
    return t;
  }
};

}  // namespace jkl_text
