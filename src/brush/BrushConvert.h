// The conversion of a read level into the brush model: every solid surface becomes a thin slab
// brush behind it, every thing a point entity, every editor light a copy, all scaled into editor
// units by the Scale setting; the slabs are BrushDepth units thick.
#pragma once

#include <string>
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
bool AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes,
                  const TImportOptions& Options = TImportOptions());

// When a corner counts as in line with its two neighbours: the sine of the turn between its two
// edges, both seen along the surface's normal, is at most this. That is: the next corner strays
// from the line of the edge before it by at most 1/64 of the edge after it (in editor units,
// after scaling, though the ratio does not depend on the scale), a turn of less than 0.9
// degrees. Coordinates rounded to Singles already leave the corners of one straight edge
// slightly off it, and real levels hold long edges that wiggle by about half a degree from
// corner to corner; each such corner gives a side face that an editor folds into its
// neighbour's plane or clips away. A turn that small is not seen in a level.
constexpr double CleanSlabTolerance = 1.0 / 64;

// The corners of Surface (indices into its Vertices, in order) that a clean slab is built from,
// compared as scale * position rounded to Singles: a corner at the same position as the one
// before it (the last compared with the first) goes, so does one in line with its two
// neighbours, again until none goes. Empty when fewer than three are left or when the surface
// or what is left of it encloses no area (no more than the rounding of Singles gives a line).
// Each index also names the corner's texture vertex.
std::vector<int> CleanSlabCorners(const TSurface& Surface, double Scale);
