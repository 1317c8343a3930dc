#include "texture/O_jkt.h"

#include "rtl/AtomicFile.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "texture/MatDecoder.h"
#include "texture/TgaWriter.h"

namespace {

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
  TMatImage image;
  if (!DecodeMat(stream, Palette, image)) return false;
  bitmap_.swap(image.Bitmap);
  indices_.swap(image.Indices);
  width_ = image.Width;
  height_ = image.Height;
  return true;
}

bool TJKTexture::LoadFromFile(const std::string& fileName) {
  if (!rtl::FileExists(fileName)) return false;
  return InFile(fileName, [&] {
    rtl::TFileStream file(fileName, rtl::TFileMode::OpenRead);
    return LoadFromStream(file);
  });
}

std::string TJKTexture::EncodeTGA() const {
  CheckTGASize(width_, height_);
  rtl::TMemoryStream out;
  WriteTGA(out, width_, height_, bitmap_);
  const std::vector<uint8_t>& bytes = out.Bytes();
  return std::string(bytes.begin(), bytes.end());
}

bool TJKTexture::SaveToTGA(const std::string& fileName) const {
  return InFile(fileName, [&] {
    CheckTGASize(width_, height_);
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
