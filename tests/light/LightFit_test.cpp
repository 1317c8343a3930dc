// The light fit on a room whose game light is known: what the compiler adds from the fitted
// lights, at each corner the game lit, against the light the game baked there.
#include "light/LightFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "level/O_jkl.h"

namespace {

struct TPoint {
  double X, Y, Z;
};

struct TWall {
  std::vector<int> Corners;
  TPoint Normal;  // into the room
};

// The game's light at a corner of a wall (before clamping to 0..1).
using TGameLight = std::function<double(const TPoint&, const TWall&)>;

// One sector 4 long, 2 wide and 2 high (level units): floor and ceiling each two squares meeting
// at x = 2, so that its corners lie at two distances from its middle, and four walls. Each
// corner's intensity is the game's light there.
struct TRoom {
  std::vector<TPoint> Points{{0, 0, 0}, {2, 0, 0}, {4, 0, 0}, {4, 2, 0}, {2, 2, 0}, {0, 2, 0},
                             {0, 0, 2}, {2, 0, 2}, {4, 0, 2}, {4, 2, 2}, {2, 2, 2}, {0, 2, 2}};
  std::vector<TWall> Walls{{{0, 1, 4, 5}, {0, 0, 1}},    {{1, 2, 3, 4}, {0, 0, 1}},
                           {{6, 11, 10, 7}, {0, 0, -1}}, {{7, 10, 9, 8}, {0, 0, -1}},
                           {{0, 5, 11, 6}, {1, 0, 0}},   {{2, 8, 9, 3}, {-1, 0, 0}},
                           {{0, 6, 8, 2}, {0, 1, 0}},    {{5, 3, 9, 11}, {0, -1, 0}}};
  std::vector<std::string> Lamps;  // "x y z intensity range"
  TGameLight Game;

  std::string Text() const {
    char buf[160];
    std::string t =
        "SECTION: MATERIALS\nWorld materials 1\n0: wall.mat\nend\n"
        "SECTION: GEORESOURCE\nWorld vertices " +
        std::to_string(Points.size()) + "\n";
    for (size_t i = 0; i < Points.size(); ++i) {
      std::snprintf(buf, sizeof buf, "%zu: %.9g %.9g %.9g\n", i, Points[i].X, Points[i].Y,
                    Points[i].Z);
      t += buf;
    }
    t += "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces " +
         std::to_string(Walls.size()) + "\n";
    for (size_t s = 0; s < Walls.size(); ++s) {
      // Material 0, drawn (geometry 4), lit by its corners (light mode 3), solid, no extra light.
      t += std::to_string(s) + ": 0 0x4 0 4 3 0 -1 0 " + std::to_string(Walls[s].Corners.size());
      for (int v : Walls[s].Corners) t += " " + std::to_string(v) + ",0";
      for (int v : Walls[s].Corners) {
        std::snprintf(buf, sizeof buf, " %.9g", Game(Points[static_cast<size_t>(v)], Walls[s]));
        t += buf;
      }
      t += "\n";
    }
    for (size_t s = 0; s < Walls.size(); ++s) {
      const TPoint& n = Walls[s].Normal;
      std::snprintf(buf, sizeof buf, "%zu: %.9g %.9g %.9g\n", s, n.X, n.Y, n.Z);
      t += buf;
    }
    t += "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 " + std::to_string(Walls.size()) +
         "\nSECTION: THINGS\nWorld things 0\nend\n";
    t += "SECTION: LIGHTS\nEditor lights " + std::to_string(Lamps.size()) + "\n";
    for (size_t i = 0; i < Lamps.size(); ++i) t += std::to_string(i) + ": 0 " + Lamps[i] + "\n";
    return t + "end\n";
  }
};

// The game's light of a lamp: falling to zero at its range, on what faces it.
double Lamp(const TPoint& P, const TWall& W, TPoint At, double Intensity, double Range) {
  const double dx = At.X - P.X, dy = At.Y - P.Y, dz = At.Z - P.Z;
  if (dx * W.Normal.X + dy * W.Normal.Y + dz * W.Normal.Z <= 0) return 0;
  return Intensity * std::fmax(0, 1 - std::sqrt(dx * dx + dy * dy + dz * dz) / Range);
}

// What the compiler adds at each corner from Lights (linear lights on what faces them, and the
// light everywhere), less the game's light there, in the game's units.
std::vector<double> Misses(const TRoom& Room, const TLightFit& Lights, double Scale) {
  std::vector<double> out;
  for (const TWall& w : Room.Walls)
    for (int v : w.Corners) {
      const TPoint& p = Room.Points[static_cast<size_t>(v)];
      double got = Lights.Ambient;
      for (const TFitLight& f : Lights.Lights) {
        const double dx = f.Origin.X - Scale * p.X, dy = f.Origin.Y - Scale * p.Y,
                     dz = f.Origin.Z - Scale * p.Z;
        if (dx * w.Normal.X + dy * w.Normal.Y + dz * w.Normal.Z > 0)
          got += LinearLightAt(f, std::sqrt(dx * dx + dy * dy + dz * dz));
      }
      out.push_back(got / LightUnit - std::fmax(0, std::fmin(1, Room.Game(p, w))));
    }
  return out;
}

double Worst(const std::vector<double>& Misses) {
  double worst = 0;
  for (double m : Misses) worst = std::fmax(worst, std::fabs(m));
  return worst;
}

double Squares(const std::vector<double>& Misses) {
  double sum = 0;
  for (double m : Misses) sum += m * m;
  return sum;
}

constexpr double Scale = 256;

}  // namespace

// A lamp in the ceiling's plane (intensity 1, range 4) lights the floor and the walls but not the
// ceiling, which it does not stand in front of: the game's light is that lamp's alone, so the fit is that
// lamp at its own strength and nothing else (a fit that let the lamp light the ceiling would
// dim it to darken the ceiling, and make up the rest with other lights).
TEST(LightFit, ALampThatGaveTheGamesLightIsKeptAsItIs) {
  TRoom room;
  room.Lamps = {"2 1 2 1 4"};
  room.Game = [](const TPoint& p, const TWall& w) { return Lamp(p, w, {2, 1, 2}, 1, 4); };
  TJKLevel level;
  const std::string text = room.Text();
  level.LoadFromText(text.data(), text.size());
  const TLightFit fit = FitGameLights(level, Scale);
  ASSERT_EQ(fit.Lights.size(), 1u);
  const TFitLight& lamp = fit.Lights[0];
  EXPECT_EQ(lamp.Source, 0);
  EXPECT_FLOAT_EQ(lamp.Origin.Z, 2 * Scale);
  EXPECT_NEAR(lamp.Light, LightUnit / LinearLightScale, 1e-3);
  EXPECT_NEAR(lamp.Fade, LightUnit / (4 * Scale), 1e-6);
  EXPECT_EQ(fit.Ambient, 0);
  EXPECT_LT(Worst(Misses(room, fit, Scale)), 1e-4);
}

// The light the compiler can give: the fitted lights come within a small miss of the game's at
// every corner.
//   - An even light of 0.25 on a room whose ceiling's corners stand at uneven heights: no light
//     before a surface or at the middle spreads evenly over the corners, the light everywhere
//     does: "_ambient" is a quarter of the game's full light.
//   - A lamp (intensity 1, range 4) and a negative one (intensity -1, range 2) that takes light
//     away at the far end: the compiler cannot take light away, so the fit dims its lights
//     rather than lean on lights of negative weight, which no compiler can be given.
// Either way the fit comes closer than the calibrated lights it starts from.
TEST(LightFit, TheFitComesCloseWithLightsACompilerCanTake) {
  struct TCase {
    const char* name;
    std::vector<double> ceiling;  // the heights of points 6 to 11
    std::vector<std::string> lamps;
    TGameLight game;
    double ambient;  // the fit's "_ambient"
    double worst;    // the largest miss allowed at a corner
    int droppedNegative;
  };
  const TCase cases[] = {
      {"even light",
       {2, 3, 1.5, 2.5, 1, 3},
       {},
       [](const TPoint&, const TWall&) { return 0.25; },
       LightUnit / 4,
       0.01,
       0},
      {"light taken away",
       {2, 2, 2, 2, 2, 2},
       {"1 1 1 1 4", "3.5 1 1 -1 2"},
       [](const TPoint& p, const TWall& w) {
         return Lamp(p, w, {1, 1, 1}, 1, 4) + Lamp(p, w, {3.5, 1, 1}, -1, 2);
       },
       0,
       0.06,
       1},
  };
  for (const TCase& c : cases) {
    TRoom room;
    for (size_t i = 0; i < c.ceiling.size(); ++i) room.Points[6 + i].Z = c.ceiling[i];
    room.Lamps = c.lamps;
    room.Game = c.game;
    TJKLevel level;
    const std::string text = room.Text();
    level.LoadFromText(text.data(), text.size());
    const TLightFit fit = FitGameLights(level, Scale);
    const std::vector<double> misses = Misses(room, fit, Scale);
    EXPECT_NEAR(fit.Ambient, c.ambient, 1) << c.name;
    EXPECT_LT(Worst(misses), c.worst) << c.name;
    EXPECT_EQ(fit.DroppedNegative, c.droppedNegative) << c.name;
    EXPECT_LT(Squares(misses), Squares(Misses(room, CalibratedLights(level, Scale), Scale)))
        << c.name;
  }
}
