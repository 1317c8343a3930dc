#include "rtl/Classes.h"

#include <cstring>

#include "rtl/SysUtils.h"
#include "rtl/Utf.h"

namespace rtl {

void SplitLineViews(const char* data, size_t size, std::vector<std::string_view>& lines) {
  if (size == 0) return;  // data may then be null, which memchr must not see
  if (const void* nul = std::memchr(data, 0, size))
    size = static_cast<size_t>(static_cast<const char*>(nul) - data);
  // Line feeds and carriage returns are found with memchr, which looks at many bytes at once:
  // the next line feed, then a carriage return before it, which ends the line first.
  const char* p = data;
  const char* const end = data + size;
  auto nextLineFeed = [&] {
    const void* at = std::memchr(p, '\n', static_cast<size_t>(end - p));
    return at ? static_cast<const char*>(at) : end;
  };
  const char* lf = nextLineFeed();  // the next line feed at or after p, or end
  while (p < end) {
    if (lf < p) lf = nextLineFeed();
    const char* cr = static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(lf - p)));
    const char* stop = cr ? cr : lf;
    lines.emplace_back(p, static_cast<size_t>(stop - p));
    if (stop == end) break;
    p = stop + 1;
    if (cr && p < end && *p == '\n') ++p;  // CR LF is one ending
  }
}

std::vector<std::string> SplitLines(const char* data, size_t size) {
  std::vector<std::string_view> views;
  SplitLineViews(data, size, views);
  return std::vector<std::string>(views.begin(), views.end());
}

std::vector<std::string> SplitCommaText(const std::string& text) {
  std::vector<std::string> items;
  const size_t n = text.size();
  auto blank = [&](size_t i) {
    return i < n && text[i] != '\0' && static_cast<unsigned char>(text[i]) <= ' ';
  };
  size_t p = 0;
  while (blank(p)) ++p;
  while (p < n) {
    std::string item;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            item += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        item += text[p++];
      }
    } else {
      size_t start = p;
      while (p<n&& static_cast<unsigned char>(text[p])> ' ' && text[p] != ',') ++p;
      item = text.substr(start, p - start);
    }
    items.push_back(item);
    while (blank(p)) ++p;
    if (p < n && text[p] == ',') {
      if (p + 1 == n) items.emplace_back();
      do {
        ++p;
      } while (blank(p));
    }
  }
  return items;
}

void ThrowListIndex(int index) { throw EStringListError::OutOfBounds(index); }

const std::string& TStringList::Get(int index) const {
  if (index < 0 || index >= Count()) ThrowListIndex(index);
  return lines_[static_cast<size_t>(index)];
}

void TStringList::Put(int index, std::string s) {
  if (index < 0 || index >= Count()) ThrowListIndex(index);
  lines_[static_cast<size_t>(index)] = std::move(s);
}

int TStringList::Add(std::string s) {
  lines_.push_back(std::move(s));
  return Count() - 1;
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) ThrowListIndex(index);
  lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(const std::string& s) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (SameText(lines_[i], s)) return static_cast<int>(i);
  return -1;
}

int TStringList::IndexOfName(const std::string& name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::string& line = lines_[i];
    size_t eq = line.find('=');
    if (eq != std::string::npos && SameText(line.substr(0, eq), name)) return static_cast<int>(i);
  }
  return -1;
}

std::string TStringList::Values(const std::string& name) const {
  int i = IndexOfName(name);
  if (i < 0) return std::string();
  const std::string& line = lines_[static_cast<size_t>(i)];
  return line.substr(line.find('=') + 1);
}

void TStringList::SetValue(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i >= 0) {
    lines_[static_cast<size_t>(i)] = name + "=" + value;
  } else {
    Add(name + "=" + value);
  }
}

std::string TStringList::Text() const {
  std::string out;
  for (const std::string& line : lines_) {
    out += line;
    out += "\r\n";
  }
  return out;
}

void TStream::ReadBuffer(void* buffer, size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError();
}

int64_t TStream::Remaining() {
  int64_t pos = Position(), size = Size();
  return pos < size ? size - pos : 0;
}

int32_t TStream::ReadInt32() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                              static_cast<uint32_t>(b[2]) << 16 |
                              static_cast<uint32_t>(b[3]) << 24);
}

void TStream::CopyFrom(TStream& source, int64_t count) {
  // Never trust a count further than the source can back it: check before allocating.
  if (count < 0 || count > source.Remaining()) throw EReadError();
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
  while (count > 0) {
    size_t n = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(chunk.size())));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    count -= static_cast<int64_t>(n);
  }
}

static int64_t NewPosition(int64_t offset, TSeekOrigin origin, int64_t pos, int64_t size) {
  int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? pos : size;
  int64_t target = base + offset;
  if (target < 0) throw EReadError();
  return target;
}

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (pos_ >= data_.size()) return 0;
  size_t n = std::min(count, data_.size() - pos_);
  std::memcpy(buffer, data_.data() + pos_, n);
  pos_ += n;
  return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  if (pos_ + count > data_.size()) data_.resize(pos_ + count);
  std::memcpy(data_.data() + pos_, buffer, count);
  pos_ += count;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  pos_ = static_cast<size_t>(NewPosition(offset, origin, static_cast<int64_t>(pos_), Size()));
  return static_cast<int64_t>(pos_);
}

size_t TReadOnlyMemoryStream::Read(void* buffer, size_t count) {
  if (pos_ >= size_) return 0;
  size_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, n);
  pos_ += n;
  return n;
}

int64_t TReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  pos_ = static_cast<size_t>(NewPosition(offset, origin, static_cast<int64_t>(pos_), Size()));
  return static_cast<int64_t>(pos_);
}

#ifdef _WIN32
#define MV_FSEEK _fseeki64
#define MV_FTELL _ftelli64
#else
#define MV_FSEEK fseeko
#define MV_FTELL ftello
#endif

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) {
#ifdef _WIN32
  // The wide name: a path outside the ANSI code page still names its file.
  f_ = _wfopen(Wide(fileName).c_str(), mode == TFileMode::OpenRead ? L"rb"
                                       : mode == TFileMode::Append ? L"ab"
                                                                   : L"wb");
#else
  f_ = std::fopen(fileName.c_str(), mode == TFileMode::OpenRead ? "rb"
                                    : mode == TFileMode::Append ? "ab"
                                                                : "wb");
#endif
  if (!f_) {
    if (mode == TFileMode::OpenRead) throw EFOpenError(fileName);
    throw EFCreateError(fileName);
  }
}

TFileStream::~TFileStream() {
  if (f_) std::fclose(f_);
}

void TFileStream::Close() {
  if (!f_) return;
  std::FILE* f = f_;
  f_ = nullptr;
  bool ok = std::fflush(f) == 0 && !std::ferror(f);
  if (std::fclose(f) != 0) ok = false;
  if (!ok) throw EWriteError();
}

size_t TFileStream::Read(void* buffer, size_t count) { return std::fread(buffer, 1, count, f_); }

size_t TFileStream::Write(const void* buffer, size_t count) {
  return std::fwrite(buffer, 1, count, f_);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t pos = MV_FTELL(f_);
  int64_t target = NewPosition(offset, origin, pos, origin == TSeekOrigin::End ? Size() : 0);
  if (MV_FSEEK(f_, target, SEEK_SET) != 0) throw EReadError();
  return target;
}

int64_t TFileStream::Size() {
  int64_t pos = MV_FTELL(f_);
  MV_FSEEK(f_, 0, SEEK_END);
  int64_t size = MV_FTELL(f_);
  MV_FSEEK(f_, pos, SEEK_SET);
  return size;
}

}  // namespace rtl
