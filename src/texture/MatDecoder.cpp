#include "texture/MatDecoder.h"

#include <cstring>
#include <limits>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

namespace {

// MAT layout: a 76-byte header, the material records (24 bytes for a colour material, 40 for a
// texture: the colour record plus 16 bytes), then per cel a 24-byte header directly followed by
// its mip levels, the largest first.
constexpr size_t kMatHeaderSize = 76;
constexpr size_t kColourRecordSize = 24;
constexpr size_t kTextureRecordSize = 40;
constexpr size_t kCelHeaderSize = 24;
constexpr int32_t kMatTypeColour = 0;
constexpr int32_t kMatTypeTexture = 2;
constexpr int32_t kRecordColour = 0;
constexpr int32_t kRecordTexture = 8;
// Side of the square that stands for a colour material.
constexpr int32_t kSolidSide = 8;

}  // namespace

size_t BitmapBytes(int32_t width, int32_t height) {
  uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
  if (bytes > static_cast<uint64_t>(std::numeric_limits<size_t>::max() / 2))
    throw rtl::Exception(
        rtl::Format("An image of %d x %d pixels is too large for memory", width, height));
  return static_cast<size_t>(bytes);
}

bool DecodeMat(rtl::TStream& stream, const TPaletteRGB& palette, TMatImage& image) {
  stream.SetPosition(0);
  uint8_t header[kMatHeaderSize];
  stream.ReadBuffer(header, sizeof header);
  const int32_t fileType = rtl::LoadLE32(header + 8);
  const int32_t records = rtl::LoadLE32(header + 12);
  const int32_t bitsPerPixel = rtl::LoadLE32(header + 24);

  size_t recordSize;
  if (fileType == kMatTypeColour)
    recordSize = kColourRecordSize;
  else if (fileType == kMatTypeTexture)
    recordSize = kTextureRecordSize;
  else
    return false;
  if (records <= 0) return false;

  uint8_t record[kTextureRecordSize];
  stream.ReadBuffer(record, recordSize);
  const int32_t recordType = rtl::LoadLE32(record);

  if (recordType == kRecordColour) {
    // A colour material: a palette index where a texture material names its cel.
    const int32_t index = rtl::LoadLE32(record + 4);
    if (index < 0 || index > 255) return false;
    const TRGBTriple c = palette[static_cast<size_t>(index)];
    std::vector<uint8_t> pixels(BitmapBytes(kSolidSide, kSolidSide));
    for (size_t i = 0; i < pixels.size(); i += 4) {
      pixels[i] = c.B;
      pixels[i + 1] = c.G;
      pixels[i + 2] = c.R;
      pixels[i + 3] = 0;
    }
    image.Bitmap.swap(pixels);
    image.Indices.assign(static_cast<size_t>(kSolidSide) * kSolidSide, static_cast<uint8_t>(index));
    image.Width = image.Height = kSolidSide;
    return true;
  }
  if (fileType != kMatTypeTexture || recordType != kRecordTexture) return false;

  // The first cel's header follows the whole record table; its pixels follow its header,
  // whatever the number of cels.
  const int64_t otherRecords = static_cast<int64_t>(records - 1) * static_cast<int64_t>(recordSize);
  if (otherRecords > stream.Remaining()) throw rtl::EReadError();
  stream.Seek(otherRecords, rtl::TSeekOrigin::Current);

  uint8_t cel[kCelHeaderSize];
  stream.ReadBuffer(cel, sizeof cel);
  const int32_t width = rtl::LoadLE32(cel);
  const int32_t height = rtl::LoadLE32(cel + 4);
  if (width < 0 || height < 0) throw rtl::EReadError();
  if (width == 0 || height == 0) return false;

  // 16-bit cels hold RGB565 pixels; every other depth is read as palette indices. Only the first
  // mip level is read: real files hold more or fewer levels than their header says.
  const bool rgb565 = bitsPerPixel == 16;
  const uint64_t pixelCount = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  const uint64_t sourceBytes = pixelCount * (rgb565 ? 2u : 1u);
  const int64_t remaining = stream.Remaining();
  if (remaining < 0 || sourceBytes > static_cast<uint64_t>(remaining)) throw rtl::EReadError();

  std::vector<uint8_t> source(static_cast<size_t>(sourceBytes));
  stream.ReadBuffer(source.data(), source.size());
  std::vector<uint8_t> pixels(BitmapBytes(width, height));
  uint8_t* out = pixels.data();
  const size_t count = static_cast<size_t>(pixelCount);

  if (rgb565) {
    for (size_t i = 0; i < count; ++i, out += 4) {
      const unsigned v = source[2 * i] | static_cast<unsigned>(source[2 * i + 1]) << 8;
      const unsigned r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
      out[0] = static_cast<uint8_t>(b << 3 | b >> 2);
      out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
      out[2] = static_cast<uint8_t>(r << 3 | r >> 2);
      out[3] = 0;
    }
  } else {
    uint8_t lut[256][4];
    for (size_t i = 0; i < 256; ++i) {
      lut[i][0] = palette[i].B;
      lut[i][1] = palette[i].G;
      lut[i][2] = palette[i].R;
      lut[i][3] = 0;
    }
    for (size_t i = 0; i < count; ++i, out += 4) std::memcpy(out, lut[source[i]], 4);
  }

  image.Bitmap.swap(pixels);
  if (rgb565)
    image.Indices.clear();
  else
    image.Indices.swap(source);
  image.Width = width;
  image.Height = height;
  return true;
}
