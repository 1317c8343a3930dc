// One MAT file into one image file with the given palette, in one call: what the tests and the
// texture benchmark convert with. False, with no file written, when the MAT file is missing,
// decodes to no image or anything fails; errors go no further.
#pragma once

#include <exception>
#include <string>

#include "texture/O_jkt.h"

namespace testing_support {

template <class Save>
bool ConvertMat(const std::string& matFile, const TPaletteRGB& palette, Save save) {
  try {
    TJKTexture texture;
    texture.Palette = palette;
    if (!texture.LoadFromFile(matFile)) return false;
    return save(texture);
  } catch (const std::exception&) {
    return false;
  }
}

inline bool ConvertMatToJPEG(const std::string& matFile, const std::string& jpegFile,
                             const TPaletteRGB& palette) {
  return ConvertMat(matFile, palette, [&](const TJKTexture& t) { return t.SaveToJPEG(jpegFile); });
}

inline bool ConvertMatToTGA(const std::string& matFile, const std::string& tgaFile,
                            const TPaletteRGB& palette) {
  return ConvertMat(matFile, palette, [&](const TJKTexture& t) { return t.SaveToTGA(tgaFile); });
}

}  // namespace testing_support
