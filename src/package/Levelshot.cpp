#include "package/Levelshot.h"

#include "rtl/SysUtils.h"
#include "texture/JpegWriter.h"

namespace package {

std::string LevelshotJpeg(const std::vector<uint8_t>& RGB, int Width, int Height) {
  if (Width <= 0 || Height <= 0 ||
      RGB.size() < static_cast<size_t>(Width) * static_cast<size_t>(Height) * 3)
    throw rtl::Exception("A levelshot needs its pixels whole");
  const size_t pixels = static_cast<size_t>(Width) * static_cast<size_t>(Height);
  std::vector<uint8_t> bgra(pixels * 4);
  for (size_t i = 0; i < pixels; ++i) {
    bgra[i * 4] = RGB[i * 3 + 2];
    bgra[i * 4 + 1] = RGB[i * 3 + 1];
    bgra[i * 4 + 2] = RGB[i * 3];
    bgra[i * 4 + 3] = 255;
  }
  return CompressJPEG(bgra.data(), Width, Height);
}

}  // namespace package
