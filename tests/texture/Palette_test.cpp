#include <gtest/gtest.h>

#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "support/TestSupport.h"
#include "texture/BatchConvert.h"
#include "texture/ColorTables.h"
#include "texture/O_jkt.h"

using testing_support::TempDir;

namespace {

// 64 header bytes of 0xEE, then palette byte i = (i * 7 + 3) & 0xFF, then `extra` bytes.
std::vector<uint8_t> CmpBytes(size_t paletteBytes, size_t extra = 0) {
  std::vector<uint8_t> b(64, 0xEE);
  for (size_t i = 0; i < paletteBytes; ++i) b.push_back(static_cast<uint8_t>(i * 7 + 3));
  b.insert(b.end(), extra, 0x55);
  return b;
}

void ExpectPatternPalette(const TPaletteRGB& p) {
  const uint8_t* bytes = &p[0].R;
  for (size_t i = 0; i < 768; ++i) ASSERT_EQ(bytes[i], static_cast<uint8_t>(i * 7 + 3)) << i;
}

uint32_t Hex(const TRGBTriple& c) { return uint32_t(c.R) << 16 | uint32_t(c.G) << 8 | c.B; }

}  // namespace

TEST(PaletteColorMap, NewMapIsBlackAndExactFileLoads) {
  TColorMap map;
  for (const TRGBTriple& c : map.Palette) ASSERT_EQ(Hex(c), 0u);

  TempDir dir;
  std::vector<uint8_t> bytes = CmpBytes(768);
  ASSERT_EQ(bytes.size(), 832u);
  testing_support::WriteFile(dir / "exact.cmp", std::string(bytes.begin(), bytes.end()));
  EXPECT_TRUE(map.LoadFromFile(dir / "exact.cmp"));
  ExpectPatternPalette(map.Palette);
}

TEST(PaletteColorMap, ShortStreamRaisesReadErrorAndKeepsPalette) {
  TColorMap map;
  map.Palette = DefaultPalette;
  rtl::TMemoryStream s(CmpBytes(767));
  ASSERT_EQ(s.Size(), 831);
  try {
    map.LoadFromStream(s);
    FAIL() << "an 831-byte palette loaded";
  } catch (const rtl::EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_TRUE(map.Palette == DefaultPalette);
}

TEST(PaletteColorMap, ReadsFromTheStartWhereverTheStreamStands) {
  rtl::TMemoryStream s(CmpBytes(768, 64 * 256));
  for (int64_t pos : {int64_t(0), int64_t(1), int64_t(64), int64_t(832), s.Size()}) {
    TColorMap map;
    s.SetPosition(pos);
    EXPECT_TRUE(map.LoadFromStream(s));
    ExpectPatternPalette(map.Palette);
    EXPECT_EQ(s.Position(), 832);
  }
}

TEST(PaletteColorMap, MissingFileIsFalseAndUnreadableRaises) {
  TempDir dir;
  TColorMap map;
  map.Palette = DefaultPalette;
  EXPECT_FALSE(map.LoadFromFile(dir / "none.cmp"));
  EXPECT_TRUE(map.Palette == DefaultPalette);
  testing_support::WriteFile(dir / "short.cmp", std::string(100, 'x'));
  EXPECT_THROW(map.LoadFromFile(dir / "short.cmp"), rtl::EReadError);
}

TEST(PaletteDefault, FixedEntries) {
  const std::pair<int, uint32_t> fixed[] = {
      {0, 0x000000},   {1, 0x00FF00},   {2, 0x00CB00},   {3, 0x009B00},   {4, 0x006B00},
      {5, 0x003B00},   {6, 0xFF0000},   {7, 0xCB0000},   {8, 0x9B0000},   {9, 0x6B0000},
      {10, 0x3B0000},  {11, 0xF7FF00},  {12, 0xD7A300},  {13, 0xAF5700},  {14, 0x871F00},
      {15, 0x5F0000},  {16, 0xFFFFFF},  {17, 0xDFE7FF},  {18, 0xC3D7FF},  {19, 0xA3C3FF},
      {20, 0x87AFFF},  {21, 0xFFAB00},  {22, 0xFF9F00},  {23, 0xFF9300},  {24, 0xFF8300},
      {25, 0xFF6F00},  {26, 0xFF5B00},  {27, 0xFF4700},  {28, 0xFF3300},  {29, 0xFF2300},
      {30, 0xFF0F00},  {31, 0x0000FF},  {32, 0xFDFDFD},  {63, 0x000000},  {64, 0xBFC7DF},
      {95, 0x0B0B0F},  {96, 0xFFCFB3},  {103, 0x57230F}, {104, 0xFFFF00}, {111, 0x430000},
      {112, 0xDFFFA7}, {119, 0x8F9300}, {120, 0xC7631F}, {127, 0x671F00}, {128, 0xFB0000},
      {135, 0x390000}, {136, 0x7FA3C7}, {143, 0x000017}, {144, 0xC37347}, {159, 0x331707},
      {160, 0xFFE7B3}, {175, 0x271700}, {176, 0x83E767}, {183, 0x23470F}, {184, 0xFFA7FF},
      {191, 0x37005B}, {255, 0xFFFFFF}};
  for (const auto& f : fixed)
    EXPECT_EQ(Hex(DefaultPalette[f.first]), f.second) << "index " << f.first;
  for (int i = 192; i <= 254; ++i) EXPECT_EQ(Hex(DefaultPalette[i]), 0xFF00FFu) << i;
}

TEST(PaletteDefault, RampsFallStepByStepAndGreysStayGrey) {
  const std::pair<int, int> ramps[] = {{21, 30},   {32, 63},   {64, 95},   {96, 103},  {104, 111},
                                       {112, 119}, {120, 127}, {128, 135}, {136, 143}, {144, 159},
                                       {160, 175}, {176, 183}, {184, 191}};
  for (const auto& r : ramps) {
    for (int i = r.first + 1; i <= r.second; ++i) {
      const TRGBTriple &a = DefaultPalette[i - 1], &b = DefaultPalette[i];
      EXPECT_LE(b.R, a.R) << i;
      EXPECT_LE(b.G, a.G) << i;
      EXPECT_LE(b.B, a.B) << i;
      EXPECT_NE(Hex(a), Hex(b)) << "a ramp step repeats its colour at " << i;
    }
  }
  for (int i = 32; i <= 63; ++i) {
    EXPECT_EQ(DefaultPalette[i].R, DefaultPalette[i].G) << i;
    EXPECT_EQ(DefaultPalette[i].G, DefaultPalette[i].B) << i;
  }
}

#ifndef _WIN32  // Windows names hold no ">"
// A container in a folder whose name holds ">>" is still the container: the source splits where
// the part before names a file (at the first ">>" the folder's name was taken for the container).
TEST(PaletteSource, AFolderNameMayHoldTheEntrySeparator) {
  TempDir dir;
  std::string cmp = "CMP " + std::string(60, '\0') + std::string(768, '\0');
  cmp[64] = '\x7f';
  rtl::ForceDirectories(dir / "a>>b");
  testing_support::WriteFile(dir / "a>>b/pal.gob",
                             testing_support::MakeGob({{"misc\\cmp\\pal.cmp", cmp}}));
  const TPaletteRGB palette = ReadPaletteSource(dir / "a>>b/pal.gob>>misc/cmp/pal.cmp");
  EXPECT_EQ(palette[0].R, 0x7f);
  EXPECT_EQ(ReadColorTablesSource(dir / "a>>b/pal.gob>>misc/cmp/pal.cmp").Light.size(), 0u);
}
#endif
