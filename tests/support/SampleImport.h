// What importing the bundled sample level gives, as one digest over the .map text and every
// texture file; the native command-line host and the DLL under Wine must both give it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace sample_import {

// Settings for the import: textures as TGA, the palette from the sample's own container.
inline std::string Settings(const std::string& samplePath) {
  return "OutputTexFormat=tga\r\nJKPalette=" + samplePath + ">>misc\\cmp\\sample.cmp\r\n";
}

inline uint64_t Fnv1a(const std::string& bytes, uint64_t h = 1469598103934665603ull) {
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 1099511628211ull;
  }
  return h;
}

// The digest of a .map text and the files of a texture folder (by name, in name order).
inline std::string Digest(const std::string& mapText, const std::string& textureFolder) {
  uint64_t h = Fnv1a(mapText);
  std::vector<std::string> names = rtl::FindFiles(textureFolder, "*");
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    h = Fnv1a(rtl::ReadFileToString(rtl::JoinPath(textureFolder, name)), Fnv1a(name, h));
  std::string hex;
  for (int shift = 60; shift >= 0; shift -= 4) hex += "0123456789abcdef"[(h >> shift) & 0xF];
  return hex + "/" + std::to_string(names.size());
}

// The digest of the sample, taken from a native run and checked in both builds (TGA pixels
// opaque).
constexpr const char* ExpectedDigest = "88bf6e694d3fb461/3";

}  // namespace sample_import
