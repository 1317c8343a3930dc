// What the game does with each face the conversion makes: an ordinary wall, the sky, a
// see-through wall, a drawn adjoin the player passes or one that stops him (glass, a grille), the
// surface of water, or the space of water itself. The role is decided once, here, set on the face
// and carried with it; the hand-off names the face's texture from it, and the shader script is
// written from the roles the faces hold. A material used in one way keeps its own name; one used
// in several ways gets a shader per way, named by a suffix after its image name, so that a window
// and a wall of one material no longer share whether they are solid.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "brush/ConversionOptions.h"
#include "brush/O_brush.h"
#include "level/Adjoins.h"
#include "level/O_jkl.h"

enum class TFaceRole : unsigned char {
  Solid = 0,       // an ordinary wall: no shader of its own
  Sky,             // drawn as the sky
  Translucent,     // a solid surface drawn see-through (face flag 0x2)
  PassableAdjoin,  // a drawn adjoin the player passes: nonsolid
  SolidAdjoin,     // a drawn adjoin the player cannot pass (glass, grilles): solid, seen through
  Water,           // the surface of water: nonsolid, liquid
  WaterVolume,     // the space of an underwater sector: liquid, drawn as nothing
};

// "_sky", "_trans", "_pass", "_block", "_water", "_volume"; "" for Solid.
const char* RoleSuffix(TFaceRole Role);

// Decides the role of the level's surfaces. Water roles only with Water (without it the level's
// water is a see-through surface like any other).
class TFaceRoles {
 public:
  TFaceRoles(const TJKLevel& Level, bool Water);
  // The role of a face made from Surface, one of Level's (a solid surface or a drawn adjoin).
  TFaceRole Of(const TSurface& Surface) const;
  // The sector that lists Surface, or -1.
  int SectorOf(const TSurface& Surface) const;
  bool Underwater(int Sector) const;

 private:
  const TJKLevel& level_;
  bool water_;
  std::unordered_map<const TSurface*, int> sectorOf_;
  std::unordered_map<const TSurface*, const TSurface*> mirrors_;
};

// Gives every face of BrushLevel that carries a material its texture suffix from the roles the
// faces hold: none for an ordinary wall, none for a material all of whose faces share one role
// (a water volume always has its suffix: its shader draws nothing), else the role's suffix.
void NameFaceRoles(TBrushLevel& BrushLevel);

// One shader a level needs: a material in one role, and whether any of its faces in that role
// is drawn see-through (face flag 0x2). In order of first use.
struct TRoleUse {
  std::string Material;
  TFaceRole Role = TFaceRole::Solid;
  std::string Suffix;
  bool Translucent = false;
};
std::vector<TRoleUse> RoleUses(const TBrushLevel& BrushLevel);

// The faces of Brush that carry a material and a role: the front face, the back face of a drawn
// adjoin pair, every face of a water volume. Index into Brush.Surfaces.
std::vector<int> RoleFaces(const T3DMesh& Brush);
