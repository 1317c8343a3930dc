// What the conversion of sectors into brushes reads of an import's options: nothing else. The
// import's own options (import/ImportOptions.h) extend it with what the texture, model and
// entity steps read.
#pragma once

struct TConversionOptions {
  bool AlignTextures = false;  // fit each front face's texture projection to the level's texels
  bool CleanSlabs = false;     // drop repeated and in-line corners before a slab is built
  bool SealLevel = false;      // detail slabs, sealed by a structural shell of boxes
  bool FitWorld = false;       // the largest power-of-two Scale that keeps the map in the world
  bool ImportAdjoins = false;  // each see-through surface the game draws becomes a thin brush
  // Each underwater sector becomes a water volume, and surfaces of water take water shaders.
  bool WaterVolumes = false;
  // A host's request: front faces carry the level's texture vertices even without alignment.
  bool KeepTexels = false;
  // The host writes the things and lights as entities: those in no sector are marked stray.
  bool WritesEntities = false;
};
