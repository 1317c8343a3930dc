#include "preview/Png.h"

#include <png.h>

#include <cstring>

#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace preview {

std::string EncodePng(const TImage& Image) {
  // libpng's simplified interface reports failures in its return value and message, so no
  // longjmp crosses our frames.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(Image.Width);
  image.height = static_cast<png_uint_32>(Image.Height);
  image.format = PNG_FORMAT_RGB;
  // A preview is looked at, not kept: speed over size (no filtering, a low zlib level).
  image.flags = PNG_IMAGE_FLAG_FAST;
  const png_int_32 stride = Image.Width * 3;
  // Room for the largest file libpng can make of the image: one compression pass.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::string bytes(size, '\0');
  if (!png_image_write_to_memory(&image, &bytes[0], &size, 0, Image.RGB.data(), stride, nullptr))
    throw rtl::Exception(std::string("PNG error: ") + image.message);
  bytes.resize(size);
  return bytes;
}

void WritePng(const std::string& Path, const TImage& Image) {
  rtl::WriteFileAtomic(Path, EncodePng(Image));
}

}  // namespace preview
