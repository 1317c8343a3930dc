// GOB/GOO resource containers: the directory of named entries and copying single entries out.
//
// File layout (little-endian): 12 bytes nobody looks at, the entry count (Int32) at offset 12,
// then one 136-byte record per entry: data offset (Int32), data length (Int32) and a 128-byte
// NUL-padded name such as "jkl\01narshadda.jkl". A container is untrusted input: counts, offsets
// and lengths are checked against the real size of the file before anything is allocated or
// read, and every violation ends in "Stream read error".
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "rtl/Classes.h"

// One directory record as stored, plus the terminating NUL the file does not always have.
struct TGobEntry {
  int32_t Offset = 0;
  int32_t Length = 0;
  char EntryName[129] = {};
};

class TJKContainer {
 public:
  TJKContainer();
  ~TJKContainer();
  TJKContainer(const TJKContainer&) = delete;
  TJKContainer& operator=(const TJKContainer&) = delete;

  // The path given to the last Open of a file that exists, unchanged; empty until then.
  std::string FileName;
  // The directory, read-only for callers: each line is an entry's key (see MakeKey), its object
  // the record. Sorted by key once after reading; duplicate keys stay as separate lines.
  const rtl::TObjectStringList<TGobEntry>& Entries;

  // An entry's key: its name cut at the first NUL, trailing characters of code 32 or less
  // removed, A to Z turned into a to z; every other byte kept.
  static std::string MakeKey(const char* name, size_t size);

  // Frees the directory; FileName stays.
  void Clear();

  // Reads the directory of a file. A file that does not exist is no error: False, and nothing
  // changes (the level import still offers its picker, empty). Raises "Cannot open file %s" (after
  // storing FileName, keeping the old directory) and "Stream read error" for a short or lying
  // header or directory, followed by the file's name and that it is no container or a damaged one.
  bool Open(const std::string& fileName);

  // Reads the header and directory from a stream positioned at the start of a container.
  // A count of 0 or less gives an empty directory. A count that the rest of the stream cannot
  // hold raises "Stream read error" before anything is allocated and leaves the directory empty.
  bool ReadDirectory(rtl::TStream& stream);

  // The first line, in list order, whose key equals name without regard to ASCII case; -1 when
  // there is none. Constant time: an index kept in step with Entries answers it.
  int IndexOfKey(const std::string& name) const;
  const TGobEntry* Find(const std::string& name) const;

  // Copies the named entry's data to dest at its position. False, dest untouched, when there is
  // no such entry. The first form reopens FileName for every call; the second reads from a
  // stream holding the whole container. An entry whose offset or length is negative or runs
  // past the end of the container raises "Stream read error" before anything is allocated or
  // written. Errors name the entry as "FileName>>name".
  bool ExtractToStream(rtl::TStream& dest, const std::string& name) const;
  bool ExtractToStream(rtl::TStream& source, rtl::TStream& dest, const std::string& name) const;

  // Replaces the list's lines with the entry's text: CR LF, LF or CR end a line, a break at the
  // very end adds no empty line, a NUL ends the text. False, list untouched, when there is no
  // such entry.
  bool ExtractToStrings(rtl::TStringList& list, const std::string& name) const;
  bool ExtractToStrings(rtl::TStream& source, rtl::TStringList& list,
                        const std::string& name) const;

 private:
  void RebuildIndex();
  std::string EntryPlace(const std::string& name) const;
  std::vector<uint8_t> ReadEntry(rtl::TStream& source, const TGobEntry& entry) const;

  rtl::TObjectStringList<TGobEntry> entries_;
  // Lower-cased key -> index of its first line in entries_.
  std::unordered_map<std::string, int> index_;
};

// One line of the entry picker: the whole key as caption, the entry's length as "%d".
struct TPickerItem {
  std::string Caption;
  std::string SizeText;
  const TGobEntry* Entry = nullptr;
};

// The items the picker shows for a folder such as "jkl\": every key that begins with the folder
// (an exact, case-sensitive prefix; an empty folder matches nothing), in the order a list view
// sorted by caption shows them (case-insensitive, stable).
std::vector<TPickerItem> PickerItems(const TJKContainer& container, const std::string& folder);
