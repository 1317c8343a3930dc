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
#include "brush/SlabCorners.h"
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

// What a conversion ran with and made: the hosts read these instead of working them out again.
struct TConversion {
  // Editor units per level unit of the brushes, entities and lights: the Scale setting, or the
  // one FitWorld chose.
  double Scale = 0;
  double Depth = 0;  // the slabs' depth
  int Slabs = 0;     // brushes made from solid surfaces
  int DrawnAdjoinSurfaces = 0, DrawnAdjoinBrushes = 0;
  int LeftOut = 0;     // surfaces that cleaning left without area
  int ShellBoxes = 0;  // a sealed level's structural boxes, after every other brush
};

// Appends to BrushLevel; Level is only read. Progress, when given, is called once per sector.
// Bad geometry (a solid surface of one corner) raises the geometry lists' error and leaves
// BrushLevel partly filled for its owner to release. With Options.CleanSlabs, surfaces that
// cleaning leaves without area make no brush, and one console line at the end counts them.
// Options: see AddSlabBrush. Console receives the lines (the notes of Slab, that count). Each
// brush's record names the surface it was made from.
TConversion ConvertSectorsToBrushes(const TJKLevel& Level, TBrushLevel& BrushLevel,
                                    TProgressProc Progress,
                                    const TImportOptions& Options = TImportOptions(),
                                    TSlabSettings* Slab = nullptr,
                                    const TConsoleProc& Console = nullptr);

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
