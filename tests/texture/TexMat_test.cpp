#include <gtest/gtest.h>

#include <algorithm>

#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "support/ConvertMat.h"
#include "support/TestSupport.h"
#include "texture/MatFixture.h"
#include "texture/O_jkt.h"

using mat_fixture::Cel;
using mat_fixture::ColourMat;
using mat_fixture::TextureMat;
using testing_support::Bytes;
using testing_support::TempDir;

namespace {

std::string Px(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}

bool Load(TJKTexture& t, const std::string& bytes) {
  rtl::TReadOnlyMemoryStream s(bytes.data(), bytes.size());
  return t.LoadFromStream(s);
}

std::string BitmapText(const TJKTexture& t) {
  return std::string(t.Bitmap().begin(), t.Bitmap().end());
}

// A texture already holding a 2 x 1 image, to show that failed loads keep it.
TJKTexture Loaded() {
  TJKTexture t;
  EXPECT_TRUE(Load(t, TextureMat({{2, 1, Px({1, 6})}})));
  return t;
}

void ExpectStreamReadError(const std::string& mat, const char* what) {
  TJKTexture t = Loaded();
  const std::string before = BitmapText(t);
  try {
    Load(t, mat);
    ADD_FAILURE() << what << ": loaded";
  } catch (const rtl::EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error") << what;
  }
  EXPECT_EQ(t.Width(), 2) << what;
  EXPECT_EQ(BitmapText(t), before) << what;
}

std::vector<std::string> FilesIn(const std::string& dir) { return rtl::FindFiles(dir, "*"); }

}  // namespace

TEST(TexTga, LayoutByteForByte) {
  // Top row: indices 1, 6, 31; bottom row: 16, 0, 5 (DefaultPalette).
  TJKTexture t;
  ASSERT_TRUE(Load(t, TextureMat({{3, 2, Px({1, 6, 31, 16, 0, 5})}})));
  const std::string expected =
      Px({0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x02,
          0x00, 0x20, 0x20,
          // row 0: green, red, blue (B, G, R, alpha: opaque)
          0x00, 0xFF, 0x00, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF,
          // row 1: white, black, dark green 003B00
          0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x3B, 0x00, 0xFF}) +
      std::string(8, '\0') + "TRUEVISION-XFILE." + std::string(1, '\0');
  ASSERT_EQ(expected.size(), 44u + 3 * 2 * 4);
  EXPECT_EQ(t.EncodeTGA(), expected);

  TempDir dir;
  EXPECT_TRUE(t.SaveToTGA(dir / "a.tga"));
  EXPECT_EQ(testing_support::ReadFile(dir / "a.tga"), expected);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"a.tga"});

  // Size and header of a larger image; an empty image is header and footer only.
  TJKTexture big;
  ASSERT_TRUE(Load(big, TextureMat({{64, 32, std::string(64 * 32, '\5')}})));
  std::string tga = big.EncodeTGA();
  ASSERT_EQ(tga.size(), 8236u);
  EXPECT_EQ(tga.substr(12, 4), Px({0x40, 0x00, 0x20, 0x00}));
  EXPECT_EQ(tga.substr(18, 4), Px({0x00, 0x3B, 0x00, 0xFF}));
  // The bitmap itself keeps 0 in the fourth byte; only the file says opaque.
  EXPECT_EQ(big.Bitmap()[3], 0);
  EXPECT_EQ(TJKTexture().EncodeTGA().size(), 44u);
}

TEST(TexTga, TooLargeForTheHeaderIsAnErrorAndTouchesNoFile) {
  TempDir dir;
  testing_support::WriteFile(dir / "old.tga", "previous");
  for (auto size : {std::make_pair(65536, 1), std::make_pair(1, 65536)}) {
    TJKTexture t;
    ASSERT_TRUE(Load(t, TextureMat({{size.first, size.second, std::string(65536, '\1')}})));
    const std::string message = rtl::Format(
        "An image of %d x %d pixels is too large for a TGA file (65535 at most on each side)",
        size.first, size.second);
    try {
      t.SaveToTGA(dir / "old.tga");
      ADD_FAILURE() << "saved";
    } catch (const rtl::Exception& e) {
      EXPECT_EQ(e.Message(), message + " (in '" + (dir / "old.tga") + "')");
    }
    EXPECT_THROW(t.EncodeTGA(), rtl::Exception);
  }
  EXPECT_EQ(testing_support::ReadFile(dir / "old.tga"), "previous");
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"old.tga"});

  TJKTexture edge;
  ASSERT_TRUE(Load(edge, TextureMat({{65535, 1, std::string(65535, '\1')}})));
  EXPECT_EQ(edge.EncodeTGA().substr(12, 4), Px({0xFF, 0xFF, 0x01, 0x00}));
}

TEST(TexWriters, AtomicReplaceAndMissingFolder) {
  TempDir dir;
  TJKTexture t = Loaded();
  testing_support::WriteFile(dir / "x.tga", "old contents");
  EXPECT_TRUE(t.SaveToTGA(dir / "x.tga"));
  EXPECT_EQ(testing_support::ReadFile(dir / "x.tga"), t.EncodeTGA());

  const std::string missing = rtl::JoinPath(dir / "no such folder", "x.tga");
  for (int jpeg = 0; jpeg < 2; ++jpeg) {
    try {
      jpeg ? t.SaveToJPEG(missing) : t.SaveToTGA(missing);
      ADD_FAILURE() << "wrote into a missing folder";
    } catch (const rtl::EFCreateError& e) {
      EXPECT_EQ(e.Message(), "Cannot create file " + missing);
    }
  }
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"x.tga"});
}

TEST(TexWriters, SaveToFileChoosesByExtension) {
  TempDir dir;
  TJKTexture t = Loaded();
  EXPECT_TRUE(t.SaveToFile(dir / "a.JPEG"));
  EXPECT_TRUE(t.SaveToFile(dir / "b.Jpg"));
  EXPECT_TRUE(t.SaveToFile(dir / "c.Tga"));
  EXPECT_EQ(testing_support::ReadFile(dir / "a.JPEG").substr(0, 3), Px({0xFF, 0xD8, 0xFF}));
  EXPECT_EQ(testing_support::ReadFile(dir / "b.Jpg"), t.EncodeJPEG());
  EXPECT_EQ(testing_support::ReadFile(dir / "c.Tga"), t.EncodeTGA());
  const std::pair<const char*, const char*> bad[] = {
      {"d.BMP", "Unsupported file extension: '.bmp'"},
      {"noext", "Unsupported file extension: ''"},
      {"dot.tga.png", "Unsupported file extension: '.png'"}};
  for (const auto& b : bad) {
    try {
      t.SaveToFile(dir / b.first);
      ADD_FAILURE() << b.first;
    } catch (const rtl::Exception& e) {
      EXPECT_EQ(e.Message(), b.second);
    }
  }
  EXPECT_EQ(FilesIn(dir.Path()).size(), 3u);
}

TEST(MatDecode, FirstCelOfAnimatedTextureFollowsItsOwnHeader) {
  // Three 2 x 2 cels with distinct indices; only the first one's pixels may show.
  TJKTexture t;
  ASSERT_TRUE(Load(
      t, TextureMat(
             {{2, 2, Px({1, 6, 16, 31})}, {2, 2, Px({2, 7, 17, 0})}, {2, 2, Px({3, 8, 18, 0})}})));
  ASSERT_EQ(t.Width(), 2);
  ASSERT_EQ(t.Height(), 2);
  EXPECT_EQ(BitmapText(t), Px({0, 0xFF, 0, 0, 0, 0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0, 0xFF, 0, 0, 0}));
}

TEST(MatDecode, PaletteIsAppliedAtLoadAndReloadIsStable) {
  const std::string mat = TextureMat({{2, 1, Px({0, 255})}});
  TJKTexture t;
  t.Palette[0] = TRGBTriple{1, 2, 3};
  t.Palette[255] = TRGBTriple{250, 251, 252};
  ASSERT_TRUE(Load(t, mat));
  const std::string once = BitmapText(t);
  EXPECT_EQ(once, Px({3, 2, 1, 0, 252, 251, 250, 0}));
  t.Palette[0] = TRGBTriple{9, 9, 9};  // does not recolour what is decoded
  EXPECT_EQ(BitmapText(t), once);
  t.Palette[0] = TRGBTriple{1, 2, 3};
  ASSERT_TRUE(Load(t, mat));
  EXPECT_EQ(BitmapText(t), once);

  // The stream's position does not matter.
  rtl::TMemoryStream s(std::vector<uint8_t>(mat.begin(), mat.end()));
  s.SetPosition(50);
  TJKTexture u;
  u.Palette = t.Palette;
  ASSERT_TRUE(u.LoadFromStream(s));
  EXPECT_EQ(BitmapText(u), once);
}

TEST(MatDecode, SixteenBitCelsAreRgb565WhateverTheirMipData) {
  // White, pure red, pure green, pure blue, and a middle value whose low bits are replicated.
  const std::string pixels =
      Bytes().u16(0xFFFF).u16(0xF800).u16(0x07E0).u16(0x001F).u16(0x8410).u16(0x0000).data;
  const std::string expected = Px({0xFF, 0xFF, 0xFF, 0, 0,    0,    0xFF, 0, 0, 0xFF, 0, 0,
                                   0xFF, 0,    0,    0, 0x84, 0x82, 0x84, 0, 0, 0,    0, 0});
  // As declared, short of the declared mip levels, and longer than declared.
  const std::string variants[] = {pixels + std::string(6, '\0'), pixels,
                                  pixels + std::string(4000, '\x77')};
  const int mips[] = {2, 4, 1};
  for (int i = 0; i < 3; ++i) {
    TJKTexture t;
    Cel cel{3, 2, variants[i]};
    cel.mips = mips[i];
    ASSERT_TRUE(Load(t, TextureMat({cel}, 16))) << i;
    EXPECT_EQ(t.Width(), 3);
    EXPECT_EQ(t.Height(), 2);
    EXPECT_EQ(BitmapText(t), expected) << i;
  }
  // One byte short of the first level.
  ExpectStreamReadError(TextureMat({{3, 2, pixels.substr(0, 11)}}, 16), "short 16-bit level");
}

TEST(MatDecode, ColourMaterialsGiveASolidSquare) {
  const std::string red8x8 = [] {
    std::string s;
    for (int i = 0; i < 64; ++i) s += Px({0, 0, 0xFF, 0});
    return s;
  }();
  TJKTexture t;
  ASSERT_TRUE(Load(t, ColourMat(6)));
  EXPECT_EQ(t.Width(), 8);
  EXPECT_EQ(t.Height(), 8);
  EXPECT_EQ(BitmapText(t), red8x8);

  // A texture file whose first record is a colour record.
  Bytes b = mat_fixture::Header(2, 1, 8);
  b.i32(0).i32(6).zeros(32);
  TJKTexture u;
  ASSERT_TRUE(Load(u, b.data));
  EXPECT_EQ(BitmapText(u), red8x8);
}

TEST(MatDecode, NothingToDecodeIsFalseAndKeepsThePreviousImage) {
  Bytes wrongType = mat_fixture::Header(1, 1, 8);
  wrongType.i32(8).zeros(36).i32(1).i32(1).zeros(16).u8(1);
  Bytes recordType = mat_fixture::Header(2, 1, 8);
  recordType.i32(3).zeros(36).i32(1).i32(1).zeros(16).u8(1);
  Bytes textureInColourFile = mat_fixture::Header(0, 1, 8);
  textureInColourFile.i32(8).zeros(20);
  const std::pair<std::string, const char*> cases[] = {
      {wrongType.data, "file type 1"},
      {recordType.data, "record type 3"},
      {textureInColourFile.data, "texture record in a colour file"},
      {mat_fixture::Header(2, 0, 8).data, "no records"},
      {mat_fixture::Header(2, -5, 8).data, "negative record count"},
      {TextureMat({{0, 4, ""}}), "width 0"},
      {TextureMat({{4, 0, ""}}), "height 0"},
      {ColourMat(256), "colour index 256"},
      {ColourMat(-1), "colour index -1"}};
  for (const auto& c : cases) {
    TJKTexture t = Loaded();
    const std::string before = BitmapText(t);
    EXPECT_FALSE(Load(t, c.first)) << c.second;
    EXPECT_EQ(t.Width(), 2) << c.second;
    EXPECT_EQ(t.Height(), 1) << c.second;
    EXPECT_EQ(BitmapText(t), before) << c.second;
  }
}

TEST(MatDecode, BadSizesAreReadErrorsBeforeAnyAllocation) {
  // Under the sanitizers a multi-gigabyte allocation would abort the run, so these cases also
  // prove that the size check comes first.
  ExpectStreamReadError(TextureMat({{-1, 4, std::string(16, '\1')}}), "negative width");
  ExpectStreamReadError(TextureMat({{4, -1, std::string(16, '\1')}}), "negative height");
  ExpectStreamReadError(TextureMat({{0x7FFFFFFF, 0x7FFFFFFF, "abc"}}), "2^31 square");
  ExpectStreamReadError(TextureMat({{0x7FFFFFFF, 0x7FFFFFFF, "abc"}}, 16), "2^31 square 16-bit");
  ExpectStreamReadError(TextureMat({{65536, 65536, std::string(64, '\1')}}), "65536 square");
  ExpectStreamReadError(TextureMat({{4, 4, std::string(15, '\1')}}), "one pixel short");
  ExpectStreamReadError(mat_fixture::Header(2, 1, 8).data.substr(0, 75), "short header");
  ExpectStreamReadError(mat_fixture::Header(2, 1, 8).data, "no record");
  ExpectStreamReadError(mat_fixture::Header(2, 0x7FFFFFFF, 8).i32(8).zeros(36).data,
                        "huge record count");
  ExpectStreamReadError(TextureMat({{4, 4, ""}}).substr(0, 76 + 40 + 20), "short cel header");
  ExpectStreamReadError(ColourMat(6).substr(0, 99), "short colour record");
}

TEST(MatConvert, ResultsAndFilesOfTheOneCallConversions) {
  TempDir dir;
  const std::string mat = TextureMat({{4, 2, Px({1, 2, 3, 4, 5, 6, 7, 8})}});
  testing_support::WriteFile(dir / "good.mat", mat);
  testing_support::WriteFile(dir / "empty.mat", TextureMat({{0, 0, ""}}));
  testing_support::WriteFile(dir / "short.mat", mat.substr(0, mat.size() - 1));
  TPaletteRGB palette = DefaultPalette;
  palette[1] = TRGBTriple{10, 20, 30};
  TJKTexture expected;
  expected.Palette = palette;
  ASSERT_TRUE(Load(expected, mat));

  EXPECT_TRUE(testing_support::ConvertMatToTGA(dir / "good.mat", dir / "good.tga", palette));
  EXPECT_EQ(testing_support::ReadFile(dir / "good.tga"), expected.EncodeTGA());
  EXPECT_TRUE(testing_support::ConvertMatToJPEG(dir / "good.mat", dir / "good.jpg", palette));
  EXPECT_EQ(testing_support::ReadFile(dir / "good.jpg"), expected.EncodeJPEG());

  const std::string missingFolder = rtl::JoinPath(dir / "none", "x.tga");
  for (const char* in : {"missing.mat", "empty.mat", "short.mat"}) {
    EXPECT_FALSE(testing_support::ConvertMatToTGA(dir / in, dir / "out.tga", palette)) << in;
    EXPECT_FALSE(testing_support::ConvertMatToJPEG(dir / in, dir / "out.jpg", palette)) << in;
  }
  EXPECT_FALSE(testing_support::ConvertMatToTGA(dir / "good.mat", missingFolder, palette));
  EXPECT_FALSE(testing_support::ConvertMatToJPEG(dir / "good.mat", missingFolder, palette));
  std::vector<std::string> files = FilesIn(dir.Path());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"empty.mat", "good.jpg", "good.mat", "good.tga",
                                             "short.mat"}));
}
