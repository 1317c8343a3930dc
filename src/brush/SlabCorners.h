// The corners a slab is built from: cleaning a surface's corners of repeats and in-line corners
// without opening a gap beside another surface, and laying a face that is not flat onto its
// best-fit plane. Pure geometry on scaled positions, shared by the conversion and its tests.
#pragma once

#include <array>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "level/O_jkl.h"

// How far a corner may lie off a front face's plane, or off the line of its neighbours, and
// still count as on it, in editor units.
constexpr double FlatTolerance = 0.01;
// A corner in line that another surface shares stays when it lies further than this off the line
// through its neighbours; nearer, the two lines are one as far as Singles can tell.
constexpr double SharedCornerTolerance = 0.001;
// A clean surface narrower than this (twice its area over its longest edge) makes no slab: a map
// compiler splits brushes with a tolerance of 0.1 unit and drops such a slab without a word.
constexpr double MinSlabWidth = 0.1;

// Lays the corners of Front (three or more) onto the plane through their centre whose normal is
// LevelNormal (the surface's normal as the level gives it; when it is zero or turned away from
// the corners' own, their area's normal), and makes that the face's normal, when a corner lies
// more than FlatTolerance off the plane through the first two corners and the centre: such a
// plane can be tilted by degrees on a quad a tenth of a unit out of flat. Returns whether it
// did; a flat face keeps its corners exactly.
bool FitFrontPlane(TSurface& Front, const TVector3& LevelNormal);

// Corner positions (scale * position rounded to Singles, by their bits) where two or more solid
// surfaces of a level with area have a corner.
struct TSharedCorners {
  struct THash {
    size_t operator()(const std::array<uint32_t, 3>& k) const {
      return (static_cast<size_t>(k[0]) * 73856093u) ^ (static_cast<size_t>(k[1]) * 19349663u) ^
             (static_cast<size_t>(k[2]) * 83492791u);
    }
  };
  std::unordered_set<std::array<uint32_t, 3>, THash> Positions;
};
TSharedCorners SharedCorners(const TJKLevel& Level, double Scale);

// The corners of Surface (indices into its Vertices, in order) that a clean slab is built from,
// compared as scale * position rounded to Singles: a corner at the same position as the one
// before it (the last compared with the first) goes, so does one in line with its two
// neighbours (no more than FlatTolerance off the line through them, and, when Shared is given, not
// more than SharedCornerTolerance off it where another solid surface has a corner: dropping it
// there would open a gap beside that surface's slab), again until none goes. Empty when fewer than
// three are left or when the surface or what is left of it encloses no area (no more than the
// rounding of Singles gives a line) or what is left is narrower than MinSlabWidth. Each index
// also names the corner's texture vertex.
std::vector<int> CleanSlabCorners(const TSurface& Surface, double Scale,
                                  const TSharedCorners* Shared = nullptr);
