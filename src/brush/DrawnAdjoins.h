// Surfaces that open into another sector and are drawn all the same (water, windows, grates,
// force fields): which they are, which surface mirrors each, the thin brushes they become, and
// what each material of a level needs of the game to look as it did (sky, see-through, passable).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "brush/ImportOptions.h"
#include "brush/O_brush.h"
#include "level/O_jkl.h"

// How deep the brush of a drawn adjoin reaches behind its surface, in editor units.
constexpr double DrawnAdjoinDepth = 1;

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

// The brush of the drawn adjoin Surface, appended to Brushes as AddSlabBrush makes a slab, but
// DrawnAdjoinDepth deep (behind the surface lies the sector it opens onto), of the kind
// DrawnAdjoin, made from Surface and detail (it does not split the level for vis). Its back face
// carries Mirror's material when Mirror is given (and drawn), else no material, so that it gets
// the hidden texture like the side faces. False when cleaning leaves the surface without area.
bool AddDrawnAdjoinBrush(const TSurface& Surface, const TSurface* Mirror, double Scale,
                         T3DMeshList& Brushes, const TImportOptions& Options);

// A slab's faces in the order they are made: the front face, then the back face.
constexpr int DrawnAdjoinBackFace = 1;

// The back face of a drawn adjoin brush when it carries a material (the other side's);
// otherwise null.
const TSurface* DrawnAdjoinBack(const T3DMesh& Brush);

// What one material needs so that the game shows it as the level did.
struct TMaterialLook {
  std::string Material;      // as the level names it
  bool Sky = false;          // on a sky surface: drawn as the sky
  bool Translucent = false;  // marked see-through: blended at about half
  bool NonSolid = false;     // only ever on drawn adjoins: nothing to collide with
  bool SeeThrough = false;   // on a drawn adjoin: the sectors behind stay visible
};

// The materials of the level's sectors' surfaces that need more than an ordinary opaque wall, in
// order of first use. Drawn adjoins count only with Adjoins (they make no brush otherwise). A
// material on a sky surface is sky whatever else it is; one that a solid surface uses too stays
// solid (a wall must not become passable because a window shares its material).
std::vector<TMaterialLook> LevelMaterialLooks(const TJKLevel& Level, bool Adjoins);
