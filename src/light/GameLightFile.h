// The file an import leaves beside its map for a later bake of the game's light: the level's lit
// polygons in map units with their corner and extra light, so that the bake needs neither the
// level nor the settings. The map's worldspawn carries the file's identity under IdKey; the
// compiler copies it into the compiled level, so that a bake can tell a file of another map.
//
//   morvane game light 1
//   id <16 hexadecimal digits: a hash of everything after this line>
//   polygons <count>
//   then per polygon: "<corners> <extra> <nx> <ny> <nz>", then one line "x y z light" per corner
#pragma once

#include <string>
#include <vector>

#include "light/LightFit.h"

constexpr const char* IdKey = "_morvane_gamelight";
// A polygon has at most this many corners, a file at most this many polygons and bytes.
constexpr int MaxLitCorners = 1024;
constexpr int MaxLitPolygons = 4 * 1024 * 1024;
constexpr long long MaxGameLightBytes = 512LL * 1024 * 1024;

// The file's name beside a map or compiled level: its extension replaced by ".gamelight".
std::string GameLightPath(const std::string& MapOrBsp);

struct TGameLightFile {
  std::string Id;
  std::vector<TLitPolygon> Polygons;
};

// The text of the file, and the identity it carries.
std::string GameLightText(const std::vector<TLitPolygon>& Polygons);
std::string GameLightId(const std::vector<TLitPolygon>& Polygons);

// Reads the text; raises rtl::Exception naming Name and the line of a fault (a wrong heading, a
// count out of its limits, a number that is none, an identity that does not match the content).
TGameLightFile ParseGameLight(const std::string& Text, const std::string& Name);
