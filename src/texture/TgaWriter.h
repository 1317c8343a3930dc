// The TGA image the editor reads: 18-byte header (type 2, 32 bits, top-down), BGRA pixels with
// alpha 255 (opaque), 26-byte TGA 2.0 footer.
#pragma once

#include <cstdint>
#include <vector>

namespace rtl {
class TStream;
}

// Raises an error for an image wider or higher than a TGA header can hold (65535).
void CheckTGASize(int32_t width, int32_t height);

// Writes width x height pixels of 4 bytes each (blue, green, red, ignored), rows from the top.
void WriteTGA(rtl::TStream& out, int32_t width, int32_t height, const std::vector<uint8_t>& px);
