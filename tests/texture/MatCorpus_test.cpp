// Every MAT of the corpus, decoded with the corpus palette. The table is the reviewed result; the
// same table is checked by the native build and by the Windows build under Wine, so a passing
// run of both shows that they write the same TGA bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "support/TestSupport.h"
#include "texture/O_jkt.h"

namespace {

struct Row {
  const char* file;
  const char* kind;  // from the header: "colour", "8-bit" or "16-bit", and the cel count
  int cels;
  int width, height;  // as declared by the first cel header (8 x 8 for a colour material)
  uint64_t tgaHash;   // FNV-1a 64 of the TGA bytes
};

// clang-format off
const Row kTable[] = {
    {"00drkfloor.mat",      "8-bit",   1,  64,  64, 0x7ba2b68e720281e8ull},
    {"00ladder1.mat",       "8-bit",   1,  32,  32, 0xb539504944fb5ccbull},
    {"13fwaterhighres.mat", "8-bit",   1, 128, 128, 0x1f2c3428632a5038ull},
    {"FIRE_ANI.MAT",        "8-bit",   5,  32,  64, 0x57ececb456555f81ull},
    {"barrel_rst.mat",      "16-bit",  1, 256, 256, 0xaa5715d8d50a354bull},
    {"barrelp.mat",         "8-bit",   1, 256, 256, 0x0d3d53f9dcac1b56ull},
    {"colon.mat",           "8-bit",   1,   8,  16, 0xf1e5c4abdbd12bf2ull},
    {"crosshair.mat",       "8-bit",   1, 128, 128, 0x74ae31f17dcbb83cull},
    {"etime.mat",           "8-bit",   1, 256,  32, 0x1cc7b94c06e9e79full},
    {"foggy.mat",           "8-bit",   1,   8,   8, 0x13fef745aa2f5f5aull},
    {"glass.mat",           "8-bit",   1, 512, 512, 0x3343274e0f71cf07ull},
    {"gozfalconanh07.mat",  "8-bit",   1,  32, 256, 0xc1cfd4e05a3e30abull},
    {"indusswitch.mat",     "16-bit",  1, 128, 128, 0xc7131e041405a771ull},
    {"lampglow.mat",        "8-bit",   1,  64,  64, 0xa308a2699e792d8aull},
    {"pipes2.mat",          "16-bit",  1, 128, 128, 0xee62c9ce0e7c33a4ull},
    {"rain.mat",            "colour",  0,   8,   8, 0x743b2ca3b105e75aull},
    {"rednumbers.mat",      "8-bit",  10,  64,  64, 0xfbc10d137ef932eaull},
    {"smlgrt_rnd.mat",      "16-bit",  1,  64,  64, 0x7370e2239010cf6dull},
    {"snow.mat",            "colour",  0,   8,   8, 0x1dca30b676fe7c5aull},
    {"snumbers.mat",        "8-bit",  10,  16,  16, 0x7746d92d329514dfull},
    {"trim_mtlb.mat",       "16-bit",  1, 256,  32, 0x708f0973e97c303dull},
    {"woodplain.mat",       "8-bit",   1, 128, 128, 0xe46d9c5941a07d3dull},
};
// clang-format on

uint64_t Fnv1a64(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    h ^= c;
    h *= 0x100000001b3ull;
  }
  return h;
}

int32_t LE32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
  return static_cast<int32_t>(v);
}

std::string KindOf(const std::string& mat) {
  if (LE32(mat, 8) == 0) return "colour";
  return LE32(mat, 24) == 16 ? "16-bit" : "8-bit";
}

}  // namespace

TEST(MatCorpus, EveryFileDecodesAsReviewed) {
  const std::string corpus = testing_support::CorpusDir();
  const std::vector<std::string> files = testing_support::CorpusFiles("mat", "*.mat");
  const std::vector<std::string> palettes = testing_support::CorpusFiles("cmp", "*.cmp");
  if (corpus.empty() || files.empty() || palettes.empty()) GTEST_SKIP() << "no corpus";

  TColorMap map;
  ASSERT_TRUE(map.LoadFromFile(rtl::JoinPath(rtl::JoinPath(corpus, "cmp"), palettes[0])));

  std::vector<std::string> seen;
  for (const std::string& name : files) {
    SCOPED_TRACE(name);
    const Row* row = std::find_if(std::begin(kTable), std::end(kTable),
                                  [&](const Row& r) { return name == r.file; });
    const std::string path = rtl::JoinPath(rtl::JoinPath(corpus, "mat"), name);
    const std::string bytes = testing_support::ReadFile(path);
    TJKTexture t;
    t.Palette = map.Palette;
    ASSERT_TRUE(t.LoadFromFile(path));
    const std::string tga = t.EncodeTGA();
    const std::string actual =
        rtl::Format("{\"%s\", \"%s\", %d, %d, %d, 0x%016llxull},", name.c_str(),
                    KindOf(bytes).c_str(), LE32(bytes, 8) == 0 ? 0 : LE32(bytes, 16), t.Width(),
                    t.Height(), static_cast<unsigned long long>(Fnv1a64(tga)));
    if (row == std::end(kTable)) {
      ADD_FAILURE() << "not in the table: " << actual;
      continue;
    }
    seen.push_back(name);
    EXPECT_EQ(KindOf(bytes), row->kind) << actual;
    EXPECT_EQ(LE32(bytes, 8) == 0 ? 0 : LE32(bytes, 16), row->cels) << actual;
    EXPECT_EQ(t.Width(), row->width) << actual;
    EXPECT_EQ(t.Height(), row->height) << actual;
    if (KindOf(bytes) != "colour") {  // the size the first cel header declares
      const size_t cel = 76 + 40 * static_cast<size_t>(LE32(bytes, 12));
      EXPECT_EQ(t.Width(), LE32(bytes, cel));
      EXPECT_EQ(t.Height(), LE32(bytes, cel + 4));
    }
    EXPECT_EQ(tga.size(), 44u + 4u * row->width * row->height);
    // The TGA's pixels are the bitmap's colours, every one of them opaque.
    const std::vector<uint8_t>& bitmap = t.Bitmap();
    bool sameColoursOpaque = tga.size() == 44u + bitmap.size();
    for (size_t i = 0; sameColoursOpaque && i < bitmap.size(); ++i)
      sameColoursOpaque = static_cast<uint8_t>(tga[18 + i]) == (i % 4 == 3 ? 0xFF : bitmap[i]);
    EXPECT_TRUE(sameColoursOpaque);
    EXPECT_EQ(Fnv1a64(tga), row->tgaHash) << actual;
  }
  EXPECT_EQ(seen.size(), std::size(kTable)) << "table rows without a corpus file";
}
