#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "rtl/Paths.h"
#include "support/TestSupport.h"
#include "texture/O_jkt.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

using testing_support::TempDir;

namespace {

// A smooth image: red grows to the right, green downwards, blue along the diagonal.
TJKTexture Gradient(int w, int h) {
  TJKTexture t;
  t.SetWidth(w);
  t.SetHeight(h);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = t.Scanline(y);
    for (int x = 0; x < w; ++x) {
      row[4 * x + 0] = static_cast<uint8_t>((x + y) * 255 / (w + h - 2));
      row[4 * x + 1] = static_cast<uint8_t>(y * 255 / (h - 1));
      row[4 * x + 2] = static_cast<uint8_t>(x * 255 / (w - 1));
      row[4 * x + 3] = 0;
    }
  }
  return t;
}

// Marker segments before the first scan: marker -> payloads.
std::multimap<int, std::string> Segments(const std::string& jpeg) {
  std::multimap<int, std::string> out;
  EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
  size_t pos = 2;
  while (pos + 4 <= jpeg.size() && static_cast<uint8_t>(jpeg[pos]) == 0xFF) {
    const int marker = static_cast<uint8_t>(jpeg[pos + 1]);
    const size_t len =
        static_cast<uint8_t>(jpeg[pos + 2]) << 8 | static_cast<uint8_t>(jpeg[pos + 3]);
    out.emplace(marker, jpeg.substr(pos + 4, len - 2));
    if (marker == 0xDA) break;
    pos += 2 + len;
  }
  return out;
}

struct DecodeError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};
void DecodeErrorExit(j_common_ptr c) {
  std::longjmp(reinterpret_cast<DecodeError*>(c->err)->jump, 1);
}

// Decodes into RGB; false when libjpeg rejects the data.
bool DecodeRgb(const std::string& jpeg, int& w, int& h, std::vector<uint8_t>& rgb) {
  jpeg_decompress_struct cinfo;
  DecodeError err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = DecodeErrorExit;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()),
               static_cast<unsigned long>(jpeg.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  w = static_cast<int>(cinfo.output_width);
  h = static_cast<int>(cinfo.output_height);
  rgb.resize(static_cast<size_t>(w) * h * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = rgb.data() + static_cast<size_t>(cinfo.output_scanline) * w * 3;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// The example tables of the JPEG standard (natural order) and the zig-zag order of a DQT segment.
const int kLuminance[64] = {16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
                            14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
                            18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
                            49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
const int kChrominance[64] = {17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
                              24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
                              99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
const int kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                         12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                         35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                         58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

std::string Quality90(const int* base) {
  std::string table;
  for (int k = 0; k < 64; ++k) {
    int q = (base[kZigZag[k]] * 20 + 50) / 100;  // quality 90: scale factor 200 - 2 * 90 = 20
    table += static_cast<char>(q < 1 ? 1 : q > 255 ? 255 : q);
  }
  return table;
}

}  // namespace

TEST(TexJpeg, BaselineWithQuality90Tables) {
  const std::string jpeg = Gradient(64, 48).EncodeJPEG();
  auto seg = Segments(jpeg);
  ASSERT_EQ(seg.count(0xC0), 1u) << "no baseline frame";
  EXPECT_EQ(seg.count(0xC2), 0u) << "progressive frame";
  EXPECT_EQ(seg.count(0xC1), 0u);
  EXPECT_EQ(seg.count(0xDA), 1u);
  // Frame: 8-bit precision, 48 x 64, three components (YCbCr).
  const std::string& sof = seg.find(0xC0)->second;
  EXPECT_EQ(sof.substr(0, 6), std::string("\x08\x00\x30\x00\x40\x03", 6));

  std::map<int, std::string> tables;
  for (auto it = seg.lower_bound(0xDB); it != seg.upper_bound(0xDB); ++it) {
    const std::string& p = it->second;
    for (size_t pos = 0; pos < p.size(); pos += 65) {
      ASSERT_EQ(static_cast<uint8_t>(p[pos]) >> 4, 0) << "16-bit table";
      tables[p[pos] & 0x0F] = p.substr(pos + 1, 64);
    }
  }
  ASSERT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables[0], Quality90(kLuminance));
  EXPECT_EQ(tables[1], Quality90(kChrominance));
}

TEST(TexJpeg, DecodesCloseToTheImage) {
  const TJKTexture t = Gradient(96, 80);
  int w = 0, h = 0;
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(DecodeRgb(t.EncodeJPEG(), w, h, rgb));
  ASSERT_EQ(w, 96);
  ASSERT_EQ(h, 80);
  long sum = 0;
  int worst = 0;
  for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i)
    for (int c = 0; c < 3; ++c) {
      int d = std::abs(int(rgb[3 * i + c]) - int(t.Bitmap()[4 * i + 2 - c]));
      sum += d;
      worst = std::max(worst, d);
    }
  const double mean = double(sum) / (double(w) * h * 3);
  EXPECT_LT(mean, 3.0);
  EXPECT_LT(worst, 40);
}

TEST(TexJpeg, EmptyImageGivesEmptyFile) {
  TempDir dir;
  TJKTexture t;
  EXPECT_EQ(t.EncodeJPEG(), "");
  testing_support::WriteFile(dir / "e.jpg", "old");
  EXPECT_TRUE(t.SaveToJPEG(dir / "e.jpg"));
  EXPECT_TRUE(rtl::FileExists(dir / "e.jpg"));
  EXPECT_EQ(testing_support::ReadFile(dir / "e.jpg"), "");
  t.SetWidth(5);  // 5 x 0 is still empty
  EXPECT_EQ(t.EncodeJPEG(), "");
}

TEST(TexJpeg, LibraryErrorBecomesEJPEGAndWritesNothing) {
  // Wider than libjpeg accepts: its fatal error must come back as an exception.
  TJKTexture t;
  t.SetWidth(JPEG_MAX_DIMENSION + 1);
  t.SetHeight(2);
  TempDir dir;
  try {
    t.SaveToJPEG(dir / "wide.jpg");
    FAIL() << "compressed";
  } catch (const EJPEG& e) {
    EXPECT_EQ(e.Code, JERR_IMAGE_TOO_BIG);
    EXPECT_EQ(e.Message(), rtl::Format("JPEG error #%d (in '%s')", JERR_IMAGE_TOO_BIG,
                                       (dir / "wide.jpg").c_str()));
  }
  EXPECT_TRUE(rtl::FindFiles(dir.Path(), "*").empty());
  // The library is still usable afterwards.
  EXPECT_FALSE(Gradient(8, 8).EncodeJPEG().empty());
}

namespace {

// The reference: the image handed to libjpeg as 3-component RGB rows, with the writer's settings.
std::string ReferenceRgbJpeg(const TJKTexture& t) {
  jpeg_compress_struct c;
  DecodeError err;
  c.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = DecodeErrorExit;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  std::vector<uint8_t> row(static_cast<size_t>(t.Width()) * 3);
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&c);
    std::free(out);
    return std::string();
  }
  jpeg_create_compress(&c);
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(t.Width());
  c.image_height = static_cast<JDIMENSION>(t.Height());
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  c.dct_method = JDCT_FLOAT;
  jpeg_set_quality(&c, 90, TRUE);
  jpeg_start_compress(&c, TRUE);
  for (int y = 0; y < t.Height(); ++y) {
    const uint8_t* in = t.Bitmap().data() + static_cast<size_t>(y) * t.Width() * 4;
    for (int x = 0; x < t.Width(); ++x) {
      row[3 * x] = in[4 * x + 2];
      row[3 * x + 1] = in[4 * x + 1];
      row[3 * x + 2] = in[4 * x];
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&c, &p, 1);
  }
  jpeg_finish_compress(&c);
  std::string bytes(reinterpret_cast<char*>(out), size);
  jpeg_destroy_compress(&c);
  std::free(out);
  return bytes;
}

}  // namespace

// The writer may feed libjpeg the bitmap's own pixels, but the file must be the very one that
// 3-component RGB input gives: same sizes, same noise, odd widths included.
TEST(TexJpeg, SameBytesAsThreeComponentRgbInput) {
  uint32_t seed = 12345;
  for (auto size : {std::pair<int, int>{1, 1}, {7, 3}, {64, 64}, {129, 33}}) {
    TJKTexture t = Gradient(std::max(size.first, 2), std::max(size.second, 2));
    for (int y = 0; y < t.Height(); ++y)
      for (int x = 0; x < t.Width(); ++x) {
        seed = seed * 1664525u + 1013904223u;
        t.Scanline(y)[4 * x + (seed >> 30) % 3] ^= static_cast<uint8_t>(seed >> 8);
        t.Scanline(y)[4 * x + 3] = static_cast<uint8_t>(seed);  // the pad byte must not count
      }
    const std::string ours = t.EncodeJPEG();
    ASSERT_FALSE(ours.empty());
    EXPECT_EQ(ours, ReferenceRgbJpeg(t)) << size.first << " x " << size.second;
  }
}
