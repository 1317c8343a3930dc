// What importing the bundled sample level gives, as one digest over the .map text and every
// texture file; the native command-line host and the DLL under Wine must both give it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "support/TestSupport.h"

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

inline std::string Hex(uint64_t h) {
  std::string hex;
  for (int shift = 60; shift >= 0; shift -= 4) hex += "0123456789abcdef"[(h >> shift) & 0xF];
  return hex;
}

// The digest of a .map text and the files of a texture folder (by name, in name order).
inline std::string Digest(const std::string& mapText, const std::string& textureFolder) {
  uint64_t h = Fnv1a(mapText);
  std::vector<std::string> names = rtl::FindFiles(textureFolder, "*");
  std::sort(names.begin(), names.end());
  for (const std::string& name : names)
    h = Fnv1a(testing_support::ReadFile(rtl::JoinPath(textureFolder, name)), Fnv1a(name, h));
  return Hex(h) + "/" + std::to_string(names.size());
}

// The digest of the sample, taken from a native run and checked in both builds (TGA pixels
// opaque).
constexpr const char* ExpectedDigest = "88bf6e694d3fb461/3";

// The same run file by file ("map" for the .map text), so that a failure names the file; the
// .map text itself lies beside this file.
inline const std::map<std::string, std::string>& ExpectedFiles() {
  static const std::map<std::string, std::string> files = {{"map", "3ce78cdf08fb72ee"},
                                                           {"floor.tga", "5014327839b7f5b1"},
                                                           {"sky.tga", "c554cde515cdf2b0"},
                                                           {"wall.tga", "79b263ea096bf440"}};
  return files;
}

// Where a text first differs from the expected one: "line N: 'got' instead of 'want'".
inline std::string FirstDifference(const std::string& got, const std::string& want) {
  size_t at = 0, line = 1;
  while (at < got.size() && at < want.size() && got[at] == want[at])
    if (got[at++] == '\n') ++line;
  auto lineAt = [&](const std::string& s) {
    const size_t begin = s.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = begin == std::string::npos || at == 0 ? 0 : begin + 1;
    return s.substr(from, s.find('\n', from) - from);
  };
  return "line " + std::to_string(line) + ": '" + lineAt(got) + "' instead of '" + lineAt(want) +
         "'";
}

// Empty when the .map text and the texture folder are exactly the sample's; otherwise one line
// per file that differs, is missing or is extra, the .map's with its first differing line.
inline std::string Differences(const std::string& mapText, const std::string& textureFolder) {
  std::map<std::string, std::string> got = {{"map", Hex(Fnv1a(mapText))}};
  for (const std::string& name : rtl::FindFiles(textureFolder, "*"))
    got[name] = Hex(Fnv1a(testing_support::ReadFile(rtl::JoinPath(textureFolder, name))));
  std::string out;
  for (const auto& [name, digest] : ExpectedFiles()) {
    auto it = got.find(name);
    if (it == got.end()) {
      out += name + ": missing\n";
    } else if (it->second != digest) {
      out += name + ": digest " + it->second + " instead of " + digest;
      if (name == "map") {
        const std::string golden =
            rtl::JoinPath(MORVANE_SOURCE_DIR, "tests/support/sample.golden.map");
        if (rtl::FileExists(golden))
          out += ", " + FirstDifference(mapText, testing_support::ReadFile(golden));
      }
      out += "\n";
    }
  }
  for (const auto& entry : got)
    if (!ExpectedFiles().count(entry.first)) out += entry.first + ": not expected\n";
  return out;
}

}  // namespace sample_import
