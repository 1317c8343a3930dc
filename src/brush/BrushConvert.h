// The conversion of a read level into the brush model: every solid surface becomes a thin slab
// brush behind it, every thing a point entity, every editor light a copy, all scaled into editor
// units by the Scale setting; the slabs are BrushDepth units thick.
#pragma once

#include "brush/O_brush.h"
#include "level/O_jkl.h"
#include "level/Progress.h"
#include "plugin/ImportOptions.h"

// Appends to BrushLevel; Level is only read. Progress, when given, is called once per sector.
// Returns True; bad geometry (a solid surface of one corner) raises the geometry lists' error and
// leaves BrushLevel partly filled for its owner to release. Options: see AddSlabBrush.
bool ConvertSectorsToBrushes(const TJKLevel& Level, TBrushLevel& BrushLevel, TProgressProc Progress,
                             const TImportOptions& Options = TImportOptions());

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
void AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes,
                  const TImportOptions& Options = TImportOptions());
