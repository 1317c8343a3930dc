// MAT files built from bytes for the texture tests and the fuzzer's seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace mat_fixture {

struct Cel {
  int32_t width, height;
  std::string pixels;  // the mip levels as stored; often just the first
  int32_t mips = 1;
};

// The 76-byte header: file type, record count (= texture count), depth.
inline testing_support::Bytes Header(int32_t fileType, int32_t records, int32_t bitsPerPixel) {
  testing_support::Bytes b;
  b.str("MAT ").i32(0x32).i32(fileType).i32(records).i32(fileType == 2 ? records : 0);
  b.i32(bitsPerPixel == 16 ? 1 : 0).i32(bitsPerPixel);
  if (bitsPerPixel == 16)  // the RGB565 layout real files declare
    b.i32(5).i32(6).i32(5).i32(11).i32(5).i32(0).i32(3).i32(2).i32(3);
  b.zeros(76 - b.data.size());
  return b;
}

// A texture material whose cels each keep their pixels right after their own header.
inline std::string TextureMat(const std::vector<Cel>& cels, int32_t bitsPerPixel = 8) {
  testing_support::Bytes b = Header(2, static_cast<int32_t>(cels.size()), bitsPerPixel);
  for (size_t i = 0; i < cels.size(); ++i)
    b.i32(8).i32(0).zeros(28).i32(static_cast<int32_t>(i));  // 40-byte texture record
  for (const Cel& c : cels)
    b.i32(c.width).i32(c.height).i32(0).i32(0).i32(0).i32(c.mips).str(c.pixels);
  return b.data;
}

// A colour material: one 24-byte record holding a palette index.
inline std::string ColourMat(int32_t index) {
  return Header(0, 1, 8).i32(0).i32(index).zeros(16).data;
}

}  // namespace mat_fixture
