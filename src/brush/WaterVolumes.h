// Water a player swims in: each underwater sector of a level (sector flag 0x2) becomes one brush
// that fills the sector, its faces the sector's own surfaces turned outwards, every face in the
// role WaterVolume (a liquid, drawn as nothing, detail). A brush is convex by nature, so only a
// convex sector gets one: a sector that is not convex is left dry rather than given a hull that
// would flood the rooms around it, and the conversion counts those on the console.
#pragma once

#include "brush/FaceRoles.h"
#include "brush/O_brush.h"
#include "level/O_jkl.h"

struct TWaterVolumeCount {
  int Sectors = 0;    // underwater sectors of the level
  int Brushes = 0;    // volumes made
  int NotConvex = 0;  // underwater sectors left without a volume: not convex, or without area
};

// How far a corner of a sector may lie outside one of its surfaces' planes, in level units, for
// the sector still to count as convex (a level's numbers carry about six digits).
constexpr double WaterConvexTolerance = 1e-3;

// Appends one WaterVolume brush per convex underwater sector of Level, in sector order, scaled by
// Scale. Each face is a surface of the sector with its corners in the level's order (so that it
// faces out of the sector); surfaces on one plane give one face. The faces carry the material of
// the sector's water surface (a face of role Water), else of its first drawn adjoin, else of its
// first surface with a material.
TWaterVolumeCount AddWaterVolumes(const TJKLevel& Level, const TFaceRoles& Roles, double Scale,
                                  T3DMeshList& Brushes);
