#include "support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "rtl/Paths.h"

namespace fs = std::filesystem;

namespace testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path p = fs::temp_directory_path() /
               ("morvane-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(p);
  path_ = p.string();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::operator/(const std::string& name) const { return rtl::JoinPath(path_, name); }

std::string TempDir::Folder(const std::string& name) const {
  const std::string path = rtl::JoinPath(path_, name);
  rtl::ForceDirectories(path);
  return path;
}

std::string CorpusDir() {
  const char* env = std::getenv("MORVANE_CORPUS_DIR");
  std::string dir = env && *env ? env : MORVANE_CORPUS_DIR;
  return rtl::DirectoryExists(dir) ? dir : std::string();
}

std::vector<std::string> CorpusFiles(const std::string& sub, const std::string& mask) {
  std::vector<std::string> out;
  std::string dir = CorpusDir();
  if (dir.empty()) return out;
  for (const std::string& name : rtl::FindFiles(rtl::JoinPath(dir, sub), mask)) out.push_back(name);
  std::sort(out.begin(), out.end());
  return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

Bytes& Bytes::i32(int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) data += static_cast<char>((u >> (8 * i)) & 0xFF);
  return *this;
}
Bytes& Bytes::u16(uint16_t v) {
  data += static_cast<char>(v & 0xFF);
  data += static_cast<char>(v >> 8);
  return *this;
}
Bytes& Bytes::u8(uint8_t v) {
  data += static_cast<char>(v);
  return *this;
}
Bytes& Bytes::str(const std::string& s) {
  data += s;
  return *this;
}
Bytes& Bytes::fixed(const std::string& s, size_t width) {
  std::string t = s.substr(0, width);
  t.resize(width, '\0');
  data += t;
  return *this;
}
Bytes& Bytes::zeros(size_t n) {
  data.append(n, '\0');
  return *this;
}

std::string MakeGob(const std::vector<GobItem>& items, int32_t count) {
  Bytes b;
  b.str("GOB ").i32(0x14).i32(0x0C).i32(count);
  int32_t pos = 16 + 136 * static_cast<int32_t>(items.size());
  for (const GobItem& it : items) {
    b.i32(it.offset == -1 ? pos : it.offset);
    b.i32(it.length == -1 ? static_cast<int32_t>(it.data.size()) : it.length);
    b.fixed(it.name, 128);
    pos += static_cast<int32_t>(it.data.size());
  }
  for (const GobItem& it : items) b.str(it.data);
  return b.data;
}

std::string MakeGob(const std::vector<GobItem>& items) {
  return MakeGob(items, static_cast<int32_t>(items.size()));
}

}  // namespace testing_support
