#include "texture/Palette.h"

#include <cstring>

#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace {

constexpr TRGBTriple Rgb(uint32_t hex) {
  return TRGBTriple{static_cast<uint8_t>(hex >> 16), static_cast<uint8_t>(hex >> 8),
                    static_cast<uint8_t>(hex)};
}

// One channel of a ramp step, rounded to the nearest level; rounding keeps a falling ramp
// falling (or level) from step to step.
constexpr uint8_t RampChannel(int from, int to, int step, int steps) {
  int d = (to - from) * step * 2;
  int half = d >= 0 ? steps - 1 : -(steps - 1);
  return static_cast<uint8_t>(from + (d + half) / (2 * (steps - 1)));
}

constexpr void Ramp(TPaletteRGB& p, int first, int last, uint32_t from, uint32_t to) {
  const TRGBTriple a = Rgb(from), b = Rgb(to);
  const int steps = last - first + 1;
  for (int i = 0; i < steps; ++i) {
    TRGBTriple& c = p[static_cast<size_t>(first + i)];
    c.R = RampChannel(a.R, b.R, i, steps);
    c.G = RampChannel(a.G, b.G, i, steps);
    c.B = RampChannel(a.B, b.B, i, steps);
  }
}

constexpr TPaletteRGB MakeDefaultPalette() {
  TPaletteRGB p{};
  p[0] = Rgb(0x000000);
  constexpr uint32_t fixed1to20[] = {0x00FF00, 0x00CB00, 0x009B00, 0x006B00, 0x003B00,  // 1-5 green
                                     0xFF0000, 0xCB0000, 0x9B0000, 0x6B0000, 0x3B0000,  // 6-10 red
                                     0xF7FF00, 0xD7A300, 0xAF5700, 0x871F00, 0x5F0000,  // 11-15
                                     0xFFFFFF,                                          // 16
                                     0xDFE7FF, 0xC3D7FF, 0xA3C3FF, 0x87AFFF};           // 17-20
  for (size_t i = 0; i < 20; ++i) p[i + 1] = Rgb(fixed1to20[i]);
  constexpr uint8_t orangeGreen[] = {0xAB, 0x9F, 0x93, 0x83, 0x6F, 0x5B, 0x47, 0x33, 0x23, 0x0F};
  for (size_t i = 0; i < 10; ++i) p[21 + i] = TRGBTriple{0xFF, orangeGreen[i], 0x00};
  p[31] = Rgb(0x0000FF);
  Ramp(p, 32, 63, 0xFDFDFD, 0x000000);    // grey
  Ramp(p, 64, 95, 0xBFC7DF, 0x0B0B0F);    // blue-grey
  Ramp(p, 96, 103, 0xFFCFB3, 0x57230F);   // brown
  Ramp(p, 104, 111, 0xFFFF00, 0x430000);  // yellow to red
  Ramp(p, 112, 119, 0xDFFFA7, 0x8F9300);  // yellow-green
  Ramp(p, 120, 127, 0xC7631F, 0x671F00);  // rust
  Ramp(p, 128, 135, 0xFB0000, 0x390000);  // red
  Ramp(p, 136, 143, 0x7FA3C7, 0x000017);  // blue
  Ramp(p, 144, 159, 0xC37347, 0x331707);  // brown
  Ramp(p, 160, 175, 0xFFE7B3, 0x271700);  // tan
  Ramp(p, 176, 183, 0x83E767, 0x23470F);  // green
  Ramp(p, 184, 191, 0xFFA7FF, 0x37005B);  // purple
  for (size_t i = 192; i <= 254; ++i) p[i] = Rgb(0xFF00FF);
  p[255] = Rgb(0xFFFFFF);
  return p;
}

constexpr TPaletteRGB kDefaultPalette = MakeDefaultPalette();

constexpr size_t kPaletteHeaderSize = 64;

}  // namespace

const TPaletteRGB DefaultPalette = kDefaultPalette;

bool TColorMap::LoadFromStream(rtl::TStream& stream) {
  uint8_t buffer[kPaletteHeaderSize + sizeof(TPaletteRGB)];
  stream.SetPosition(0);
  stream.ReadBuffer(buffer, sizeof buffer);
  std::memcpy(Palette.data(), buffer + kPaletteHeaderSize, sizeof(TPaletteRGB));
  return true;
}

bool TColorMap::LoadFromFile(const std::string& fileName) {
  if (!rtl::FileExists(fileName)) return false;
  try {
    rtl::TFileStream file(fileName, rtl::TFileMode::OpenRead);
    return LoadFromStream(file);
  } catch (rtl::Exception& e) {
    e.SetPlace(rtl::InFile(fileName));
    throw;
  }
}

bool SplitPaletteSource(const std::string& Source, std::string& File, std::string& Key) {
  size_t split = Source.find(">>");
  if (split == std::string::npos) return false;
  for (size_t at = split; at != std::string::npos; at = Source.find(">>", at + 1)) {
    if (rtl::FileExists(Source.substr(0, at))) {
      split = at;
      break;
    }
  }
  File = Source.substr(0, split);
  Key = Source.substr(split + 2);
  for (char& c : Key)
    if (c == '/') c = '\\';  // keys are written with "\"; accept either
  return true;
}
