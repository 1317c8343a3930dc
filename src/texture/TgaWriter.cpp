#include "texture/TgaWriter.h"

#include <algorithm>
#include <cstring>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

void CheckTGASize(int32_t width, int32_t height) {
  if (width > 0xFFFF || height > 0xFFFF)
    throw rtl::Exception(rtl::Format(
        "An image of %d x %d pixels is too large for a TGA file (65535 at most on each side)",
        width, height));
}

void WriteTGA(rtl::TStream& out, int32_t width, int32_t height, const std::vector<uint8_t>& px) {
  const uint8_t header[18] = {0,
                              0,
                              2,  // uncompressed true colour
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              static_cast<uint8_t>(width),
                              static_cast<uint8_t>(width >> 8),
                              static_cast<uint8_t>(height),
                              static_cast<uint8_t>(height >> 8),
                              32,
                              0x20};  // the first stored row is the top row
  // TGA 2.0 footer: no extension area, no developer directory.
  static const char footer[26] = "\0\0\0\0\0\0\0\0TRUEVISION-XFILE.";
  out.WriteBuffer(header, sizeof header);
  // Image tools read the fourth byte as alpha, and a texture written with 0 there shows as fully
  // transparent: every pixel is written opaque, whatever the bitmap holds in that byte.
  uint8_t chunk[64 * 1024];
  for (size_t done = 0; done < px.size();) {
    const size_t n = std::min(sizeof chunk, px.size() - done);
    std::memcpy(chunk, px.data() + done, n);
    for (size_t i = 3; i < n; i += 4) chunk[i] = 0xFF;
    out.WriteBuffer(chunk, n);
    done += n;
  }
  out.WriteBuffer(footer, sizeof footer);
}
