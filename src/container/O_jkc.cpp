#include "container/O_jkc.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace {

constexpr int64_t kHeaderSize = 16;
constexpr int64_t kRecordSize = 136;
constexpr size_t kNameSize = 128;

bool KeyLess(const std::string& a, const std::string& b) { return rtl::CompareText(a, b) < 0; }

}  // namespace

TJKContainer::TJKContainer() : Entries(entries_) {}

TJKContainer::~TJKContainer() = default;

std::string TJKContainer::MakeKey(const char* name, size_t size) {
  size_t n = 0;
  while (n < size && name[n] != '\0') ++n;
  while (n > 0 && static_cast<unsigned char>(name[n - 1]) <= 32) --n;
  return rtl::LowerCase(std::string(name, n));
}

void TJKContainer::Clear() {
  entries_.Clear();
  index_.clear();
}

bool TJKContainer::Open(const std::string& fileName) {
  if (!rtl::FileExists(fileName)) return false;
  FileName = fileName;
  rtl::TFileStream file(rtl::NativePath(fileName), rtl::TFileMode::OpenRead);
  try {
    return ReadDirectory(file);
  } catch (rtl::Exception& e) {
    // Nothing checks a signature, so a directory that cannot be read is what a file of another
    // kind gives.
    e.SetPlace(rtl::InFile(fileName) + ", which is no GOB/GOO container or a damaged one");
    throw;
  }
}

bool TJKContainer::ReadDirectory(rtl::TStream& stream) {
  Clear();
  uint8_t header[kHeaderSize];
  stream.ReadBuffer(header, sizeof header);
  const int32_t count = rtl::LoadLE32(header + 12);
  if (count > 0) {
    // The count comes from the file: believe it only as far as the file can back it, so that a
    // lying header costs neither memory nor time.
    if (count > stream.Remaining() / kRecordSize) throw rtl::EReadError();
    try {
      uint8_t record[kRecordSize];
      for (int32_t i = 0; i < count; ++i) {
        stream.ReadBuffer(record, sizeof record);
        auto entry = std::make_unique<TGobEntry>();
        entry->Offset = rtl::LoadLE32(record);
        entry->Length = rtl::LoadLE32(record + 4);
        std::memcpy(entry->EntryName, record + 8, kNameSize);
        entry->EntryName[kNameSize] = '\0';
        std::string key = MakeKey(entry->EntryName, kNameSize);
        entries_.AddObject(std::move(key), std::move(entry));
      }
    } catch (...) {
      // A stream that shrank under us: keep what was read, findable, and report the failure.
      RebuildIndex();
      throw;
    }
  }
  // Keys hold no upper-case ASCII letters, so plain byte order is the case-insensitive order.
  entries_.SortBy([](const std::string& a, const std::string& b) { return a < b; });
  RebuildIndex();
  return true;
}

void TJKContainer::RebuildIndex() {
  index_.clear();
  index_.reserve(static_cast<size_t>(entries_.Count()));
  for (int i = 0; i < entries_.Count(); ++i)
    index_.emplace(rtl::LowerCase(entries_.Strings(i)), i);  // keeps the first of duplicates
}

int TJKContainer::IndexOfKey(const std::string& name) const {
  auto it = index_.find(rtl::LowerCase(name));
  return it == index_.end() ? -1 : it->second;
}

const TGobEntry* TJKContainer::Find(const std::string& name) const {
  int i = IndexOfKey(name);
  return i < 0 ? nullptr : entries_.Objects(i);
}

std::vector<uint8_t> TJKContainer::ReadEntry(rtl::TStream& source, const TGobEntry& entry) const {
  const int64_t offset = entry.Offset, length = entry.Length;
  const int64_t size = source.Size();
  if (offset < 0 || length < 0 || offset > size || length > size - offset) throw rtl::EReadError();
  std::vector<uint8_t> data(static_cast<size_t>(length));
  source.SetPosition(offset);
  source.ReadBuffer(data.data(), data.size());
  return data;
}

std::string TJKContainer::EntryPlace(const std::string& name) const {
  // A directory read from a stream has no file name.
  return FileName.empty() ? "entry '" + name + "'" : rtl::InFile(FileName + ">>" + name);
}

bool TJKContainer::ExtractToStream(rtl::TStream& dest, const std::string& name) const {
  const TGobEntry* entry = Find(name);
  if (!entry) return false;
  try {
    rtl::TFileStream file(rtl::NativePath(FileName), rtl::TFileMode::OpenRead);
    std::vector<uint8_t> data = ReadEntry(file, *entry);
    dest.WriteBuffer(data.data(), data.size());
  } catch (rtl::Exception& e) {
    e.SetPlace(EntryPlace(name));
    throw;
  }
  return true;
}

bool TJKContainer::ExtractToStream(rtl::TStream& source, rtl::TStream& dest,
                                   const std::string& name) const {
  const TGobEntry* entry = Find(name);
  if (!entry) return false;
  try {
    std::vector<uint8_t> data = ReadEntry(source, *entry);
    dest.WriteBuffer(data.data(), data.size());
  } catch (rtl::Exception& e) {
    e.SetPlace(EntryPlace(name));
    throw;
  }
  return true;
}

namespace {

bool ToStrings(rtl::TMemoryStream& text, bool found, rtl::TStringList& list) {
  if (!found) return false;
  const std::vector<uint8_t>& bytes = text.Bytes();
  if (bytes.empty())
    list.Clear();
  else
    list.SetText(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

bool TJKContainer::ExtractToStrings(rtl::TStringList& list, const std::string& name) const {
  rtl::TMemoryStream text;
  bool found = ExtractToStream(text, name);
  return ToStrings(text, found, list);
}

bool TJKContainer::ExtractToStrings(rtl::TStream& source, rtl::TStringList& list,
                                    const std::string& name) const {
  rtl::TMemoryStream text;
  bool found = ExtractToStream(source, text, name);
  return ToStrings(text, found, list);
}

std::vector<TPickerItem> PickerItems(const TJKContainer& container, const std::string& folder) {
  std::vector<TPickerItem> items;
  if (folder.empty()) return items;
  const auto& entries = container.Entries;
  for (int i = 0; i < entries.Count(); ++i) {
    const std::string& key = entries.Strings(i);
    if (key.compare(0, folder.size(), folder) != 0) continue;
    const TGobEntry* entry = entries.Objects(i);
    items.push_back({key, rtl::Format("%d", entry->Length), entry});
  }
  std::stable_sort(items.begin(), items.end(), [](const TPickerItem& a, const TPickerItem& b) {
    return KeyLess(a.Caption, b.Caption);
  });
  return items;
}
