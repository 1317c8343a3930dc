// Helpers shared by the unit tests: scratch folders, the corpus location, byte builders.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// A fresh, empty folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  // Path of a file or folder inside, with the platform's delimiter.
  std::string operator/(const std::string& name) const;

 private:
  std::string path_;
};

// The shared corpus of real game files ("" when it is absent); tests skip without it.
std::string CorpusDir();
std::vector<std::string> CorpusFiles(const std::string& sub, const std::string& mask);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Little-endian byte building for fixtures.
struct Bytes {
  std::string data;
  Bytes& i32(int32_t v);
  Bytes& u16(uint16_t v);
  Bytes& u8(uint8_t v);
  Bytes& str(const std::string& s);
  Bytes& fixed(const std::string& s, size_t width);  // NUL-padded to width
  Bytes& zeros(size_t n);
};

// A GOB container of the given entries: count at 12, 136-byte records from 16, data behind them.
std::string MakeGob(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace testing_support
