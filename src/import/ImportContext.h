// What a host reads of a finished import besides its editor faces.
#pragma once

#include <string>

#include "brush/O_brush.h"
#include "import/ImportOptions.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"

// A converted level as the map layout and the preview read it: everything is owned by the
// import's result and lives as long as it.
struct TImportContext {
  const TJKLevel& Level;
  const TBrushLevel& BrushLevel;
  const TLevelTextures& Textures;
  const TImportOptions& Options;
  std::string TexturePrefix;  // what the front faces' texture names begin with
};
