// A generator of large, realistic JKL levels for the benchmarks: box-shaped sectors of six quads
// each, joined into a row by adjoins, with materials, texture vertices, normals, intensities,
// things and editor lights, written with the tabs, comments and number forms real files use.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

inline std::string GenerateJklLevel(int surfaces) {
  if (surfaces < 0) surfaces = 0;
  const int sectors = (surfaces + 5) / 6;
  const int materials = 64;
  std::string out;
  out.reserve(static_cast<size_t>(surfaces) * 200 + 4096);
  char buf[512];
  auto line = [&](const char* fmt, auto... args) {
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    out.append(buf, static_cast<size_t>(n));
    out += "\r\n";
  };

  line("# generated level, %d surfaces", surfaces);
  line("SECTION: JK");
  line("");
  line("SECTION: HEADER");
  line("Version 1");
  line("World Gravity 4");
  line("LOD Distances .3 .6 .9 1.2");
  line("");
  line("SECTION: SOUNDS");
  line("World sounds 4");
  for (int i = 0; i < 4; ++i) line("sound%02d.wav", i);
  line("end");
  line("");
  line("SECTION: MATERIALS");
  line("World materials %d", materials + 448);  // real files declare room to spare
  for (int i = 0; i < materials; ++i) line("%d:\tgen_%02d.mat\t1.000000\t1.000000", i, i);
  line("end");
  line("");
  line("SECTION: GEORESOURCE");
  line("World Colormaps 1");
  line("0:\tdflt.cmp");
  line("");
  // Sector k is the unit box [2k, 2k+1] x [0, 1] x [0, 1], scaled by 0.5; eight corners each.
  line("World vertices %d", sectors * 8);
  line("#num:\tvertex:");
  for (int k = 0; k < sectors; ++k)
    for (int c = 0; c < 8; ++c)
      line("%d:\t%.6f\t%.6f\t%.6f", k * 8 + c, 0.5 * (2 * k + (c & 1)), 0.5 * ((c >> 1) & 1),
           0.5 * ((c >> 2) & 1));
  line("");
  line("World texture vertices %d", surfaces * 4);
  line("#num:\tu:\tv:");
  for (int i = 0; i < surfaces * 4; ++i)
    line("%d:\t%.6f\t%.6f", i, (i & 1) ? 63.999996 : -.035, (i & 2) ? 127.5 : 2.775558E-17);
  line("");
  // Face 1 (+X) of each sector but the last opens into the next sector's face 0 (-X).
  const int adjoins = sectors > 1 ? 2 * (sectors - 1) : 0;
  line("World adjoins %d", adjoins);
  line("#num:\tflags:\tmirror:\tdist:");
  for (int a = 0; a < adjoins; ++a) line("%d:\t0x7\t%d\t0.00", a, a ^ 1);
  line("");
  // Corner indices of the six faces, clockwise seen from inside.
  static const int faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                                  {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
  static const float normals[6][3] = {{1, 0, 0},  {-1, 0, 0}, {0, 1, 0},
                                      {0, -1, 0}, {0, 0, 1},  {0, 0, -1}};
  auto adjoinOf = [&](int i) {
    int k = i / 6, f = i % 6;
    if (f == 1 && k + 1 < sectors) return 2 * k;
    if (f == 0 && k > 0) return 2 * (k - 1) + 1;
    return -1;
  };
  line("World surfaces %d", surfaces);
  line(
      "#num:\tmat:\tsurfflags:\tfaceflags:\tgeo:\tlight:\ttex:\tadjoin:\textralight:\tnverts:"
      "\tvertices:\t\t\tintensities:");
  for (int i = 0; i < surfaces; ++i) {
    int k = i / 6, f = i % 6;
    const int* c = faces[f];
    int adj = adjoinOf(i);
    int v0 = k * 8;
    int t0 = i * 4;
    line(
        "%d:\t%d\t0x%x\t0x%x\t4\t3\t%d\t%d\t0\t4 %d,%d %d,%d %d,%d %d,%d .0014 .0023 .0023 .0023 "
        ".2389 .3982 .3982 .3982 .3453 .5755 .5755 .5755 0 0 0 0",
        i, (i % 7 == 6) ? -1 : i % materials, adj >= 0 ? 0x4 : 0x4 | 0x1, adj >= 0 ? 0x2 : 0,
        adj >= 0 ? 0 : 4, adj, v0 + c[0], t0, v0 + c[1], t0 + 1, v0 + c[2], t0 + 2, v0 + c[3],
        t0 + 3);
  }
  line("");
  line("#--- Surface normals ---");
  for (int i = 0; i < surfaces; ++i) {
    const float* n = normals[i % 6];
    line("%d:\t%.6f\t%.6f\t%.6f", i, n[0], n[1], n[2]);
  }
  line("");
  line("Section: SECTORS");
  line("World sectors %d", sectors);
  line("");
  for (int k = 0; k < sectors; ++k) {
    int first = k * 6, count = surfaces - first < 6 ? surfaces - first : 6;
    line("SECTOR %d", k);
    line("FLAGS 0x0");
    line("AMBIENT LIGHT .578601");
    line("EXTRA LIGHT 0");
    line("COLORMAP 0");
    line("TINT 0 0 0");
    line("BOUNDBOX %.6f 0 0 %.6f .5 .5", k * 1.0, k + 0.5);
    line("CENTER %.6f .25 .25", k + 0.25);
    line("RADIUS .433013");
    line("VERTICES 8");
    for (int c = 0; c < 8; ++c) line("%d:\t%d", c, k * 8 + c);
    line("SURFACES %d %d", first, count);
    line("");
  }
  line("Section: TEMPLATES");
  line("World templates 2");
  line("_walk\tnone\torient=(0/0/0) type=actor");
  line("walkplayer\t_walk\tthingflags=0x20000401");
  line("end");
  line("");
  const int things = sectors / 10 + 1;
  line("Section: Things");
  line("World things %d", things + 100);
  line("#num template: name: X: Y: Z: Pitch: Yaw: Roll: Sector:");
  for (int i = 0; i < things; ++i)
    line("%d: walkplayer thing%d %.6f .25 .1 0.000000 %.6f 0.000000 %d thingflags=0x1", i, i,
         i * 10 + 0.25, (i * 37) % 360 * 1.0, i * 10);
  line("end");
  line("");
  const int lights = sectors / 20 + 1;
  line("Section: Lights");
  line("Editor lights %d", lights);
  for (int i = 0; i < lights; ++i)
    line("%d:\t%d\t%.6f\t.25\t.4\t%.4f\t%.4f", i, i, i * 20 + 0.25, 0.8, 2.0);
  line("end");
  return out;
}

// An 8-bit MAT texture of size x size texels in a pattern that depends on seed: one cel, one
// mip level, texture record first, as the level texture step reads it.
inline std::string GenerateMat(int size, int seed) {
  std::string b = "MAT ";
  auto i32 = [&](int32_t v) {
    for (int k = 0; k < 4; ++k)
      b += static_cast<char>((static_cast<uint32_t>(v) >> (8 * k)) & 0xFF);
  };
  i32(0x32), i32(2), i32(1), i32(1), i32(0), i32(8);
  b.resize(76, '\0');
  i32(8);
  b.resize(116, '\0');
  i32(size), i32(size), i32(0), i32(0), i32(0), i32(1);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) b += static_cast<char>(((x * 3) ^ (y * 5) ^ seed) & 0xFF);
  return b;
}
