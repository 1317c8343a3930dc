// The game's light baked into a compiled level: a level whose light is known by hand, imported
// with its fitted lights, and a compiled level built around it.
#include "light/LightBake.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "bsp/Rbsp.h"
#include "light/GameLightFile.h"
#include "rtl/Files.h"
#include "support/CliRun.h"
#include "support/JklText.h"
#include "support/TestSupport.h"

using testing_support::Morvane;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// A floor of 1 x 1 level units (256 x 256 map units) whose corners the game lit 0, .2, .6 and 1,
// with .1 of extra light, and a second floor beside it.
std::string LitFloorLevel() {
  jkl_text::TJklLevel l;
  l.Vertices = {"0 0 0", "1 0 0", "1 1 0", "0 1 0", "2 0 0", "3 0 0", "3 1 0"};
  l.Surfaces = {{0, 1, 2, 3}, {4, 5, 6}};
  l.Extra = {"0.1", "0"};
  l.Intensities = {{"0", "0.2", "0.6", "1"}};
  return l.Text();
}

constexpr uint8_t Untouched = 77;

// One square compiled surface: its corners from Origin along U and V (Size units), 8 units a
// luxel, its first corner's luxel centre at (Luxel, Luxel) of page 0.
void AddSquare(std::vector<bsp::TSurface>& Surfaces, std::vector<bsp::TDrawVert>& Verts,
               std::vector<uint8_t>& Indexes, const float Origin[3], int U, int V, float Size,
               const float Normal[3], float Luxel) {
  bsp::TSurface s;
  s.Type = bsp::SurfacePlanar, s.FirstVert = static_cast<int>(Verts.size()), s.NumVerts = 4;
  s.FirstIndex = static_cast<int>(Indexes.size() / 4), s.NumIndexes = 6, s.LightmapNum = 0;
  for (int k = 0; k < 4; ++k) {
    const float du = (k == 1 || k == 2) ? Size : 0, dv = k >= 2 ? Size : 0;
    bsp::TDrawVert v{{Origin[0], Origin[1], Origin[2]},
                     {(Luxel + du / 8) / bsp::LightmapSize, (Luxel + dv / 8) / bsp::LightmapSize},
                     {Normal[0], Normal[1], Normal[2]}};
    v.Xyz[U] += du, v.Xyz[V] += dv;
    Verts.push_back(v);
  }
  for (int i : {0, 2, 1, 0, 3, 2})  // wound as the compiler winds a front face
    for (int b = 0; b < 4; ++b) Indexes.push_back(static_cast<uint8_t>(b == 0 ? i : 0));
  Surfaces.push_back(s);
}

// The compiled level: the lit floor, a wall off any surface of the level and a floor in the
// level's plane far from it, every luxel of its one page at Untouched.
std::vector<uint8_t> CompiledLevel(const std::string& Id) {
  std::vector<bsp::TSurface> surfaces;
  std::vector<bsp::TDrawVert> verts;
  std::vector<uint8_t> indexes;
  const float up[3] = {0, 0, 1}, west[3] = {-1, 0, 0};
  const float floor[3] = {0, 0, 0}, wall[3] = {1000, 0, 0}, far[3] = {5000, 0, 0};
  AddSquare(surfaces, verts, indexes, floor, 0, 1, 256, up, 8.5f);
  AddSquare(surfaces, verts, indexes, wall, 1, 2, 128, west, 64.5f);
  AddSquare(surfaces, verts, indexes, far, 0, 1, 128, up, 96.5f);
  const std::string entities =
      "{\n\"classname\" \"worldspawn\"\n\"" + std::string(IdKey) + "\" \"" + Id + "\"\n}\n";
  std::vector<std::vector<uint8_t>> lumps(bsp::LumpCount);
  lumps[bsp::LumpEntities].assign(entities.begin(), entities.end() + 1);
  lumps[bsp::LumpDrawVerts] = bsp::VertBytes(verts);
  lumps[bsp::LumpDrawIndexes] = indexes;
  lumps[bsp::LumpSurfaces] = bsp::SurfaceBytes(surfaces);
  lumps[bsp::LumpLightmaps].assign(bsp::LightmapBytes, Untouched);
  return bsp::BuildRbsp(lumps);
}

struct TImported {
  std::string Bsp, Light;
};

TImported ImportAndCompile(const TempDir& Dir, const std::string& Id = std::string()) {
  WriteFile(Dir / "floor.jkl", LitFloorLevel());
  WriteFile(Dir / "m.ini", "");
  const auto run =
      Morvane({"import", Dir / "floor.jkl", "--game-dir", Dir.Folder("game"), "--settings",
               Dir / "m.ini", "--map", Dir / "floor.map", "--entities", "--lights"});
  EXPECT_EQ(run.code, 0) << run.err;
  const std::string light = ReadFile(Dir / "floor.gamelight");
  const TGameLightFile file = ParseGameLight(light, "floor.gamelight");
  // The map carries the file's identity, which the compiler copies into the compiled level.
  EXPECT_NE(ReadFile(Dir / "floor.map").find("\"" + std::string(IdKey) + "\" \"" + file.Id + "\""),
            std::string::npos);
  const std::vector<uint8_t> bsp = CompiledLevel(Id.empty() ? file.Id : Id);
  WriteFile(Dir / "floor.bsp", std::string(bsp.begin(), bsp.end()));
  return {std::string(bsp.begin(), bsp.end()), light};
}

size_t LuxelAt(const std::string& Bsp, int X, int Y) {
  const bsp::TRbsp file = bsp::ReadRbsp(std::vector<uint8_t>(Bsp.begin(), Bsp.end()));
  return file.LightmapOffset + (static_cast<size_t>(Y) * bsp::LightmapSize + X) * 3;
}

}  // namespace

// Inside the floor each luxel holds the game's corner light interpolated over the triangle of the
// game's fan that holds it (not over the square), plus the extra light, times the lightmap unit;
// a luxel along the border takes the light of the nearest edge. Every byte outside the floor's
// luxels is as the compiler left it: the wall and the far floor lie on no lit surface.
TEST(LightBake, LuxelsHoldTheInterpolatedCornerLight) {
  TempDir dir;
  const TImported before = ImportAndCompile(dir);
  const auto run = Morvane({"bake", dir / "floor.bsp"});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_NE(run.out.find("of 1 of 3 lightmapped surfaces"), std::string::npos) << run.out;
  const std::string after = ReadFile(dir / "floor.bsp");
  ASSERT_EQ(after.size(), before.Bsp.size());
  struct TCase {
    int X, Y;
    double Light;  // the game's light there, by hand
  };
  for (const TCase& c : std::vector<TCase>{
           {32, 16, .25 * 0 + .5 * .2 + .25 * .6 + .1},  // (192, 64): the fan's first triangle
           {16, 32, .25 * 0 + .25 * .6 + .5 * 1 + .1},   // (64, 192): its second
           {24, 24, (0 + .6) / 2 + .1},                  // the centre, on the diagonal
           {7, 16, .75 * 0 + .25 * 1 + .1}}) {           // 8 units out of the west edge
    const size_t at = LuxelAt(after, c.X, c.Y);
    const int want = static_cast<int>(std::lround(LightUnit * c.Light));
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(static_cast<uint8_t>(after[at + k]), want) << c.X << "," << c.Y;
  }
  size_t changed = 0;
  const size_t page = LuxelAt(after, 0, 0);
  for (size_t i = 0; i < after.size(); ++i) {
    if (after[i] == before.Bsp[i]) continue;
    ++changed;
    const size_t luxel = (i - page) / 3;
    const int x = static_cast<int>(luxel % bsp::LightmapSize);
    const int y = static_cast<int>(luxel / bsp::LightmapSize);
    ASSERT_TRUE(i >= page && x >= 7 && x <= 42 && y >= 7 && y <= 42)
        << "byte " << i << " (luxel " << x << "," << y << ") changed";
  }
  EXPECT_GE(changed, 32u * 32 * 3);
}

// The bake refuses what is not its own, each with words saying what to do, and leaves the
// compiled level as it was: no light file, a light file of another map, a changed light file, a
// compiled level that is no RBSP file or whose surfaces point outside their lumps.
TEST(LightBake, RefusesAndLeavesTheLevelAsItWas) {
  TempDir dir;
  struct TCase {
    std::string Name, Said;
    std::function<void(const TImported&)> Spoil;
  };
  const std::vector<TCase> cases = {
      {"missing", "No game light file",
       [&dir](const TImported&) { rtl::DeleteFile(dir / "floor.gamelight"); }},
      {"another map", "belongs to another map",
       [&dir](const TImported&) {
         const std::vector<uint8_t> other = CompiledLevel("0123456789abcdef");
         WriteFile(dir / "floor.bsp", std::string(other.begin(), other.end()));
       }},
      {"changed", "does not match its polygons",
       [&dir](const TImported& in) {
         std::string text = in.Light;
         text[text.rfind('1')] = '2';
         WriteFile(dir / "floor.gamelight", text);
       }},
      {"not rbsp", "Not a compiled JK2 level",
       [&dir](const TImported& in) { WriteFile(dir / "floor.bsp", "IBSP" + in.Bsp.substr(4)); }},
      {"index out", "has an index outside its vertices", [&dir](const TImported& in) {
         // The first index of the first surface points past its four vertices.
         std::string b = in.Bsp;
         const size_t entry = 8 + 8 * bsp::LumpDrawIndexes;
         const size_t indexes = static_cast<uint8_t>(b[entry]) |
                                static_cast<size_t>(static_cast<uint8_t>(b[entry + 1])) << 8;
         b[indexes] = 9;
         WriteFile(dir / "floor.bsp", b);
       }}};
  for (const TCase& c : cases) {
    const TImported in = ImportAndCompile(dir);
    c.Spoil(in);
    const std::string spoiled = ReadFile(dir / "floor.bsp");
    const auto run = Morvane({"bake", dir / "floor.bsp"});
    EXPECT_EQ(run.code, 1) << c.Name;
    EXPECT_NE(run.err.find(c.Said), std::string::npos) << c.Name << ": " << run.err;
    EXPECT_EQ(ReadFile(dir / "floor.bsp"), spoiled) << c.Name;
  }
  // Without the fitted lights the import leaves no light file and no identity in the map.
  rtl::DeleteFile(dir / "floor.gamelight");
  ASSERT_EQ(Morvane({"import", dir / "floor.jkl", "--game-dir", dir.Folder("game"), "--settings",
                     dir / "m.ini", "--map", dir / "floor.map", "--entities"})
                .code,
            0);
  EXPECT_FALSE(rtl::FileExists(dir / "floor.gamelight"));
  EXPECT_EQ(ReadFile(dir / "floor.map").find(IdKey), std::string::npos);
}
