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
  // The same for a folder, made first (a game folder, which must exist for an import).
  std::string Folder(const std::string& name) const;

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

// One entry of a test container. Offset and length -1 stand for where the data is placed and
// its size; anything else is written as given, for containers that lie.
struct GobItem {
  std::string name;  // written as is into the 128-byte field (NUL-padded, or cut at 128)
  std::string data;
  int32_t offset = -1;
  int32_t length = -1;
};

// The one builder of test containers: "GOB " and two words, the count at 12, 136-byte records
// from 16, then the data of every item in order. The count written is the number of items
// unless given.
std::string MakeGob(const std::vector<GobItem>& items);
std::string MakeGob(const std::vector<GobItem>& items, int32_t count);

}  // namespace testing_support
