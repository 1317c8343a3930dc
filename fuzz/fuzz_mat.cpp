// Feeds arbitrary bytes to the MAT decoder and the palette reader, then to the writers.
#include <cstddef>
#include <cstdint>

#include "rtl/Classes.h"
#include "texture/O_jkt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rtl::TReadOnlyMemoryStream stream(data, size);
  try {
    TColorMap map;
    map.LoadFromStream(stream);
  } catch (const rtl::Exception&) {
  }
  TJKTexture texture;
  try {
    if (texture.LoadFromStream(stream)) {
      const size_t pixels = static_cast<size_t>(texture.Width()) * texture.Height();
      if (texture.Bitmap().size() != pixels * 4) __builtin_trap();
      if (texture.Width() <= 0xFFFF && texture.Height() <= 0xFFFF &&
          texture.EncodeTGA().size() != 44 + pixels * 4)
        __builtin_trap();
      // Compression is slow; small images are enough to exercise the error paths.
      if (pixels <= 64 * 64) texture.EncodeJPEG();
    }
  } catch (const rtl::Exception&) {
  }
  return 0;
}
