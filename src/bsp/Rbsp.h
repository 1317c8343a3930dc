// The parts of a compiled JK2 level (q3map2's "RBSP" version 1 file) that its lightmaps are read
// and written through: the entity text, the drawn surfaces with their vertices and indexes, and
// the lightmap pages. Every offset, count and index of the file is checked against the file
// before it is used, so a damaged or foreign file is an error naming what is wrong, never a read
// out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bsp {

constexpr int LumpCount = 18;
enum TLump {
  LumpEntities = 0,
  LumpDrawVerts = 10,
  LumpDrawIndexes = 11,
  LumpSurfaces = 13,
  LumpLightmaps = 14
};
// A lightmap page: 128 x 128 luxels of red, green and blue.
constexpr int LightmapSize = 128;
constexpr size_t LightmapBytes = LightmapSize * LightmapSize * 3;
// Surfaces are planar faces, patches, triangle soups (models, meta surfaces) or flares.
enum TSurfaceType { SurfacePlanar = 1, SurfacePatch = 2, SurfaceTriangles = 3, SurfaceFlare = 4 };

struct TDrawVert {
  float Xyz[3];
  float Lightmap[2];  // the first lightmap's coordinates, in pages (0..1 across a page)
  float Normal[3];
};

struct TSurface {
  int Type = 0;
  int FirstVert = 0, NumVerts = 0, FirstIndex = 0, NumIndexes = 0;
  // The first light style's page; below 0: no lightmap. Where the surface lies in its page is
  // in its vertices' lightmap coordinates alone (the compiler leaves the surface's own lightmap
  // place and size at 0).
  int LightmapNum = -1;
};

// A read file. Bytes is the whole file; the lightmap pages are a window into it, so that changing
// them and writing Bytes back leaves every other byte as it was.
struct TRbsp {
  std::vector<uint8_t> Bytes;
  std::string Entities;  // the entity text, up to its terminating zero
  std::vector<TSurface> Surfaces;
  std::vector<TDrawVert> Verts;
  std::vector<int32_t> Indexes;
  size_t LightmapOffset = 0;  // where the pages start in Bytes
  int Lightmaps = 0;          // the number of pages

  uint8_t* Luxel(int Page, int X, int Y) {
    return Bytes.data() + LightmapOffset +
           (static_cast<size_t>(Page) * LightmapSize * LightmapSize +
            static_cast<size_t>(Y) * LightmapSize + static_cast<size_t>(X)) *
               3;
  }
};

// Reads a file already in memory; raises rtl::Exception naming the fault (not an RBSP file, a
// lump out of the file, a surface whose vertices, indexes or lightmap lie outside their lumps).
TRbsp ReadRbsp(std::vector<uint8_t> Bytes);

// The value of Key in the first entity (the worldspawn) of an entity text; empty when absent.
std::string WorldspawnValue(const std::string& Entities, const std::string& Key);

// A file of the same format built from lumps (index LumpCount at most), in lump order, each
// 4-byte aligned: what a test builds a compiled level from.
std::vector<uint8_t> BuildRbsp(const std::vector<std::vector<uint8_t>>& Lumps);
// The bytes of surfaces and vertices as the file holds them (148 and 80 bytes each).
std::vector<uint8_t> SurfaceBytes(const std::vector<TSurface>& Surfaces);
std::vector<uint8_t> VertBytes(const std::vector<TDrawVert>& Verts);

}  // namespace bsp
