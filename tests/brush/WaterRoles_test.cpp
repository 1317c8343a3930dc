// What the game does with each surface (walls, water, glass, passable openings), the water a
// player swims in, and the lights written for a light compiler.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "brush/BrushConvert.h"
#include "brush/FaceRoles.h"
#include "brush/FrontFaces.h"
#include "brush/WaterVolumes.h"
#include "import/BrushStages.h"
#include "import/MapEntities.h"
#include "import/Pipeline.h"
#include "level/O_jkl.h"
#include "light/GameLightFile.h"
#include "light/LightFit.h"
#include "rtl/Files.h"
#include "support/TestSupport.h"
#include "texture/ShaderScript.h"

namespace {

// Two unit cubes stacked: sector 0 (z 0..1) below sector 1 (z 1..2), joined by the drawn pair of
// surfaces 5 (sector 0's ceiling) and 6 (sector 1's floor). Every other surface is a wall of
// rock.mat; the pair's material is Opening. Corners run counter-clockwise seen from inside.
struct TStack {
  int LowerFlags = 0;                   // sector 0's FLAGS
  const char* AdjoinFlags = "0x7";      // both adjoins
  const char* Opening = "1";            // the pair's material index: 0 rock, 1 glass
  const char* OpeningFlags = "0x0";     // the pair's surface flags
  const char* LowerCeiling = "0 0 -1";  // sector 0 ceiling's normal
  std::string Lights;                   // lines of the LIGHTS table
  std::string Text() const {
    std::string t =
        "SECTION: MATERIALS\nWorld materials 2\n0: rock.mat\n1: glass.mat\nend\n"
        "SECTION: GEORESOURCE\nWorld vertices 12\n"
        "0: 0 0 0\n1: 1 0 0\n2: 1 1 0\n3: 0 1 0\n4: 0 0 1\n5: 1 0 1\n6: 1 1 1\n7: 0 1 1\n"
        "8: 0 0 2\n9: 1 0 2\n10: 1 1 2\n11: 0 1 2\n"
        "World texture vertices 1\n0: 0 0\n"
        "World adjoins 2\n0: " +
        std::string(AdjoinFlags) + " 1 0\n1: " + AdjoinFlags +
        " 0 0\n"
        "World surfaces 12\n";
    auto surface = [&t](int i, const char* mat, const char* flags, const char* face, int adjoin,
                        const char* extra, const char* corners) {
      t += std::to_string(i) + ": " + mat + " " + flags + " " + face + " 4 3 0 " +
           std::to_string(adjoin) + " " + extra + " 4 " + corners + " .5 .5 .5 .5\n";
    };
    // Sector 0: floor, four walls, ceiling (the opening).
    surface(0, "0", "0x4", "0x0", -1, "0", "0,0 1,0 2,0 3,0");
    surface(1, "0", "0x4", "0x0", -1, "0", "0,0 4,0 5,0 1,0");
    surface(2, "0", "0x4", "0x0", -1, "0", "1,0 5,0 6,0 2,0");
    surface(3, "0", "0x4", "0x0", -1, "0", "2,0 6,0 7,0 3,0");
    surface(4, "0", "0x4", "0x0", -1, "0", "3,0 7,0 4,0 0,0");
    surface(5, Opening, OpeningFlags, "0x2", 0, "0", "4,0 7,0 6,0 5,0");
    // Sector 1: floor (the opening), four walls, ceiling.
    surface(6, Opening, OpeningFlags, "0x2", 1, "0", "4,0 5,0 6,0 7,0");
    surface(7, "0", "0x4", "0x0", -1, "0", "4,0 8,0 9,0 5,0");
    surface(8, "0", "0x4", "0x0", -1, "0", "5,0 9,0 10,0 6,0");
    surface(9, "0", "0x4", "0x0", -1, "0", "6,0 10,0 11,0 7,0");
    surface(10, "0", "0x4", "0x0", -1, "0", "7,0 11,0 8,0 4,0");
    surface(11, "0", "0x4", "0x0", -1, ".25", "8,0 11,0 10,0 9,0");
    t += std::string("0: 0 0 1\n1: 0 1 0\n2: -1 0 0\n3: 0 -1 0\n4: 1 0 0\n5: ") + LowerCeiling +
         "\n6: 0 0 1\n7: 0 1 0\n8: -1 0 0\n9: 0 -1 0\n10: 1 0 0\n11: 0 0 -1\n";
    t += "SECTION: SECTORS\nWorld sectors 2\nSECTOR 0\nFLAGS " + std::to_string(LowerFlags) +
         "\nEXTRA LIGHT 0\nSURFACES 0 6\nSECTOR 1\nFLAGS 0x0\nEXTRA LIGHT .5\nSURFACES 6 6\n"
         "SECTION: THINGS\nWorld things 0\nend\n";
    if (!Lights.empty()) t += "SECTION: LIGHTS\nEditor lights 9\n" + Lights + "end\n";
    return t;
  }
};

void Load(const TStack& Stack, TJKLevel& Level) {
  const std::string text = Stack.Text();
  Level.LoadFromText(text.data(), text.size());
  Level.Name = "lvl";
}

TImportOptions Options(bool Water) {
  TImportOptions o;
  o.ImportAdjoins = o.Shaders = true;
  o.WaterVolumes = Water;
  return o;
}

// "material suffix" of each role use, in order.
std::vector<std::string> Uses(const TBrushLevel& BrushLevel) {
  std::vector<std::string> out;
  for (const TRoleUse& u : RoleUses(BrushLevel)) out.push_back(u.Material + " " + u.Suffix);
  return out;
}

}  // namespace

TEST(FaceRoles, EachUseOfAMaterialNamesItsOwnShader) {
  struct {
    const char* name;
    int lowerFlags;
    const char* adjoinFlags;
    const char* opening;
    bool water;
    std::vector<std::string> uses;
  } cases[] = {
      // A material on walls and on an opening into water: the walls keep its name and its
      // solidity, the water surface and the volume get shaders of their own.
      {"rock water", 2, "0x7", "0", true, {"rock.mat _water", "rock.mat _volume"}},
      // Without --water the same opening is only a passable see-through surface.
      {"rock passable", 2, "0x7", "0", false, {"rock.mat _pass"}},
      // The adjoin stops the player (movement flag 0x2 clear): glass, solid, water behind it
      // or not.
      {"rock tank", 2, "0x5", "0", true, {"rock.mat _block", "rock.mat _volume"}},
      {"rock glass", 0, "0x5", "0", false, {"rock.mat _block"}},
      // A material used in one way keeps its own name for that way.
      {"glass alone", 0, "0x5", "1", false, {"glass.mat "}},
      {"glass passable", 0, "0x7", "1", false, {"glass.mat "}},
  };
  for (const auto& c : cases) {
    TStack stack;
    stack.LowerFlags = c.lowerFlags;
    stack.AdjoinFlags = c.adjoinFlags;
    stack.Opening = c.opening;
    TJKLevel level;
    Load(stack, level);
    TBrushLevel out;
    MakeBrushLevel(level, out, nullptr, Options(c.water));
    EXPECT_EQ(Uses(out), c.uses) << c.name;
    // No wall carries a suffix: an ordinary wall needs no shader, so it never becomes see-through.
    for (int i = 0; i < out.Brushes.Count(); ++i) {
      const T3DMesh* brush = out.Brushes.Items(i);
      if (brush->Brush.Kind == TBrushKind::Slab) {
        EXPECT_STREQ(brush->Surfaces.Items(0)->TextureSuffix, "") << c.name << " brush " << i;
      }
    }
  }

  // The roles decide what the shaders say: glass blocks, a passable opening does not, water is
  // a liquid, its volume is drawn as nothing.
  TStack stack;
  stack.LowerFlags = 2;
  TJKLevel level;
  Load(stack, level);
  EXPECT_EQ(level.SectorFlags, (std::vector<int32_t>{2, 0}));
  EXPECT_EQ(level.AdjoinFlags, (std::vector<int32_t>{7, 7}));
  const TFaceRoles roles(level, true);
  EXPECT_EQ(roles.Of(*level.Surfaces.Items(5)), TFaceRole::Water);
  EXPECT_EQ(roles.Of(*level.Surfaces.Items(0)), TFaceRole::Solid);
  const TFaceRoles dry(level, false);
  EXPECT_EQ(dry.Of(*level.Surfaces.Items(5)), TFaceRole::PassableAdjoin);
}

TEST(ShaderScript, RolesSayWhatTheGameDoes) {
  TShaderEntry glass, water, volume;
  glass.Name = "lvl/rock_block", glass.Image = "textures/lvl/rock.tga";
  glass.Translucent = glass.SeeThrough = true;
  water = glass, water.Name = "lvl/rock_water", water.NonSolid = water.Water = true;
  volume.Name = "lvl/rock_volume", volume.Image = glass.Image;
  volume.NonSolid = volume.Water = volume.Invisible = true;
  const std::string g = ShaderScript({glass}), w = ShaderScript({water}),
                    v = ShaderScript({volume});
  // See-through surfaces are lit like the walls: a lightmap stage, never "nolightmap".
  EXPECT_NE(g.find("map $lightmap"), std::string::npos);
  EXPECT_EQ(g.find("nolightmap"), std::string::npos);
  EXPECT_EQ(g.find("nonsolid"), std::string::npos);
  EXPECT_NE(w.find("surfaceparm nonsolid\n\tsurfaceparm water\n"), std::string::npos);
  EXPECT_EQ(v,
            "textures/lvl/rock_volume\n{\n\tqer_editorimage textures/lvl/rock.tga\n"
            "\tqer_trans 0.3\n\tsurfaceparm trans\n\tsurfaceparm nonsolid\n\tsurfaceparm water\n"
            "\tsurfaceparm nodraw\n\tsurfaceparm nolightmap\n}\n");
}

TEST(WaterVolumes, AnUnderwaterSectorBecomesOneBrushOfItsShape) {
  TStack stack;
  stack.LowerFlags = 2;
  TJKLevel level;
  Load(stack, level);
  TBrushLevel out;
  std::vector<std::string> console;
  TSlabSettings slab;
  MakeBrushLevel(level, out, nullptr, Options(true), &slab,
                 [&console](const std::string& line) { console.push_back(line); });
  int volumes = 0;
  for (int i = 0; i < out.Brushes.Count(); ++i) {
    const T3DMesh* brush = out.Brushes.Items(i);
    if (brush->Brush.Kind != TBrushKind::WaterVolume) continue;
    ++volumes;
    ASSERT_EQ(brush->Surfaces.Count(), 6);
    // Every face plane, as the editor reads it from the three hand-off points, faces out: the
    // sector's centre lies behind each, and its corners on it or behind.
    for (int f = 0; f < 6; ++f) {
      const TSurface& face = *brush->Surfaces.Items(f);
      EXPECT_STREQ(face.TextureSuffix, "_volume");
      float p1[3], p2[3], p3[3];
      HandOffPoints(face, p1, p2, p3);
      const double a[3] = {p1[0] - p2[0], p1[1] - p2[1], p1[2] - p2[2]};
      const double b[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
      const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2],
                           a[0] * b[1] - a[1] * b[0]};
      auto side = [&](double x, double y, double z) {
        return n[0] * (x - p1[0]) + n[1] * (y - p1[1]) + n[2] * (z - p1[2]);
      };
      EXPECT_LT(side(128, 128, 128), 0) << "face " << f;
      for (double x : {0, 256})
        for (double y : {0, 256})
          for (double z : {0, 256}) EXPECT_LE(side(x, y, z), 1e-6) << "face " << f;
    }
  }
  EXPECT_EQ(volumes, 1);
  EXPECT_NE(
      std::find(console.begin(), console.end(), "1 underwater sectors became 1 water volumes"),
      console.end());

  // Water is liquid only through its shader: --water alone writes the script.
  testing_support::TempDir dir;
  testing_support::WriteFile(dir / "lvl.jkl", stack.Text());
  TImportRequest request;
  request.Path = dir / "lvl.jkl";
  request.Textures.InstallPath = dir / "game";
  request.Textures.OutputTexFormat = "tga";
  request.Options.WaterVolumes = true;
  ASSERT_TRUE(RunImport(request).Succeeded());
  const std::string script =
      testing_support::ReadFile(dir / "game/GameData/base/shaders/lvl.shader");
  // In the material of the sector's drawn opening, though no brush shows the opening here.
  EXPECT_NE(script.find("textures/lvl/glass_volume\n"), std::string::npos) << script;

  // A sector whose corners stand outside one of its planes is not convex: no brush, one line.
  stack.LowerCeiling = "0 0 1";
  TJKLevel bent;
  Load(stack, bent);
  TFaceRoles roles(bent, true);
  T3DMeshList brushes;
  const TWaterVolumeCount count = AddWaterVolumes(bent, roles, 256, brushes);
  EXPECT_EQ(count.Sectors, 1);
  EXPECT_EQ(count.Brushes, 0);
  EXPECT_EQ(count.NotConvex, 1);
  EXPECT_EQ(brushes.Count(), 0);
}

TEST(LightFit, LinearLightsEndAtTheirRangeAndNegativeOnesAreDropped) {
  TStack stack;
  stack.Lights =
      "0: 0 .5 .5 .5 2 3\n"    // intensity 2, range 3
      "1: 0 .5 .5 1.5 -1 2\n"  // takes light away: the compiler cannot
      "2: 0 .5 .5 1.5 1 0\n";  // no range: lights nothing
  TJKLevel level;
  Load(stack, level);
  const TLightFit fit = CalibratedLights(level, 256);
  EXPECT_EQ(fit.DroppedNegative, 1);
  EXPECT_EQ(fit.DroppedNoRange, 1);
  ASSERT_GE(fit.Lights.size(), 1u);
  const TFitLight& light = fit.Lights[0];
  EXPECT_EQ(light.Source, 0);
  EXPECT_FLOAT_EQ(light.Origin.Z, 128);
  // The game's full light at the light, none at its range, in a straight line between.
  EXPECT_NEAR(LinearLightAt(light, 0), LightUnit * 2, 1e-3);
  EXPECT_NEAR(LinearLightAt(light, 1.5 * 256), LightUnit, 1e-3);
  EXPECT_EQ(LinearLightAt(light, 3 * 256 + 1), 0);
  // Extra light: 0 on sector 0's six surfaces, .5 (the sector's) on five of sector 1's and .75
  // on its ceiling; the mean is the floor, the brighter sector gets a fill light.
  const double mean = (5 * .5 + .75) / 12;
  EXPECT_NEAR(fit.MinLight, LightUnit * mean, 1e-3);
  ASSERT_EQ(fit.Lights.size(), 2u);
  EXPECT_EQ(fit.Lights[1].Sector, 1);
  EXPECT_NEAR(LinearLightAt(fit.Lights[1], 0), LightUnit * ((5 * .5 + .75) / 6 - mean), 1e-3);

  // The fit to the corners' light (every light reaches every corner of the two sectors here)
  // comes closer to the game's light than the lights it starts from.
  auto error = [&level](const TLightFit& lights, bool floor) {
    double sum = 0;
    int n = 0;
    for (int i = 0; i < level.Surfaces.Count(); ++i) {
      const TSurface* s = level.Surfaces.Items(i);
      const TJKLevel::TSurfaceLight& l = level.SurfaceLights[static_cast<size_t>(i)];
      const double sectorExtra = i < 6 ? 0 : .5;
      for (int c = 0; c < s->Vertices.Count(); ++c) {
        const TVertex* v = s->Vertices.Items(c);
        double got = lights.Ambient;
        for (const TFitLight& f : lights.Lights) {
          const double dx = f.Origin.X - 256 * v->X, dy = f.Origin.Y - 256 * v->Y,
                       dz = f.Origin.Z - 256 * v->Z;
          if (dx * s->Normal.X + dy * s->Normal.Y + dz * s->Normal.Z > 0)
            got += LinearLightAt(f, std::sqrt(dx * dx + dy * dy + dz * dz));
        }
        if (floor) got = std::fmax(got, lights.MinLight);
        const double target =
            std::fmin(1, level.Intensities[l.First + c] + l.ExtraLight + sectorExtra);
        sum += std::fabs(got / LightUnit - target), ++n;
      }
    }
    return sum / n;
  };
  const TLightFit fitted = FitGameLights(level, 256);
  EXPECT_EQ(fitted.DroppedNegative, 1);
  EXPECT_LT(error(fitted, false), 0.25 * error(fit, true));

  // The conversion fits them only for a map that writes entities, and counts the dropped ones.
  std::vector<std::string> console;
  TImportOptions o;
  o.GameLights = o.WritesEntities = true;
  TBrushLevel out;
  TSlabSettings slab;
  std::unique_ptr<TLightFit> lights;
  MakeBrushLevel(
      level, out, nullptr, o, &slab,
      [&console](const std::string& line) { console.push_back(line); }, &lights);
  ASSERT_TRUE(lights);
  EXPECT_NE(std::find(console.begin(), console.end(),
                      "1 negative lights left out: the compiler cannot take light away"),
            console.end());
  // The map's lights are the fitted ones, linear, and the worldspawn carries the floor.
  const std::vector<TMapEntity> entities = MapEntities(level, out, 256, nullptr, lights.get());
  ASSERT_EQ(entities.size(), lights->Lights.size());
  for (const TMapEntity& e : entities) {
    ASSERT_EQ(e.Keys.size(), 5u);
    EXPECT_EQ(e.Keys[0], (std::pair<std::string, std::string>{"classname", "light"}));
    EXPECT_EQ(e.Keys[3].first, "fade");
    EXPECT_EQ(e.Keys[4], (std::pair<std::string, std::string>{"spawnflags", "1"}));
  }
  // The fourth key ties the map to the game light file written beside it.
  ASSERT_EQ(WorldspawnKeys(lights.get()).size(), 4u);
  EXPECT_EQ(WorldspawnKeys(lights.get())[3].second, GameLightId(lights->Lit));
  o.WritesEntities = false;
  TBrushLevel none;
  MakeBrushLevel(level, none, nullptr, o, &slab, nullptr, &lights);
  EXPECT_FALSE(lights);
}

// Sectors that list the surfaces of another are one room: each surface gives one slab, the
// water one hull, the light fit one set of corners (the fit of the room alone).
TEST(SharedSurfaces, ASurfaceListedBySeveralSectorsCountsOnce) {
  TStack stack;
  stack.LowerFlags = 2;
  stack.Lights = "0: 0 .5 .5 .5 2 3\n";
  const std::string alone = stack.Text();
  std::string shared = alone;
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"World sectors 2", "World sectors 4"},
           {"SURFACES 6 6\n",
            "SURFACES 6 6\nSECTOR 2\nFLAGS 0x2\nSURFACES 0 6\nSECTOR 3\nSURFACES 2 3\n"}}) {
    const size_t at = shared.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    shared.replace(at, from.size(), to);
  }
  TJKLevel one, many;
  one.LoadFromText(alone.data(), alone.size());
  many.LoadFromText(shared.data(), shared.size());
  EXPECT_FALSE(one.SurfacesShared);
  ASSERT_TRUE(many.SurfacesShared);

  TImportOptions o = Options(true);
  o.GameLights = o.WritesEntities = true;
  TBrushLevel a, b;
  TSlabSettings slab;
  std::vector<std::string> console;
  std::unique_ptr<TLightFit> litA, litB;
  MakeBrushLevel(one, a, nullptr, o, &slab, nullptr, &litA);
  MakeBrushLevel(
      many, b, nullptr, o, &slab, [&console](const std::string& line) { console.push_back(line); },
      &litB);
  ASSERT_EQ(b.Brushes.Count(), a.Brushes.Count());
  for (int i = 0; i < a.Brushes.Count(); ++i)
    EXPECT_EQ(b.Brushes.Items(i)->Brush.Kind, a.Brushes.Items(i)->Brush.Kind) << i;
  EXPECT_NE(
      std::find(console.begin(), console.end(), "2 underwater sectors became 1 water volumes"),
      console.end());
  ASSERT_TRUE(litA && litB);
  ASSERT_EQ(litB->Lights.size(), litA->Lights.size());
  for (size_t i = 0; i < litA->Lights.size(); ++i) {
    EXPECT_EQ(litB->Lights[i].Light, litA->Lights[i].Light) << i;
    EXPECT_EQ(litB->Lights[i].Origin.Z, litA->Lights[i].Origin.Z) << i;
  }
  EXPECT_EQ(litB->Ambient, litA->Ambient);
}
