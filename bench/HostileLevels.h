// Hostile inputs for the preview's bounds: levels and a container of about 1 MB built to make a
// preview cost as much as they can.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace hostile {

// JKL text: the given materials, the vertices, one surface per quad (four vertex indices, all
// with texture vertices 0..3, intensities 1), every surface solid, in one sector, and one
// walkplayer at Eye looking along +Y.
inline std::string Level(const std::vector<std::string>& materials, const std::vector<float>& xyz,
                         const std::vector<std::vector<int>>& quads,
                         const std::vector<int>& materialOf, const float eye[3]) {
  std::string t;
  char buf[256];
  t += "SECTION: MATERIALS\nWorld materials " + std::to_string(materials.size()) + "\n";
  for (size_t i = 0; i < materials.size(); ++i)
    t += std::to_string(i) + ": " + materials[i] + " 1 1\n";
  t += "end\nSECTION: GEORESOURCE\nWorld vertices " + std::to_string(xyz.size() / 3) + "\n";
  for (size_t i = 0; i + 2 < xyz.size(); i += 3) {
    std::snprintf(buf, sizeof buf, "%zu: %g %g %g\n", i / 3, xyz[i], xyz[i + 1], xyz[i + 2]);
    t += buf;
  }
  t += "World texture vertices 4\n0: 0 0\n1: 512 0\n2: 512 512\n3: 0 512\nWorld adjoins 0\n";
  t += "World surfaces " + std::to_string(quads.size()) + "\n";
  for (size_t i = 0; i < quads.size(); ++i) {
    const std::vector<int>& q = quads[i];
    std::snprintf(buf, sizeof buf, "%zu: %d 0x4 0 4 3 0 -1 0 4 %d,0 %d,1 %d,2 %d,3 1 1 1 1\n", i,
                  materialOf[i], q[0], q[1], q[2], q[3]);
    t += buf;
  }
  for (size_t i = 0; i < quads.size(); ++i) t += std::to_string(i) + ": 0 0 1\n";
  t += "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nEXTRA LIGHT 0\nSURFACES 0 " +
       std::to_string(quads.size()) + "\n";
  std::snprintf(buf, sizeof buf,
                "SECTION: THINGS\nWorld things 1\n0: walkplayer walkplayer %g %g %g 0 0 0 0\nend\n",
                eye[0], eye[1], eye[2]);
  t += buf;
  return t;
}

// A GOB container whose directory names every (name, data) pair; entries whose data index is
// the same share their bytes in the file.
inline std::string Gob(const std::vector<std::string>& names, const std::vector<int>& dataOf,
                       const std::vector<std::string>& data) {
  auto le = [](std::string& s, int32_t v) {
    for (int i = 0; i < 4; ++i)
      s += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
  };
  std::string out = "GOB ";
  le(out, 0x14);
  le(out, 0x0C);
  le(out, static_cast<int32_t>(names.size()));
  std::vector<int32_t> offsets;
  int32_t at = static_cast<int32_t>(16 + 136 * names.size());
  for (const std::string& d : data) {
    offsets.push_back(at);
    at += static_cast<int32_t>(d.size());
  }
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& d = data[static_cast<size_t>(dataOf[i])];
    le(out, offsets[static_cast<size_t>(dataOf[i])]);
    le(out, static_cast<int32_t>(d.size()));
    std::string name = names[i];
    name.resize(128, '\0');
    out += name;
  }
  for (const std::string& d : data) out += d;
  return out;
}

}  // namespace hostile
