// Textures of Jedi Knight: MAT textures decoded into true colour, and the TGA and JPEG images
// that the editor can use. The palettes they are decoded with come from texture/Palette.h.
//
// A MAT file is untrusted input. Every size read from it is checked against the bytes the stream
// still holds before anything is allocated, and a load that fails leaves the texture's previous
// image untouched, so one texture object can safely convert a series of files.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "rtl/SysUtils.h"
#include "texture/JpegWriter.h"
#include "texture/Palette.h"

namespace rtl {
class TStream;
}

// The first texture of a MAT file, decoded into true colour.
//
// What a load makes of a MAT file:
//  - a texture material (file type 2, first record a texture record) gives the first cel's
//    first mip level: 8-bit cels through Palette, 16-bit cels (RGB565) as they are;
//  - a colour material (file type 0, or a colour record first) gives a solid 8 x 8 image of its
//    palette colour: the smallest power-of-two square that editors and mip-mapping accept
//    without complaint, and cheap to store;
//  - anything else (another file type or record type, no records, a cel of width or height 0)
//    decodes nothing: the load returns False and the previous image stays;
//  - a file too short for what its header declares, or a negative width or height, raises
//    EReadError "Stream read error" before any pixel memory is allocated.
// Every decoded pixel is opaque; its fourth byte is 0 in the bitmap (a TGA file stores 255).
class TJKTexture {
 public:
  TJKTexture();  // empty 0 x 0 image, Palette = DefaultPalette

  // Applied while decoding: the bitmap holds colours, so a later change does not recolour it.
  TPaletteRGB Palette;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Width x Height pixels of 4 bytes in the order blue, green, red, 0; rows from the top.
  const std::vector<uint8_t>& Bitmap() const { return bitmap_; }
  // The palette index of every pixel of Bitmap, for an image decoded through the palette (8-bit
  // cels and colour materials); empty for 16-bit cels. Lets a reader shade by the CMP's tables.
  const std::vector<uint8_t>& Indices() const { return indices_; }
  // The first byte of row y (0 is the top row) for writing pixels; y outside the image raises
  // an error.
  uint8_t* Scanline(int32_t y);

  // Resize the image; its pixels become black. A negative size raises an error.
  void SetWidth(int32_t value);
  void SetHeight(int32_t value);

  // Reads from the very beginning of the stream; True when an image was decoded.
  bool LoadFromStream(rtl::TStream& stream);
  // False, with the texture unchanged, when the file does not exist.
  bool LoadFromFile(const std::string& fileName);

  // The writers compose the whole image before they touch the disk and then replace the target
  // in one step, so an error never leaves a half-written or emptied file behind. An output folder
  // that does not exist raises EFCreateError "Cannot create file <name>"; every other error
  // names the file behind its message. The loaders name the file likewise.
  bool SaveToTGA(const std::string& fileName) const;
  // A 0 x 0 image gives an empty file. Library errors raise EJPEG.
  bool SaveToJPEG(const std::string& fileName) const;
  // By extension, without regard to case: .jpg and .jpeg write JPEG, .tga writes TGA; anything
  // else raises "Unsupported file extension: '<ext>'" and writes nothing.
  bool SaveToFile(const std::string& fileName) const;

  // The file contents the writers produce.
  // TGA: 18-byte header (type 2, 32 bits, top-down), BGRA pixels with alpha 255 (opaque),
  // 26-byte TGA 2.0 footer.
  // Raises an error for an image wider or higher than a TGA header can hold (65535).
  std::string EncodeTGA() const;
  // Baseline JPEG of quality 90, floating-point DCT, from the RGB of every pixel.
  std::string EncodeJPEG() const;

 private:
  void Resize(int32_t width, int32_t height);

  int32_t width_ = 0;
  int32_t height_ = 0;
  std::vector<uint8_t> bitmap_;
  std::vector<uint8_t> indices_;
};
