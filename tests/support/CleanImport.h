// A corpus level imported with clean slabs, as one digest of its .map text: `morvane import
// --clean` natively and the DLL with CleanSlabs=1 under Wine must both give it.
#pragma once

#include <string>

#include "support/SampleImport.h"

namespace clean_import {

// Below the corpus folder: a level with repeated corners and one surface left without area.
constexpr const char* Level = "jkl/desolation.jkl";
constexpr const char* Settings = "OutputTexFormat=tga\r\n";
constexpr int Brushes = 2978;
constexpr const char* LeftOutLine = "Morvane: 1 surfaces without area left out of the slabs\n";

inline std::string Digest(const std::string& mapText) {
  const uint64_t h = sample_import::Fnv1a(mapText);
  std::string hex;
  for (int shift = 60; shift >= 0; shift -= 4) hex += "0123456789abcdef"[(h >> shift) & 0xF];
  return hex;
}

// Taken from a native run; checked natively and under Wine.
constexpr const char* ExpectedDigest = "a7d0666f86dd1440";

}  // namespace clean_import
