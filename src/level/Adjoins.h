// What the level's own words say of its surfaces, sectors and adjoins: which flag means what, which
// adjoins the game draws, and which surface mirrors each across its adjoin. Every stage that
// asks these questions (brushes, water, light) asks them here.
#pragma once

#include <cstdint>
#include <unordered_map>

#include "level/O_jkl.h"

// Face flag of a surface drawn see-through; surface flags of the two kinds of sky.
constexpr int TranslucentFaceFlag = 0x2;
constexpr int SkySurfaceFlags = 0x200 | 0x400;

// A surface the game draws although it opens into another sector: it has an adjoin, a
// material and a geometry mode other than 0.
bool IsDrawnAdjoin(const TSurface& Surface);

// Each adjoining surface of Level with the surface on the other side of its adjoin (the owner of
// the adjoin its own adjoin names). Surfaces whose adjoin or mirror is out of range, or names
// no other surface, have none.
std::unordered_map<const TSurface*, const TSurface*> MirrorSurfaces(const TJKLevel& Level);

// The adjoin flag that lets the player through, the sector flag of water, and the surface flags
// of shallow, deep and very deep water.
constexpr int32_t AdjoinMoveFlag = 0x2;
constexpr int32_t UnderwaterSectorFlag = 0x2;
constexpr int32_t WaterSurfaceFlags = 0x20000 | 0x40000 | 0x100000;
