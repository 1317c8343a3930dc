// Importing one corpus level with texture alignment on: the digest of the .map that results. The
// native command-line host and the DLL under Wine must both give it, so that the editor receives
// the very shifts, rotations and scales that `morvane import --align` writes.
#pragma once

#include <cstdint>
#include <string>

#include "support/SampleImport.h"

namespace align_import {

// A level with faces of every kind: axis-aligned, odd-angled walls and sloped ones whose texels
// the classic projection cannot reproduce exactly (so the fit's inexact paths count too).
constexpr const char* Level = "jkl/round.jkl";

// The settings of both runs.
constexpr const char* Settings = "AlignTextures=1\r\n";

// The .map text's digest (the level's textures are not in the corpus: no image is written).
inline std::string Digest(const std::string& mapText) {
  const uint64_t h = sample_import::Fnv1a(mapText);
  std::string hex;
  for (int shift = 60; shift >= 0; shift -= 4) hex += "0123456789abcdef"[(h >> shift) & 0xF];
  return hex;
}

// Taken from a native run and checked in both builds.
constexpr const char* ExpectedDigest = "3db849edef4a9d4a";

}  // namespace align_import
