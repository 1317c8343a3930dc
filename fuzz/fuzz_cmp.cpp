// Feeds arbitrary bytes to the palette reader, from memory and from a file: a palette is 832
// bytes or more and nothing in them is checked, so only the read error of a short file may come
// out, naming the file, and a read must take exactly bytes 64 to 831.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"
#include "texture/O_jkt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rtl::TReadOnlyMemoryStream stream(data, size);
  // Anywhere in the stream: the reader starts from the beginning.
  if (size > 0) stream.SetPosition(static_cast<int64_t>(data[0] % (size + 1)));
  TColorMap map;
  try {
    map.LoadFromStream(stream);
    if (size < 832 || std::memcmp(map.Palette.data(), data + 64, 768) != 0) std::abort();
  } catch (const rtl::EReadError& e) {
    if (size >= 832 || std::strcmp(e.what(), "Stream read error") != 0) std::abort();
  }

  // The same bytes as a file: a short one names itself in the error. Files cost a write each, so
  // only sizes around the edge go through one.
  if (size > 832 + 64) return 0;
  static const std::string path = [] {
    char name[] = "/tmp/morvane-fuzz-cmp-XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    close(fd);
    return std::string(name);
  }();
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  } else {
    std::abort();
  }
  TColorMap fromFile;
  try {
    if (!fromFile.LoadFromFile(path)) std::abort();
    if (size < 832 || std::memcmp(fromFile.Palette.data(), data + 64, 768) != 0) std::abort();
  } catch (const rtl::EReadError& e) {
    if (size >= 832 || e.Message() != "Stream read error (in '" + path + "')") std::abort();
  }
  return 0;
}
