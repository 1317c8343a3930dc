// PNG output of the preview, through libpng.
#pragma once

#include <string>

#include "preview/Raster.h"

namespace preview {

// The image as the bytes of an 8-bit RGB PNG file. Raises when libpng fails.
std::string EncodePng(const TImage& Image);

// Writes the PNG so that nobody sees a half-written file: the target is replaced only once the
// whole file is written. Raises EFCreateError ("Cannot create file %s") when it cannot be.
void WritePng(const std::string& Path, const TImage& Image);

}  // namespace preview
