// The conversion of one level's textures during an import: every material its surfaces use is
// found beside the level, in its "mat" folder or in containers, decoded with the configured
// palette and written as an image into the level's folder under the game's texture folder.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "import/ImportOptions.h"
#include "import/LevelNames.h"
#include "import/ResourceIndex.h"
#include "level/O_jkl.h"
#include "level/Progress.h"
#include "texture/ColorTables.h"
#include "texture/O_jkt.h"

// What the texture step learned of one material it found and decoded.
struct TMaterialImage {
  int32_t Width = 0, Height = 0;  // the first cel's size in texels
  // Blue, green, red, alpha rows from the top, for images made by hand; the texture step keeps
  // the pixels once per source instead (Sources).
  std::vector<uint8_t> Bitmap;
  std::string Source;  // with TexturePixels: its key in TLevelTextures::Sources
};

// The decoded first cel of one texture source (a file, or a container's entry data), kept once
// however many materials name it.
struct TSourcePixels {
  int32_t Width = 0, Height = 0;
  // Palette indices of 8-bit cels and colour materials (colour through TLevelTextures::Palette),
  // else empty and the colours are in BGRA.
  std::vector<uint8_t> Indices;
  std::vector<uint8_t> BGRA;  // blue, green, red, 0 rows from the top, for 16-bit cels only
};

// What the texture step learned of a level's materials, by the material's name as the level
// writes it. Filled only as far as the import options ask (TextureSizes, TexturePixels).
// The game's texture folder below its install folder. The game and its map compiler look for
// "textures/" and find it in any letter case on Windows only: on a file system that tells the
// cases apart, "Textures/" leaves every converted image unfound.
#ifdef _WIN32
inline constexpr const char* GameTextureFolder = "GameData\\base\\Textures\\";
#else
inline constexpr const char* GameTextureFolder = "GameData\\base\\textures\\";
#endif

struct TLevelTextures {
  std::map<std::string, TMaterialImage> Materials;
  // With TexturePixels: every source decoded, the palette they were decoded with and its tables.
  std::map<std::string, TSourcePixels> Sources;
  TPaletteRGB Palette{};
  TColorTables Tables;
};

// The settings the texture step works with, resolved by the host before the import starts.
struct TTextureSettings {
  std::string InstallPath;       // the game's install folder; empty: none found
  std::string InstallPathError;  // why the install folder could not be read; raised by the step
  std::string Palette;           // JKPalette: a CMP file or "container>>entry"; empty: built-in
  std::string OutputTexFormat;   // the images' extension without its dot; empty: jpg
  std::string ResourceGobs;      // the comma list of containers searched after the level's own
};

// One run of the texture step: the level, its names (made from its material list and
// Settings.OutputTexFormat, a format checked before the run), where its resources are, and how.
// Options: OverwriteTextures converts a material again although its image exists; WriteTextures
// off writes no image (nor the texture folder); TextureSizes and TexturePixels fill Found;
// LevelPalette and SearchParentMat widen the search; ImportModels looks in "3do\mat" too.
struct TTextureJob {
  const TJKLevel& Level;
  const TLevelNames& Names;
  TResourceIndex& Resources;
  const TTextureSettings& Settings;
  const TImportOptions& Options;
  TProgressProc Progress;
  TConsoleProc Console;  // may be empty
};

// Returns the number of images written (or, without WriteTextures, decoded). Problems with
// single materials (not found, unreadable, not decodable), search-list containers that cannot be
// read, and images that cannot be written are said on Console, naming the material, the file and
// the reason, and the run goes on; a non-empty Settings.InstallPathError raises and ends the run
// where the step needs the install folder.
int ConvertLevelTextures(const TTextureJob& Job, TLevelTextures* Found = nullptr);
