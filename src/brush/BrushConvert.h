// The conversion of a read level into the brush model: every solid surface becomes a thin slab
// brush behind it, every thing a point entity, every editor light a copy, all scaled into editor
// units by the Scale setting; the slabs are BrushDepth units thick.
#pragma once

#include "brush/O_brush.h"
#include "level/O_jkl.h"
#include "level/Progress.h"

// Appends to BrushLevel; Level is only read. Progress, when given, is called once per sector.
// Returns True; bad geometry (a solid surface of one corner) raises the geometry lists' error and
// leaves BrushLevel partly filled for its owner to release.
bool ConvertSectorsToBrushes(const TJKLevel& Level, TBrushLevel& BrushLevel,
                             TProgressProc Progress);

// One slab brush from one surface: the front face is the surface scaled by Scale with its corners
// reversed, the back face lies Depth units behind it along the front face's normal, and one side
// face joins each pair of neighbouring corners.
void AddSlabBrush(const TSurface& Surface, double Scale, double Depth, T3DMeshList& Brushes);
