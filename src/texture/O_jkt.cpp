#include "texture/O_jkt.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "rtl/Classes.h"
#include "rtl/Files.h"

namespace {

constexpr TRGBTriple Rgb(uint32_t hex) {
  return TRGBTriple{static_cast<uint8_t>(hex >> 16), static_cast<uint8_t>(hex >> 8),
                    static_cast<uint8_t>(hex)};
}

// One channel of a ramp step, rounded to the nearest level; rounding keeps a falling ramp
// falling (or level) from step to step.
constexpr uint8_t RampChannel(int from, int to, int step, int steps) {
  int d = (to - from) * step * 2;
  int half = d >= 0 ? steps - 1 : -(steps - 1);
  return static_cast<uint8_t>(from + (d + half) / (2 * (steps - 1)));
}

constexpr void Ramp(TPaletteRGB& p, int first, int last, uint32_t from, uint32_t to) {
  const TRGBTriple a = Rgb(from), b = Rgb(to);
  const int steps = last - first + 1;
  for (int i = 0; i < steps; ++i) {
    TRGBTriple& c = p[static_cast<size_t>(first + i)];
    c.R = RampChannel(a.R, b.R, i, steps);
    c.G = RampChannel(a.G, b.G, i, steps);
    c.B = RampChannel(a.B, b.B, i, steps);
  }
}

constexpr TPaletteRGB MakeDefaultPalette() {
  TPaletteRGB p{};
  p[0] = Rgb(0x000000);
  constexpr uint32_t fixed1to20[] = {0x00FF00, 0x00CB00, 0x009B00, 0x006B00, 0x003B00,  // 1-5 green
                                     0xFF0000, 0xCB0000, 0x9B0000, 0x6B0000, 0x3B0000,  // 6-10 red
                                     0xF7FF00, 0xD7A300, 0xAF5700, 0x871F00, 0x5F0000,  // 11-15
                                     0xFFFFFF,                                          // 16
                                     0xDFE7FF, 0xC3D7FF, 0xA3C3FF, 0x87AFFF};           // 17-20
  for (size_t i = 0; i < 20; ++i) p[i + 1] = Rgb(fixed1to20[i]);
  constexpr uint8_t orangeGreen[] = {0xAB, 0x9F, 0x93, 0x83, 0x6F, 0x5B, 0x47, 0x33, 0x23, 0x0F};
  for (size_t i = 0; i < 10; ++i) p[21 + i] = TRGBTriple{0xFF, orangeGreen[i], 0x00};
  p[31] = Rgb(0x0000FF);
  Ramp(p, 32, 63, 0xFDFDFD, 0x000000);    // grey
  Ramp(p, 64, 95, 0xBFC7DF, 0x0B0B0F);    // blue-grey
  Ramp(p, 96, 103, 0xFFCFB3, 0x57230F);   // brown
  Ramp(p, 104, 111, 0xFFFF00, 0x430000);  // yellow to red
  Ramp(p, 112, 119, 0xDFFFA7, 0x8F9300);  // yellow-green
  Ramp(p, 120, 127, 0xC7631F, 0x671F00);  // rust
  Ramp(p, 128, 135, 0xFB0000, 0x390000);  // red
  Ramp(p, 136, 143, 0x7FA3C7, 0x000017);  // blue
  Ramp(p, 144, 159, 0xC37347, 0x331707);  // brown
  Ramp(p, 160, 175, 0xFFE7B3, 0x271700);  // tan
  Ramp(p, 176, 183, 0x83E767, 0x23470F);  // green
  Ramp(p, 184, 191, 0xFFA7FF, 0x37005B);  // purple
  for (size_t i = 192; i <= 254; ++i) p[i] = Rgb(0xFF00FF);
  p[255] = Rgb(0xFFFFFF);
  return p;
}

constexpr TPaletteRGB kDefaultPalette = MakeDefaultPalette();

constexpr size_t kPaletteHeaderSize = 64;

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

size_t BitmapBytes(int32_t width, int32_t height) {
  uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
  if (bytes > static_cast<uint64_t>(std::numeric_limits<size_t>::max() / 2))
    throw rtl::Exception(
        rtl::Format("An image of %d x %d pixels is too large for memory", width, height));
  return static_cast<size_t>(bytes);
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

// Runs a file operation and names the file in any error it raises that does not name it yet.
template <class Op>
auto InFile(const std::string& fileName, Op op) -> decltype(op()) {
  try {
    return op();
  } catch (rtl::Exception& e) {
    e.SetPlace(rtl::InFile(fileName));
    throw;
  }
}

}  // namespace

const TPaletteRGB DefaultPalette = kDefaultPalette;

// ---- TColorMap ----

bool TColorMap::LoadFromStream(rtl::TStream& stream) {
  uint8_t buffer[kPaletteHeaderSize + sizeof(TPaletteRGB)];
  stream.SetPosition(0);
  stream.ReadBuffer(buffer, sizeof buffer);
  std::memcpy(Palette.data(), buffer + kPaletteHeaderSize, sizeof(TPaletteRGB));
  return true;
}

bool TColorMap::LoadFromFile(const std::string& fileName) {
  if (!rtl::FileExists(fileName)) return false;
  return InFile(fileName, [&] {
    rtl::TFileStream file(fileName, rtl::TFileMode::OpenRead);
    return LoadFromStream(file);
  });
}

// ---- TJKTexture ----

TJKTexture::TJKTexture() : Palette(DefaultPalette) {}

void TJKTexture::Resize(int32_t width, int32_t height) {
  if (width < 0 || height < 0)
    throw rtl::Exception(rtl::Format("Invalid image size: %d x %d", width, height));
  std::vector<uint8_t> pixels(BitmapBytes(width, height));
  bitmap_.swap(pixels);
  indices_.clear();
  width_ = width;
  height_ = height;
}

void TJKTexture::SetWidth(int32_t value) { Resize(value, height_); }
void TJKTexture::SetHeight(int32_t value) { Resize(width_, value); }

uint8_t* TJKTexture::Scanline(int32_t y) {
  if (y < 0 || y >= height_)
    throw rtl::Exception(rtl::Format("Scan line index out of range: %d", y));
  return bitmap_.data() + static_cast<size_t>(y) * static_cast<size_t>(width_) * 4u;
}

bool TJKTexture::LoadFromStream(rtl::TStream& stream) {
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
    const TRGBTriple c = Palette[static_cast<size_t>(index)];
    std::vector<uint8_t> pixels(BitmapBytes(kSolidSide, kSolidSide));
    for (size_t i = 0; i < pixels.size(); i += 4) {
      pixels[i] = c.B;
      pixels[i + 1] = c.G;
      pixels[i + 2] = c.R;
      pixels[i + 3] = 0;
    }
    bitmap_.swap(pixels);
    indices_.assign(static_cast<size_t>(kSolidSide) * kSolidSide, static_cast<uint8_t>(index));
    width_ = height_ = kSolidSide;
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
      lut[i][0] = Palette[i].B;
      lut[i][1] = Palette[i].G;
      lut[i][2] = Palette[i].R;
      lut[i][3] = 0;
    }
    for (size_t i = 0; i < count; ++i, out += 4) std::memcpy(out, lut[source[i]], 4);
  }

  bitmap_.swap(pixels);
  if (rgb565)
    indices_.clear();
  else
    indices_.swap(source);
  width_ = width;
  height_ = height;
  return true;
}

bool TJKTexture::LoadFromFile(const std::string& fileName) {
  if (!rtl::FileExists(fileName)) return false;
  return InFile(fileName, [&] {
    rtl::TFileStream file(fileName, rtl::TFileMode::OpenRead);
    return LoadFromStream(file);
  });
}

void TJKTexture::CheckTGASize() const {
  if (width_ > 0xFFFF || height_ > 0xFFFF)
    throw rtl::Exception(rtl::Format(
        "An image of %d x %d pixels is too large for a TGA file (65535 at most on each side)",
        width_, height_));
}

std::string TJKTexture::EncodeTGA() const {
  CheckTGASize();
  rtl::TMemoryStream out;
  WriteTGA(out, width_, height_, bitmap_);
  const std::vector<uint8_t>& bytes = out.Bytes();
  return std::string(bytes.begin(), bytes.end());
}

bool TJKTexture::SaveToTGA(const std::string& fileName) const {
  return InFile(fileName, [&] {
    CheckTGASize();
    rtl::WriteFileAtomic(fileName,
                         [&](rtl::TStream& out) { WriteTGA(out, width_, height_, bitmap_); });
    return true;
  });
}

std::string TJKTexture::EncodeJPEG() const { return CompressJPEG(bitmap_.data(), width_, height_); }

bool TJKTexture::SaveToJPEG(const std::string& fileName) const {
  return InFile(fileName, [&] {
    // Compressed in memory first, so a library error leaves no file behind.
    rtl::WriteFileAtomic(fileName, EncodeJPEG());
    return true;
  });
}

bool TJKTexture::SaveToFile(const std::string& fileName) const {
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(fileName));
  if (ext == ".jpg" || ext == ".jpeg") return SaveToJPEG(fileName);
  if (ext == ".tga") return SaveToTGA(fileName);
  throw rtl::Exception("Unsupported file extension: '" + ext + "'");
}

// ---- One-call conversions ----

namespace {

template <class Save>
bool ConvertMat(const std::string& matFile, const TPaletteRGB& palette, Save save) {
  try {
    TJKTexture texture;
    texture.Palette = palette;
    if (!texture.LoadFromFile(matFile)) return false;
    return save(texture);
  } catch (const std::exception&) {
    // A failed conversion is reported by the result alone; callers go on with the next file.
    return false;
  }
}

}  // namespace

bool ConvertMatToJPEG(const std::string& matFile, const std::string& jpegFile,
                      const TPaletteRGB& palette) {
  return ConvertMat(matFile, palette, [&](const TJKTexture& t) { return t.SaveToJPEG(jpegFile); });
}

bool ConvertMatToTGA(const std::string& matFile, const std::string& tgaFile,
                     const TPaletteRGB& palette) {
  return ConvertMat(matFile, palette, [&](const TJKTexture& t) { return t.SaveToTGA(tgaFile); });
}
