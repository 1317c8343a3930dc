// The tables a CMP file holds after its palette: 64 light levels that map each palette index to
// the index that shows it at that light, and a 256 x 256 transparency table that maps a pair of
// indices to the index of their blend. The game's software renderer shades and blends through
// them, so a picture made with them shows only colours the game itself could show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TColorTables {
  static constexpr int LightLevels = 64;  // level 0 is darkness, level 63 full light
  // LightLevels rows of 256 indices, row by row; empty when the file ends before them.
  std::vector<uint8_t> Light;
  // Row f, column b: the blend of index f drawn over index b. Empty when the file ends before it.
  std::vector<uint8_t> Transparency;

  uint8_t Lit(int Level, uint8_t Index) const {
    return Light[static_cast<size_t>(Level) * 256 + Index];
  }
  uint8_t Blend(uint8_t Front, uint8_t Back) const {
    return Transparency[static_cast<size_t>(Front) * 256 + Back];
  }
};

// A CMP file is its header, palette and tables: about 82 KB. Nothing larger is read as one.
constexpr int64_t MaxColormapBytes = 1 << 20;

// The tables of a CMP file's bytes: 64 header bytes and 768 palette bytes, then the light
// levels, then the transparency table. A table the bytes do not hold whole is left empty.
TColorTables ColorTablesFromBytes(const std::string& Bytes);

// The tables of a palette named as ReadPaletteSource names one (a CMP file, or "container>>key").
// Raises as ReadPaletteSource does for a missing file or entry.
TColorTables ReadColorTablesSource(const std::string& Source);
