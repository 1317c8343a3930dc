// JPEG writing through libjpeg: the writer's settings, and the library's errors as exceptions.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "rtl/SysUtils.h"

// Raised for every fatal error of the JPEG library; the code is libjpeg's message number.
class EJPEG : public rtl::Exception {
 public:
  explicit EJPEG(int code, std::string words = std::string())
      : rtl::Exception(rtl::Format("JPEG error #%d", code)), Code(code), Words(std::move(words)) {}
  int Code;
  std::string Words;  // the library's own text for the error, when it has one
};

// Compresses pixels of 4 bytes each (blue, green, red, ignored) into a JPEG with the writer's
// settings. Width or height 0 gives no bytes.
std::string CompressJPEG(const uint8_t* bgra, int32_t width, int32_t height);
