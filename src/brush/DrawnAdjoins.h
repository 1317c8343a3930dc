// Surfaces that open into another sector and are drawn all the same (water, windows, grates,
// force fields): which they are, which surface mirrors each, and the thin brushes they become.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "brush/ConversionOptions.h"
#include "brush/O_brush.h"
#include "level/Adjoins.h"
#include "level/O_jkl.h"

// How deep the brush of a drawn adjoin reaches behind its surface, in editor units.
constexpr double DrawnAdjoinDepth = 1;

// The brush of the drawn adjoin Surface, appended to Brushes as AddSlabBrush makes a slab, but
// DrawnAdjoinDepth deep (behind the surface lies the sector it opens onto), of the kind
// DrawnAdjoin, made from Surface and detail (it does not split the level for vis). Its back face
// carries Mirror's material when Mirror is given (and drawn), else no material, so that it gets
// the hidden texture like the side faces. False when cleaning leaves the surface without area.
bool AddDrawnAdjoinBrush(const TSurface& Surface, const TSurface* Mirror, double Scale,
                         T3DMeshList& Brushes, const TConversionOptions& Options);

// A slab's faces in the order they are made: the front face, then the back face.
constexpr int DrawnAdjoinBackFace = 1;

// The back face of a drawn adjoin brush when it carries a material (the other side's);
// otherwise null.
const TSurface* DrawnAdjoinBack(const T3DMesh& Brush);
