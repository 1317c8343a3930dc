// What one import does beyond the specified steps: the on/off settings the user keeps in the
// settings file, and the requests a host adds for one run. Read once per import, in one place,
// and passed down as plain values, so the conversion steps never reach for the settings.
#pragma once

#include <string>

struct TImportOptions {
  // On/off settings ("1" on; "0", missing or empty off). A host may turn them on for one run
  // without storing them.
  bool AlignTextures = false;  // fit each front face's texture projection to the level's texels
  bool CleanSlabs = false;     // drop repeated and in-line corners before a slab is built
  bool SealLevel = false;      // detail slabs, sealed by a structural shell of boxes
  bool FitWorld = false;       // the largest power-of-two Scale that keeps the map in the world
  bool ImportAdjoins = false;  // each see-through surface the game draws becomes a thin brush
  // Without JKPalette, the palette the level names, from its containers or beside it.
  bool LevelPalette = false;
  // A material found nowhere else is looked for in the "mat" folder beside the level's folder.
  bool SearchParentMat = false;
  // Each underwater sector becomes a water volume, and surfaces of water take water shaders.
  bool WaterVolumes = false;
  // The lights, when written, are fitted to give the game's light in a light compiler.
  bool GameLights = false;
  // Things the game draws with a 3DO model become models of the map (MD3 files and misc_model
  // entities); the models' materials are converted with the level's textures.
  bool ImportModels = false;
  // Things play as in the game: movers (doors, lifts), pickups, actors and team entities.
  bool PlayLevel = false;

  // Requests of a host, never stored.
  bool OverwriteTextures = false;  // convert a material again even when its image exists
  bool TextureSizes = false;       // learn every found material's size, even when not converted
  bool TexturePixels = false;      // keep every found material's decoded pixels
  bool WriteTextures = true;       // false: decode in memory only, write no image
  // Front faces carry the level's texture vertices even without alignment.
  bool KeepTexels = false;
  // A shader script for the level's sky and see-through materials beside the textures.
  bool Shaders = false;
  // The host writes the things and lights as entities: those in no sector are marked stray.
  bool WritesEntities = false;
};
