// A generator of large, realistic JKL levels for the benchmarks: box-shaped sectors of six quads
// each, joined into a row by adjoins, with materials, texture vertices, normals, intensities,
// things and editor lights, written with the tabs, comments and number forms real files use.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

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

// Levels of a shape of one's own, for the benchmarks and tests of sealing: sectors made of
// polygons over a shared vertex table, adjoins paired by hand, things placed by hand. Coordinates
// are in level units (times Scale in the map). Each surface's corners are ordered so that its
// right-hand normal points into its sector, as the game's own levels have them.
struct TGenLevel {
  struct TSurf {
    std::vector<int> Corners;
    int Adjoin = -1;
    unsigned Flags = 0x4;
    double N[3] = {0, 0, 0};
    double Light = 0;   // the intensity at every corner
    bool Open = false;  // an adjoin drawn with no material
  };
  struct TSector {
    int First = 0, Count = 0;
    unsigned Flags = 0;  // 0x2: under water
    double Min[3] = {1e30, 1e30, 1e30}, Max[3] = {-1e30, -1e30, -1e30};
  };
  struct TThing {
    std::string Template;
    double P[3];
    double Yaw;
    int Sector;
  };
  std::vector<std::array<double, 3>> Vertices;
  std::vector<TSurf> Surfaces;
  std::vector<TSector> Sectors;
  std::vector<TThing> Things;
  std::vector<std::pair<int, int>> AdjoinPairs;  // surface indices
  std::vector<std::array<double, 5>> Lights;     // x, y, z, intensity, range

  int Vertex(double X, double Y, double Z) {
    Vertices.push_back({X, Y, Z});
    return static_cast<int>(Vertices.size()) - 1;
  }
  // Starts a sector; the surfaces added next belong to it.
  int BeginSector() {
    TSector s;
    s.First = static_cast<int>(Surfaces.size());
    Sectors.push_back(s);
    return static_cast<int>(Sectors.size()) - 1;
  }
  // A polygon of the current sector whose normal points towards Inside (reversing the corners
  // when needed).
  int Surface(std::vector<int> Corners, const std::array<double, 3>& Inside, unsigned Flags = 0x4) {
    double n[3] = {0, 0, 0}, c[3] = {0, 0, 0};
    for (size_t k = 0; k < Corners.size(); ++k) {
      const auto& a = Vertices[static_cast<size_t>(Corners[k])];
      const auto& b = Vertices[static_cast<size_t>(Corners[(k + 1) % Corners.size()])];
      n[0] += a[1] * b[2] - a[2] * b[1];
      n[1] += a[2] * b[0] - a[0] * b[2];
      n[2] += a[0] * b[1] - a[1] * b[0];
      for (int i = 0; i < 3; ++i) c[i] += a[static_cast<size_t>(i)] / Corners.size();
    }
    double d = 0, len = 0;
    for (int i = 0; i < 3; ++i)
      d += n[i] * (Inside[static_cast<size_t>(i)] - c[i]), len += n[i] * n[i];
    len = len > 0 ? std::sqrt(len) : 1;
    if (d < 0) {
      std::reverse(Corners.begin(), Corners.end());
      for (double& v : n) v = -v;
    }
    TSurf s;
    s.Corners = std::move(Corners);
    s.Flags = Flags;
    for (int i = 0; i < 3; ++i) s.N[i] = n[i] / len;
    Surfaces.push_back(std::move(s));
    TSector& sector = Sectors.back();
    sector.Count = static_cast<int>(Surfaces.size()) - sector.First;
    for (int v : Surfaces.back().Corners)
      for (int i = 0; i < 3; ++i) {
        sector.Min[i] =
            std::min(sector.Min[i], Vertices[static_cast<size_t>(v)][static_cast<size_t>(i)]);
        sector.Max[i] =
            std::max(sector.Max[i], Vertices[static_cast<size_t>(v)][static_cast<size_t>(i)]);
      }
    return static_cast<int>(Surfaces.size()) - 1;
  }
  // A box sector [Lo, Hi]; returns the index of its first surface: -X, +X, -Y, +Y, floor, ceiling.
  // CeilingFlags 0x200 makes the ceiling sky.
  int BoxSector(const std::array<double, 3>& Lo, const std::array<double, 3>& Hi,
                unsigned CeilingFlags = 0x4) {
    BeginSector();
    return Box(Lo, Hi, true, CeilingFlags);
  }
  // The six faces of a box in the current sector, facing in (a room) or out (a platform).
  int Box(const std::array<double, 3>& Lo, const std::array<double, 3>& Hi, bool In,
          unsigned TopFlags = 0x4) {
    int v[8];
    for (int c = 0; c < 8; ++c)
      v[c] = Vertex(c & 1 ? Hi[0] : Lo[0], c & 2 ? Hi[1] : Lo[1], c & 4 ? Hi[2] : Lo[2]);
    static const int faces[6][4] = {{0, 2, 6, 4}, {1, 5, 7, 3}, {0, 4, 5, 1},
                                    {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 6, 7, 5}};
    const std::array<double, 3> centre{(Lo[0] + Hi[0]) / 2, (Lo[1] + Hi[1]) / 2,
                                       (Lo[2] + Hi[2]) / 2};
    int first = -1;
    for (int f = 0; f < 6; ++f) {
      std::array<double, 3> towards = centre;
      if (!In) {  // a point outside, beyond the face
        const int axis = f / 2;
        towards[static_cast<size_t>(axis)] =
            f % 2 ? 2 * Hi[static_cast<size_t>(axis)] - Lo[static_cast<size_t>(axis)]
                  : 2 * Lo[static_cast<size_t>(axis)] - Hi[static_cast<size_t>(axis)];
      }
      const int s = Surface({v[faces[f][0]], v[faces[f][1]], v[faces[f][2]], v[faces[f][3]]},
                            towards, f == 5 ? TopFlags : 0x4);
      if (first < 0) first = s;
    }
    return first;
  }
  void Adjoin(int A, int B) {
    AdjoinPairs.push_back({A, B});
    Surfaces[static_cast<size_t>(A)].Adjoin = Surfaces[static_cast<size_t>(B)].Adjoin = 0;
  }
  void Thing(const char* Template, double X, double Y, double Z, double Yaw, int Sector) {
    Things.push_back({Template, {X, Y, Z}, Yaw, Sector});
  }

  std::string Text() const {
    std::string out;
    char buf[256];
    auto line = [&](const char* fmt, auto... args) {
      const int n = std::snprintf(buf, sizeof buf, fmt, args...);
      out.append(buf, static_cast<size_t>(n));
      out += "\r\n";
    };
    line("SECTION: JK");
    line("SECTION: HEADER");
    line("Version 1");
    line("SECTION: MATERIALS");
    line("World materials 2");
    line("0:\tgen_00.mat\t1.000000\t1.000000");
    line("1:\tgen_sky.mat\t1.000000\t1.000000");
    line("end");
    line("SECTION: GEORESOURCE");
    line("World vertices %d", static_cast<int>(Vertices.size()));
    for (size_t i = 0; i < Vertices.size(); ++i)
      line("%d:\t%.6f\t%.6f\t%.6f", static_cast<int>(i), Vertices[i][0], Vertices[i][1],
           Vertices[i][2]);
    line("World texture vertices 1");
    line("0:\t0.000000\t0.000000");
    // Adjoin k pairs with k ^ 1; surfaces take them in the order of the pairs.
    std::vector<int> adjoinOf(Surfaces.size(), -1);
    for (size_t k = 0; k < AdjoinPairs.size(); ++k) {
      adjoinOf[static_cast<size_t>(AdjoinPairs[k].first)] = static_cast<int>(2 * k);
      adjoinOf[static_cast<size_t>(AdjoinPairs[k].second)] = static_cast<int>(2 * k + 1);
    }
    line("World adjoins %d", static_cast<int>(2 * AdjoinPairs.size()));
    for (size_t a = 0; a < 2 * AdjoinPairs.size(); ++a)
      line("%d:\t0x7\t%d\t0.00", static_cast<int>(a), static_cast<int>(a ^ 1));
    line("World surfaces %d", static_cast<int>(Surfaces.size()));
    for (size_t i = 0; i < Surfaces.size(); ++i) {
      const TSurf& s = Surfaces[i];
      std::string corners;
      for (int v : s.Corners) corners += " " + std::to_string(v) + ",0";
      std::string light;
      char value[32];
      std::snprintf(value, sizeof value, " %g", s.Light);
      for (size_t k = 0; k < s.Corners.size(); ++k) light += value;
      const bool sky = (s.Flags & 0x600) != 0;
      line("%d:\t%d\t0x%x\t0x0\t%d\t3\t4\t%d\t0\t%d%s%s", static_cast<int>(i),
           s.Open ? -1
           : sky  ? 1
                  : 0,
           s.Flags, s.Open ? 0 : 4, adjoinOf[i], static_cast<int>(s.Corners.size()),
           corners.c_str(), light.c_str());
    }
    line("#--- Surface normals ---");
    for (size_t i = 0; i < Surfaces.size(); ++i)
      line("%d:\t%.6f\t%.6f\t%.6f", static_cast<int>(i), Surfaces[i].N[0], Surfaces[i].N[1],
           Surfaces[i].N[2]);
    line("Section: SECTORS");
    line("World sectors %d", static_cast<int>(Sectors.size()));
    for (size_t k = 0; k < Sectors.size(); ++k) {
      const TSector& s = Sectors[k];
      line("SECTOR %d", static_cast<int>(k));
      line("FLAGS 0x%x", s.Flags);
      line("AMBIENT LIGHT .5");
      line("EXTRA LIGHT 0");
      line("COLORMAP 0");
      line("BOUNDBOX %.6f %.6f %.6f %.6f %.6f %.6f", s.Min[0], s.Min[1], s.Min[2], s.Max[0],
           s.Max[1], s.Max[2]);
      line("SURFACES %d %d", s.First, s.Count);
    }
    line("Section: TEMPLATES");
    line("World templates 3");
    line("_walk\tnone\torient=(0/0/0) type=actor");
    line("walkplayer\t_walk\tthingflags=0x20000401");
    line("ghost\tnone\torient=(0/0/0) type=ghost");
    line("end");
    line("Section: Things");
    line("World things %d", static_cast<int>(Things.size()));
    for (size_t i = 0; i < Things.size(); ++i) {
      const TThing& t = Things[i];
      line("%d: %s thing%d %.6f %.6f %.6f 0.000000 %.6f 0.000000 %d", static_cast<int>(i),
           t.Template.c_str(), static_cast<int>(i), t.P[0], t.P[1], t.P[2], t.Yaw, t.Sector);
    }
    line("end");
    if (!Lights.empty()) {
      line("Section: Lights");
      line("Editor lights %d", static_cast<int>(Lights.size()));
      for (size_t i = 0; i < Lights.size(); ++i)
        line("%d:\t%d\t%.6f\t%.6f\t%.6f\t%.4f\t%.4f", static_cast<int>(i), static_cast<int>(i),
             Lights[i][0], Lights[i][1], Lights[i][2], Lights[i][3], Lights[i][4]);
      line("end");
    }
    return out;
  }
};

// A few huge sectors of open air: a 2 x 2 grid of boxes together Span level units across and
// Height high under a sky ceiling, each holding a floating platform, and one player start.
inline std::string GenerateOpenAir(double Span = 312.5, double Height = 40) {
  TGenLevel g;
  const double h = Span / 2;
  int first[2][2];
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      const std::array<double, 3> lo{-h + i * h, -h + j * h, 0}, hi{i * h, j * h, Height};
      first[i][j] = g.BoxSector(lo, hi, 0x200);
      const double cx = (lo[0] + hi[0]) / 2, cy = (lo[1] + hi[1]) / 2;
      g.Box({cx - 8, cy - 8, Height / 4}, {cx + 8, cy + 8, Height / 4 + 1}, false);
    }
  for (int j = 0; j < 2; ++j) g.Adjoin(first[0][j] + 1, first[1][j] + 0);
  for (int i = 0; i < 2; ++i) g.Adjoin(first[i][0] + 3, first[i][1] + 2);
  g.Thing("walkplayer", -h / 2, -h / 2, 0.2, 45, 0);
  return g.Text();
}

// Many small sectors over a large area: Islands x Islands rows of Rooms box rooms (4 x 4 x 2
// level units, joined by adjoins along x), the rows Spacing apart, a player start in each row.
inline std::string GenerateIslands(int Islands = 10, int Rooms = 4, double Spacing = 30) {
  TGenLevel g;
  const double origin = -Islands * Spacing / 2;
  for (int a = 0; a < Islands; ++a)
    for (int b = 0; b < Islands; ++b) {
      const double x0 = origin + a * Spacing, y0 = origin + b * Spacing;
      int previous = -1;
      for (int r = 0; r < Rooms; ++r) {
        const int sector = static_cast<int>(g.Sectors.size());
        const int first = g.BoxSector({x0 + r * 4.0, y0, 0}, {x0 + r * 4.0 + 4, y0 + 4, 2});
        if (previous >= 0) g.Adjoin(previous + 1, first);
        previous = first;
        if (r == 0) g.Thing("walkplayer", x0 + 2, y0 + 2, 0.2, 0, sector);
      }
    }
  return g.Text();
}

// One box room Size level units wide and deep, 4 high; with Sharing > 1, that many sectors all
// list the room's six surfaces.
inline std::string GenerateRoom(double Size, int Sharing = 1) {
  TGenLevel g;
  g.BoxSector({-Size / 2, -Size / 2, 0}, {Size / 2, Size / 2, 4});
  for (int k = 1; k < Sharing; ++k) g.Sectors.push_back(g.Sectors[0]);
  g.Thing("walkplayer", 0, 0, 0.2, 0, 0);
  return g.Text();
}

// One sloped triangle: a tetrahedron sector Size level units on its three axis edges, its long
// face slanted against every axis.
inline std::string GenerateSlope(double Size = 250) {
  TGenLevel g;
  g.BeginSector();
  const double o = -Size / 2;
  const int a = g.Vertex(o, o, o), b = g.Vertex(o + Size, o, o), c = g.Vertex(o, o + Size, o),
            d = g.Vertex(o, o, o + Size);
  const std::array<double, 3> inside{o + Size / 8, o + Size / 8, o + Size / 8};
  g.Surface({a, b, c}, inside);
  g.Surface({a, b, d}, inside);
  g.Surface({a, c, d}, inside);
  g.Surface({b, c, d}, inside);
  g.Thing("walkplayer", inside[0], inside[1], inside[2], 0, 0);
  return g.Text();
}

// Many entities: Side x Side box rooms (2 level units wide), rows joined along x, with
// PerRoom things in each.
inline std::string GenerateCrowd(int Side = 24, int PerRoom = 6) {
  TGenLevel g;
  for (int j = 0; j < Side; ++j) {
    int previous = -1;
    for (int i = 0; i < Side; ++i) {
      const int sector = static_cast<int>(g.Sectors.size());
      const double x = (i - Side / 2) * 2.0, y = (j - Side / 2) * 3.0;
      const int first = g.BoxSector({x, y, 0}, {x + 2, y + 2, 2});
      if (previous >= 0) g.Adjoin(previous + 1, first);
      previous = first;
      for (int k = 0; k < PerRoom; ++k)
        g.Thing(k == 0 && i == 0 ? "walkplayer" : "ghost", x + 0.3 + 0.25 * k, y + 1, 0.5, 30.0 * k,
                sector);
    }
  }
  return g.Text();
}

// Rooms on a grid, Count sectors in all (the grid as square as it goes): each a box 1 level unit
// across and 0.75 high (so that 50,000 of them stay within the world's edge at Scale 256), joined to its neighbours along x and y by adjoins. Blocks of 5 x 5 rooms
// alternate under a roof and under the sky (twice as high); every eleventh room is an
// underwater pool; an editor light in every fourth room, a thing in every tenth, and the
// surfaces' corners lit in a pattern that the light fit has to work for.
inline std::string GenerateGridLevel(int Count) {
  TGenLevel g;
  const int side = std::max(1, static_cast<int>(std::ceil(std::sqrt(static_cast<double>(Count)))));
  std::vector<int> first(static_cast<size_t>(Count));
  for (int k = 0; k < Count; ++k) {
    const int i = k % side, j = k / side;
    const bool outdoor = ((i / 5) + (j / 5)) % 2 == 1;
    const double x = i * 1.0, y = j * 1.0, top = outdoor ? 1.5 : 0.75;
    first[static_cast<size_t>(k)] =
        g.BoxSector({x, y, 0}, {x + 4, y + 4, top}, outdoor ? 0x200u : 0x4u);
    if (k % 11 == 5) g.Sectors.back().Flags = 0x2;
    for (int f = 0; f < 6; ++f)
      g.Surfaces[static_cast<size_t>(first[static_cast<size_t>(k)] + f)].Light =
          0.2 + 0.1 * ((k * 7 + f * 3) % 7);
    auto open = [&g](int A, int B) {
      g.Adjoin(A, B);
      g.Surfaces[static_cast<size_t>(A)].Open = g.Surfaces[static_cast<size_t>(B)].Open = true;
    };
    if (i > 0) open(first[static_cast<size_t>(k - 1)] + 1, first[static_cast<size_t>(k)]);
    if (j > 0) open(first[static_cast<size_t>(k - side)] + 3, first[static_cast<size_t>(k)] + 2);
    if (k % 4 == 0) g.Lights.push_back({x + 0.5, y + 0.5, 0.6, 0.8, 1.5});
    if (k % 10 == 0) g.Thing(k == 0 ? "walkplayer" : "ghost", x + 0.5, y + 0.5, 0.2, 0, k);
  }
  return g.Text();
}
