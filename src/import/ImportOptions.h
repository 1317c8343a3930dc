// What one import does beyond the specified steps: the on/off settings the user keeps in the
// settings file, and the requests a host adds for one run. Read once per import, in one place
// (import/OptionTable.h declares each setting and flag), and passed down as plain values, so the
// conversion steps never reach for the settings.
#pragma once

#include "brush/ConversionOptions.h"

struct TImportOptions : TConversionOptions {
  // Without JKPalette, the palette the level names, from its containers or beside it.
  bool LevelPalette = false;
  // A material found nowhere else is looked for in the "mat" folder beside the level's folder.
  bool SearchParentMat = false;
  // The lights, when written, are fitted to give the game's light in a light compiler.
  bool GameLights = false;
  // Things the game draws with a 3DO model become models of the map (MD3 files and misc_model
  // entities); the models' materials are converted with the level's textures.
  bool ImportModels = false;
  // A shader script for the level's sky and see-through materials beside the textures.
  bool Shaders = false;
  // Every option "ready for the game" turns on was asked for as one (the setting GameReady or
  // morvane's --game-ready): the plug-in then also saves the whole map.
  bool GameReady = false;

  // Requests of a host, never stored.
  bool OverwriteTextures = false;  // convert a material again even when its image exists
  bool TextureSizes = false;       // learn every found material's size, even when not converted
  bool TexturePixels = false;      // keep every found material's decoded pixels
  bool WriteTextures = true;       // false: decode in memory only, write no image
  // The result keeps every brush's faces (TImportResult::Faces); off, a host that writes them
  // out makes them brush by brush as it writes, so the level is not held twice.
  bool KeepFaces = true;
};
