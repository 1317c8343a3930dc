// What importing the bundled sample level gives, as one digest over the .map text and every
// texture file; the native command-line host and the DLL under Wine must both give it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
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

// The first line where Got differs from Expected, as "NAME line N: expected '...', got '...'".
inline std::string FirstDifference(const std::string& name, const std::string& expected,
                                   const std::string& got) {
  size_t start = 0;
  for (int line = 1;; ++line) {
    const size_t e = expected.find('\n', start), g = got.find('\n', start);
    const std::string a = expected.substr(start, e == std::string::npos ? e : e - start);
    const std::string b = got.substr(start, g == std::string::npos ? g : g - start);
    if (a != b || e != g)
      return name + " line " + std::to_string(line) + ": expected '" + a + "', got '" + b + "'";
    if (e == std::string::npos) return std::string();
    start = e + 1;
  }
}

// What an import of the sample gives, file by file: empty when the .map text is its golden copy
// (golden/sample.map beside these files) and every texture of the folder has its digest; else
// each file that differs, and where. The native command-line host and the DLL under Wine must
// both give it (TGA pixels opaque).
inline std::string Mismatch(const std::string& mapText, const std::string& textureFolder) {
  std::string problems;
  const std::string golden = rtl::ReadFileToString(
      rtl::JoinPath(MORVANE_SOURCE_DIR, rtl::NativePath("tests/support/golden/sample.map")));
  if (mapText != golden) problems += FirstDifference("sample.map", golden, mapText) + "\n";
  const std::vector<std::pair<std::string, uint64_t>> expected = {
      {"floor.tga", 0x5014327839b7f5b1ull},
      {"sky.tga", 0xc554cde515cdf2b0ull},
      {"wall.tga", 0x79b263ea096bf440ull}};
  std::vector<std::string> names = rtl::FindFiles(textureFolder, "*");
  std::sort(names.begin(), names.end());
  std::vector<std::string> wanted;
  for (const auto& [name, digest] : expected) {
    wanted.push_back(name);
    const std::string path = rtl::JoinPath(textureFolder, name);
    if (!rtl::FileExists(path)) {
      problems += name + ": missing\n";
      continue;
    }
    const std::string bytes = rtl::ReadFileToString(path);
    if (Fnv1a(bytes) != digest)
      problems += name + ": " + std::to_string(bytes.size()) + " bytes of another digest\n";
  }
  if (names != wanted) {
    problems += "texture files:";
    for (const std::string& name : names) problems += " " + name;
    problems += "\n";
  }
  return problems;
}

}  // namespace sample_import
