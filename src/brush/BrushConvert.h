// The conversion of a read level into the brush model: every solid surface becomes a thin slab
// brush behind it, every thing a point entity, every editor light a copy, all scaled into editor
// units by the Scale setting; the slabs are BrushDepth units thick.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "brush/ImportOptions.h"
#include "brush/O_brush.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// The two numbers of the conversion, resolved by the host before it starts. A host that fell
// back to a default has a console line to say so (Note); it is said where the conversion first
// needs the number, and only if it does, and Used tells the host which numbers were needed (the
// editor's plug-in keeps a number once it was used).
struct TSlabNumber {
  double Value = 0;
  std::string Note;
  bool Used = false;
};
struct TSlabSettings {
  TSlabNumber Scale{256, {}, false};
  TSlabNumber Depth{8, {}, false};
};

// Appends to BrushLevel; Level is only read. Progress, when given, is called once per sector.
// Bad geometry (a solid surface of one corner) raises the geometry lists' error and leaves
// BrushLevel partly filled for its owner to release. With Options.CleanSlabs, surfaces that
// cleaning leaves without area make no brush, and one console line at the end counts them.
// Options: see AddSlabBrush. Console receives the lines (the notes of Slab, that count).
void ConvertSectorsToBrushes(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                             const TImportOptions& Options = TImportOptions(),
                             TSlabSettings* Slab = nullptr, const TConsoleProc& Console = nullptr);

// True when the brushes' front faces carry the level's texture vertices.
inline bool CarriesTexels(const TImportOptions& Options) {
  return Options.AlignTextures || Options.KeepTexels;
}

// One slab brush from one surface: the front face is the surface scaled by Scale with its corners
// reversed, the back face lies Depth units behind it along the front face's normal, and one side
// face joins each pair of neighbouring corners.
// Every front and back corner gets the texture vertex (0, 0), unless CarriesTexels(Options): then
// each front corner keeps the texture vertex of its source corner (and the front face the
// surface's TXVertexMissing mark), which texture alignment fits to.
// With Options.CleanSlabs the slab is made of the corners CleanSlabCorners keeps, and a surface
// it keeps none of makes no brush: False.
// With Options.CleanSlabs or Options.SealLevel, a front face that is not flat to FlatTolerance
// (its corners off the plane through the hand-off's three points) is laid onto the surface's
// best-fit plane, as FitFrontPlane does. Shared: see CleanSlabCorners.
struct TSharedCorners;
bool AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes,
                  const TImportOptions& Options = TImportOptions(),
                  const TSharedCorners* Shared = nullptr);

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
