// The slab: one thin brush behind one surface, the shape every solid surface and drawn adjoin
// takes in the map.
#pragma once

#include "brush/ConversionOptions.h"
#include "brush/O_brush.h"
#include "brush/SlabCorners.h"
#include "level/O_geo.h"

// True when the brushes' front faces carry the level's texture vertices.
inline bool CarriesTexels(const TConversionOptions& Options) {
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
                  const TConversionOptions& Options = TConversionOptions(),
                  const TSharedCorners* Shared = nullptr);
