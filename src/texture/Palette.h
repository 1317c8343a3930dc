// CMP palettes: the palette record that the texture code passes around, the built-in palette
// and the class that reads a palette from a CMP file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <type_traits>

namespace rtl {
class TStream;
}

struct TRGBTriple {
  uint8_t R, G, B;
};
constexpr bool operator==(const TRGBTriple& a, const TRGBTriple& b) {
  return a.R == b.R && a.G == b.G && a.B == b.B;
}
constexpr bool operator!=(const TRGBTriple& a, const TRGBTriple& b) { return !(a == b); }

// 256 colours in index order, three bytes each (red, green, blue): exactly the 768 bytes of a
// CMP file's palette. A plain value, copied whole from one owner to another.
using TPaletteRGB = std::array<TRGBTriple, 256>;
static_assert(sizeof(TPaletteRGB) == 768, "a palette is 768 bytes with no padding");
static_assert(std::is_trivially_copyable<TPaletteRGB>::value, "a palette is read as raw bytes");

// The built-in palette used whenever no palette file is at hand.
extern const TPaletteRGB DefaultPalette;

// A palette read from a CMP file: a 64-byte header that is not looked at, then the 768 palette
// bytes; whatever follows (light and transparency tables) is not read.
class TColorMap {
 public:
  TPaletteRGB Palette{};  // all black until a load succeeds

  // Reads from the very beginning of the stream whatever its position. Raises EReadError
  // "Stream read error" when the stream holds fewer than 832 bytes; Palette is then unchanged.
  bool LoadFromStream(rtl::TStream& stream);
  // False, with Palette unchanged, when the file does not exist.
  bool LoadFromFile(const std::string& fileName);
};

// A palette named as "container>>entry", split into the container's path and the entry's key
// ("/" taken for "\"): at the first ">>" before which stands an existing file, as a folder's name
// may hold ">>" too, else at the first ">>". False when Source holds none (a CMP file).
bool SplitPaletteSource(const std::string& Source, std::string& File, std::string& Key);
