// The lights of a level written so that a Radiant-family light compiler gives the light the game
// showed. The game lights a surface with the light its editor baked into its corners from the
// level's lights (each reaching zero at its range, negative ones taking light away) plus the
// surface's and the sector's extra light. The compiler instead falls off with the inverse square
// of the distance and with the angle, never reads a range and cannot take light away. So:
//   - each light becomes a linear light ("spawnflags" "1": no inverse square, no angle) whose
//     "fade" brings it to zero exactly at its range: at distance d it adds
//     LightUnit x intensity x (1 - d / range);
//   - a negative light is dropped (the compiler would add it) and counted;
//   - the level's mean extra light becomes the worldspawn's "_minlight";
//   - a sector brighter than that mean gets a linear fill light at its centre, adding the
//     difference and reaching zero at 1.5 times the sector's radius;
//   - "_lightmapscale" "0.5" samples the light at twice the default density, as the game's
//     corners do on small surfaces.
// All of it is a pure function of the level and the Scale.
#pragma once

#include <vector>

#include "level/O_jkl.h"

// The compiler's light of one unit of the game's light (the game's full light is 1): one
// lightmap step per 1/LightUnit. 128 puts the game's full light at the middle of the lightmap's
// range, where a compiled level shows its textures at their own brightness.
constexpr double LightUnit = 128;
// The compiler's linear light at distance 0 is "light" x 7500 / 8000.
constexpr double LinearLightScale = 0.9375;
// A fill light reaches this many times the sector's radius.
constexpr double FillReach = 1.5;
// Rounds of the fit over all its lights.
constexpr int FitSweeps = 40;
// Two cells of the compiler's light grid (64 x 64 x 128 editor units: the light of models and
// players) along each axis: the fit writes at most one surface light per sector and block of
// 2 x 2 x 2 cells, whose light the grid blends anyway.
constexpr double LightGridCell[3] = {128, 128, 256};
// How far in front of a corner (level units) the fit starts its look towards a light, so that
// the corner's own surface and its neighbours do not hide it.
constexpr double CornerLift = 1.0 / 1024;

struct TFitLight {
  TVector3 Origin;  // in editor units
  float Light = 0;  // the "light" key of a linear light
  float Fade = 0;   // its "fade": light lost per editor unit
  int Source = -1;  // the level's light it stands for; -1: a fill light of a sector
  int Sector = -1;  // the sector of a fill light
};

// A surface the game lit, as a bake of its light needs it: its corners in editor units, the
// light the game gave each corner (before the extra light) and the extra light of the surface
// and its sector together; Normal is the level's, of unit length.
struct TLitPolygon {
  std::vector<TVector3> Corners;
  std::vector<float> Light;
  float Extra = 0;
  TVector3 Normal;
};

struct TLightFit {
  std::vector<TFitLight> Lights;      // the level's lights kept, in order, then the fill lights
  float MinLight = 0;                 // the worldspawn's "_minlight"
  float Ambient = 0;                  // its "_ambient": light added everywhere
  float LightmapScale = 0.5f;         // its "_lightmapscale"
  int DroppedNegative = 0;            // negative lights left out
  int DroppedNoRange = 0;             // lights without a positive range or intensity left out
  std::vector<int> DroppedTooNarrow;  // lights whose range is too small to write, left out
  std::vector<TLitPolygon> Lit;       // the level's lit surfaces, for a bake of the game's light
};

// A light at distance D from a linear light: what the compiler adds before its own clamping.
inline double LinearLightAt(const TFitLight& Light, double D) {
  const double v = Light.Light * LinearLightScale - D * Light.Fade;
  return v > 0 ? v : 0;
}

// The lights as described above, with no fit.
TLightFit CalibratedLights(const TJKLevel& Level, double Scale);
// Those lights, then fitted to the light the game baked into the level's corners (whatever else
// wins): see the comment of the definition. What a map with GameLights gets.
TLightFit FitGameLights(const TJKLevel& Level, double Scale);

// The surfaces the fit compares with (drawn, lit from their corners, not the sky), at Scale, in
// the level's order of sectors; a surface without a normal or with a corner whose light is no
// number is left out.
std::vector<TLitPolygon> LitPolygons(const TJKLevel& Level, double Scale);
