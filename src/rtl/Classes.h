// String lists and streams: the containers and byte channels that the level reader, the
// container reader, the texture codecs and the settings file share.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rtl {

// Splits text into lines: CR LF, CR or LF each end a line, a line break at the very end adds no
// empty line, and a NUL byte ends the text.
std::vector<std::string> SplitLines(const char* data, size_t size);
// The same lines as views into data, appended to lines, without copying them.
void SplitLineViews(const char* data, size_t size, std::vector<std::string_view>& lines);

// Splits a comma-separated list the way such lists are written in settings files: items are
// separated by commas; outside double quotes a blank or control character also ends an item;
// a quoted item may hold blanks and commas (a quote inside is written twice); blanks after a
// separator are skipped; a comma at the very end yields one more, empty, item.
std::vector<std::string> SplitCommaText(const std::string& text);

// An ordered list of text lines, read as name=value pairs where asked. Names compare without
// regard to ASCII letter case; the name is the text before the first "=", taken exactly.
class TStringList {
 public:
  int Count() const { return static_cast<int>(lines_.size()); }
  // Bounds-checked access: EStringListError "List index out of bounds (%d)".
  const std::string& Get(int index) const;
  const std::string& operator[](int index) const { return Get(index); }
  void Put(int index, std::string s);
  int Add(std::string s);
  void Delete(int index);
  void Clear() { lines_.clear(); }
  // Index of the first line equal to s without regard to case, or -1.
  int IndexOf(const std::string& s) const;

  // The first line whose name matches; -1 when none.
  int IndexOfName(const std::string& name) const;
  // The value of the first matching line; the empty text when none.
  std::string Values(const std::string& name) const;
  // A non-empty value replaces the first matching line (or is appended as a new line); the
  // empty value deletes the first matching line.
  void SetValue(const std::string& name, const std::string& value);

  void SetText(const char* data, size_t size) { lines_ = SplitLines(data, size); }
  void SetText(const std::string& text) { SetText(text.data(), text.size()); }
  // Every line, the last one included, ends with CR LF.
  std::string Text() const;

  const std::vector<std::string>& Lines() const { return lines_; }
  std::vector<std::string>& Lines() { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// A string list whose lines each own one object (the level's things, the container's
// directory, the brush level's entities). Objects are released with their line.
template <class T>
class TObjectStringList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  const std::string& Strings(int index) const { return Check(index).first; }
  T* Objects(int index) const { return Check(index).second.get(); }
  int AddObject(std::string s, std::unique_ptr<T> object) {
    items_.emplace_back(std::move(s), std::move(object));
    return Count() - 1;
  }
  void Clear() { items_.clear(); }
  // Stable, case-insensitive sort by the line's text.
  template <class Less>
  void SortBy(Less less) {
    std::stable_sort(items_.begin(), items_.end(),
                     [&](const Item& a, const Item& b) { return less(a.first, b.first); });
  }
  // The first line, in list order, whose text equals s without regard to ASCII case; -1 if none.
  template <class Same>
  int IndexOfWith(const std::string& s, Same same) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (same(items_[i].first, s)) return static_cast<int>(i);
    return -1;
  }

 private:
  using Item = std::pair<std::string, std::unique_ptr<T>>;
  const Item& Check(int index) const;
  std::vector<Item> items_;
};

[[noreturn]] void ThrowListIndex(int index);

template <class T>
const typename TObjectStringList<T>::Item& TObjectStringList<T>::Check(int index) const {
  if (index < 0 || index >= Count()) ThrowListIndex(index);
  return items_[static_cast<size_t>(index)];
}

// A little-endian 32-bit field of a file read into memory.
inline int32_t LoadLE32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 |
                              static_cast<uint32_t>(p[3]) << 24);
}

enum class TSeekOrigin { Beginning, Current, End };

// A byte stream with Delphi's contract: Read/Write move what they can and say how much;
// ReadBuffer/WriteBuffer move all of it or raise "Stream read error" / "Stream write error".
class TStream {
 public:
  virtual ~TStream() = default;
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // Returns the new position. Seeking before the start raises EReadError.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size() = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::Beginning); }
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  // Bytes from the current position to the end (0 when past it).
  int64_t Remaining();
  // Little-endian fields.
  int32_t ReadInt32();
  void CopyFrom(TStream& source, int64_t count);
};

// A growable in-memory stream.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void Clear() {
    data_.clear();
    pos_ = 0;
  }
  const std::vector<uint8_t>& Bytes() const { return data_; }
  std::vector<uint8_t>& Bytes() { return data_; }

 private:
  std::vector<uint8_t> data_;
  size_t pos_ = 0;
};

// A read-only stream over bytes that someone else owns; parsers use it to read from memory.
class TReadOnlyMemoryStream : public TStream {
 public:
  TReadOnlyMemoryStream(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(size_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

enum class TFileMode { OpenRead, Create, Append };

// A file on disk. OpenRead shares reading with others and raises EFOpenError
// "Cannot open file %s"; Create replaces any file of that name and raises EFCreateError; Append
// writes after what the file holds (creating it when missing) and raises EFCreateError.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, TFileMode mode);
  // Takes over a file opened elsewhere (for writing); closes it.
  explicit TFileStream(std::FILE* adopted) : f_(adopted) {}
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override;
  // Flushes and closes; raises EWriteError when the data did not reach the disk.
  void Close();

 private:
  std::FILE* f_ = nullptr;
};

}  // namespace rtl
