// Decoding the first texture of a MAT file into true colour (what TJKTexture loads).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "texture/Palette.h"

namespace rtl {
class TStream;
}

// A decoded image: Width x Height pixels of 4 bytes in the order blue, green, red, 0; rows from
// the top.
struct TMatImage {
  int32_t Width = 0;
  int32_t Height = 0;
  std::vector<uint8_t> Bitmap;
  // The palette index of every pixel for images decoded through the palette; empty for 16-bit.
  std::vector<uint8_t> Indices;
};

// The bytes of a width x height bitmap; raises an error when that is too large for memory.
size_t BitmapBytes(int32_t width, int32_t height);

// Reads from the very beginning of the stream. True with image filled when an image was
// decoded; False, with image untouched, for a file that holds none. A file too short for what its
// header declares, or a negative width or height, raises EReadError before any pixel memory is
// allocated.
bool DecodeMat(rtl::TStream& stream, const TPaletteRGB& palette, TMatImage& image);
