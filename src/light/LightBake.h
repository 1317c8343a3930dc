// Writing the game's light into a compiled level's lightmaps. A compiler's lights cannot draw
// it (the game's corner light jumps across edges where point lights cannot), so each luxel of a
// compiled surface that lies on one of the level's lit polygons (the same plane within
// PlaneTolerance units, facing within MaxTurn) is set to the game's light there: the corner
// light interpolated over the fan of triangles the game draws (triangles without area passed
// over), plus the polygon's extra light, within 0 to 1, times the lightmap unit of the fitted
// lights. A luxel belongs to the polygon whose triangles hold it best (deepest inside, or
// least outside: the luxels along a surface's border lie up to about a luxel and a half out); a
// luxel no polygon holds keeps the compiler's light, as does every surface off the level's
// polygons (models, a designer's own brushes).
#pragma once

#include <string>
#include <vector>

#include "bsp/Rbsp.h"
#include "light/LightFit.h"

constexpr double PlaneTolerance = 2;
constexpr double MaxTurnCos = 0.98;  // about 11 degrees
// How far outside a polygon's triangle a luxel is still taken, in luxels of its surface.
constexpr double BorderLuxels = 1.5;

struct TBakeCount {
  long long Luxels = 0;  // luxels set to the game's light
  int Surfaces = 0;      // lightmapped surfaces of the compiled level
  int Baked = 0;         // of them, those with at least one luxel set
};

// Changes File's lightmap pages in place.
TBakeCount BakeGameLight(bsp::TRbsp& File, const std::vector<TLitPolygon>& Polygons);

// The byte a luxel gets for the game's light Light (0 to 1 after the extra light).
unsigned char LuxelValue(double Light);

// The whole bake of a compiled level on disk: reads the game light file beside it
// (GameLightPath), checks that it is the one of the map the level was compiled from (the
// worldspawn's IdKey), bakes, and replaces the file in one step. Raises rtl::Exception with
// words for the user when the light file is missing, damaged or another map's, or when the
// compiled level cannot be read or written; the compiled level is then left as it was.
TBakeCount BakeCompiledLevel(const std::string& BspPath);
// A compiled level is read whole up to this size.
constexpr long long MaxCompiledLevelBytes = 1024LL * 1024 * 1024;
