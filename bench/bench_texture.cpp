// Texture conversion speed: every corpus MAT and 1,000 generated 256 x 256 textures, converted
// to TGA and to JPEG, beside the time libjpeg alone takes to compress the same pixels with the
// same settings and the time the disk takes to take the same TGA bytes.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "rtl/AtomicFile.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "support/ConvertMat.h"
#include "texture/O_jkt.h"

extern "C" {
#include <jpeglib.h>
}

namespace fs = std::filesystem;

namespace {

double BestSeconds(int runs, const std::function<void()>& work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    work();
    std::chrono::duration<double> d = std::chrono::steady_clock::now() - start;
    best = std::min(best, d.count());
  }
  return best;
}

void PutLE32(std::string& s, int32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
}

// An 8-bit texture material of one cel: smooth shading with some grain, like real wall textures.
std::string MakeMat(int w, int h, unsigned seed) {
  std::string s = "MAT ";
  for (int32_t v : {0x32, 2, 1, 1, 0, 8}) PutLE32(s, v);
  s.resize(76, '\0');
  PutLE32(s, 8);
  s.append(36, '\0');
  for (int32_t v : {w, h, 0, 0, 0, 1}) PutLE32(s, v);
  unsigned r = seed * 2654435761u + 1;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      r = r * 1103515245u + 12345u;
      int v = 32 + ((x + y + static_cast<int>(seed)) & 127) / 4 + static_cast<int>((r >> 16) & 7);
      s += static_cast<char>(v);
    }
  return s;
}

// libjpeg alone, from RGB rows already in memory, with the writer's settings.
size_t CompressAlone(const std::vector<uint8_t>& rgb, int w, int h) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(w);
  cinfo.image_height = static_cast<JDIMENSION>(h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  cinfo.dct_method = JDCT_FLOAT;
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row =
        const_cast<uint8_t*>(rgb.data()) + static_cast<size_t>(cinfo.next_scanline) * w * 3;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  free(out);
  return size;
}

void Run(const char* title, const std::vector<std::string>& mats, const TPaletteRGB& palette,
         const std::string& outDir) {
  // Decode once to know the pixels and to prepare the reference inputs.
  struct Image {
    int w, h;
    std::vector<uint8_t> rgb;
    std::string tga;
  };
  std::vector<Image> images;
  double megapixels = 0;
  for (const std::string& m : mats) {
    TJKTexture t;
    t.Palette = palette;
    if (!t.LoadFromFile(m)) continue;
    Image im{t.Width(), t.Height(), {}, t.EncodeTGA()};
    im.rgb.reserve(static_cast<size_t>(im.w) * im.h * 3);
    for (size_t i = 0; i < t.Bitmap().size(); i += 4) {
      im.rgb.push_back(t.Bitmap()[i + 2]);
      im.rgb.push_back(t.Bitmap()[i + 1]);
      im.rgb.push_back(t.Bitmap()[i]);
    }
    megapixels += im.w * static_cast<double>(im.h) / 1e6;
    images.push_back(std::move(im));
  }
  const int runs = 5;
  auto outName = [&](size_t i, const char* ext) {
    return rtl::JoinPath(outDir, "t" + std::to_string(i) + ext);
  };

  double decode = BestSeconds(runs, [&] {
    for (const std::string& m : mats) {
      TJKTexture t;
      t.Palette = palette;
      t.LoadFromFile(m);
    }
  });
  double tga = BestSeconds(runs, [&] {
    for (size_t i = 0; i < mats.size(); ++i)
      testing_support::ConvertMatToTGA(mats[i], outName(i, ".tga"), palette);
  });
  double disk = BestSeconds(runs, [&] {
    for (size_t i = 0; i < images.size(); ++i)
      rtl::WriteFileAtomic(outName(i, ".raw"), images[i].tga);
  });
  double jpeg = BestSeconds(runs, [&] {
    for (size_t i = 0; i < mats.size(); ++i)
      testing_support::ConvertMatToJPEG(mats[i], outName(i, ".jpg"), palette);
  });
  size_t bytes = 0;
  double alone = BestSeconds(runs, [&] {
    bytes = 0;
    for (const Image& im : images) bytes += CompressAlone(im.rgb, im.w, im.h);
  });

  std::vector<TJKTexture> decoded(mats.size());
  for (size_t i = 0; i < mats.size(); ++i) {
    decoded[i].Palette = palette;
    decoded[i].LoadFromFile(mats[i]);
  }
  double inMemory = BestSeconds(runs, [&] {
    for (const TJKTexture& t : decoded) t.EncodeJPEG();
  });
  std::vector<std::string> jpegs;
  for (const TJKTexture& t : decoded) jpegs.push_back(t.EncodeJPEG());
  double jpegDisk = BestSeconds(runs, [&] {
    for (size_t i = 0; i < jpegs.size(); ++i) rtl::WriteFileAtomic(outName(i, ".rawjpg"), jpegs[i]);
  });

  std::printf("%s: %zu textures, %.2f megapixels\n", title, images.size(), megapixels);
  std::printf("  decode MAT only           %8.3f s %9.1f MP/s\n", decode, megapixels / decode);
  std::printf("  MAT -> TGA file           %8.3f s %9.1f MP/s\n", tga, megapixels / tga);
  std::printf("  same TGA bytes to disk    %8.3f s %9.1f MP/s\n", disk, megapixels / disk);
  std::printf("  MAT -> JPEG file          %8.3f s %9.1f MP/s\n", jpeg, megapixels / jpeg);
  std::printf("  JPEG writer, memory only  %8.3f s %9.1f MP/s\n", inMemory, megapixels / inMemory);
  std::printf("  same JPEG bytes to disk   %8.3f s %9.1f MP/s\n", jpegDisk, megapixels / jpegDisk);
  std::printf("  libjpeg alone (memory)    %8.3f s %9.1f MP/s   (%zu bytes)\n", alone,
              megapixels / alone, bytes);
  std::printf(
      "  JPEG conversion / libjpeg alone = %.3f (writer in memory / libjpeg alone = %.3f;"
      " conversion / (libjpeg alone + disk) = %.3f)\n",
      jpeg / alone, inMemory / alone, jpeg / (alone + jpegDisk));
  std::printf("  TGA conversion / disk alone = %.3f\n", tga / disk);
}

}  // namespace

int main() {
  fs::path root = fs::temp_directory_path() / "morvane-bench-texture";
  fs::remove_all(root);
  fs::create_directories(root / "in");
  fs::create_directories(root / "out");

  TPaletteRGB palette = DefaultPalette;
  const std::string corpus = MORVANE_CORPUS_DIR;
  std::vector<std::string> corpusMats;
  if (rtl::DirectoryExists(corpus)) {
    for (const std::string& name : rtl::FindFiles(rtl::JoinPath(corpus, "mat"), "*.mat"))
      corpusMats.push_back(rtl::JoinPath(rtl::JoinPath(corpus, "mat"), name));
    std::vector<std::string> cmps = rtl::FindFiles(rtl::JoinPath(corpus, "cmp"), "*.cmp");
    TColorMap map;
    if (!cmps.empty() && map.LoadFromFile(rtl::JoinPath(rtl::JoinPath(corpus, "cmp"), cmps[0])))
      palette = map.Palette;
  }

  std::vector<std::string> generated;
  for (unsigned i = 0; i < 1000; ++i) {
    std::string path = (root / "in" / ("g" + std::to_string(i) + ".mat")).string();
    rtl::WriteFileAtomic(path, MakeMat(256, 256, i));
    generated.push_back(path);
  }

  if (!corpusMats.empty())
    Run("corpus", corpusMats, palette, (root / "out").string());
  else
    std::printf("corpus: absent, skipped\n");
  Run("generated 256x256", generated, palette, (root / "out").string());
  fs::remove_all(root);
  return 0;
}
