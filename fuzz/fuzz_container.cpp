// Reads a container's directory from arbitrary bytes, then extracts every entry it lists, as
// bytes and as text lines.
#include <cstddef>
#include <cstdint>

#include "container/O_jkc.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TJKContainer gob;
  rtl::TReadOnlyMemoryStream source(data, size);
  try {
    gob.ReadDirectory(source);
  } catch (const rtl::Exception&) {
  }
  // Also after a failed read: whatever the directory holds must be safe to use.
  for (int i = 0; i < gob.Entries.Count(); ++i) {
    const std::string& key = gob.Entries.Strings(i);
    if (gob.IndexOfKey(key) < 0 || gob.IndexOfKey(key) > i) __builtin_trap();
    try {
      rtl::TMemoryStream out;
      if (!gob.ExtractToStream(source, out, key)) __builtin_trap();
      // With duplicate keys the first line wins, so compare with what the lookup found.
      if (out.Size() != gob.Find(key)->Length) __builtin_trap();
    } catch (const rtl::Exception&) {
    }
    try {
      rtl::TStringList lines;
      gob.ExtractToStrings(source, lines, key);
    } catch (const rtl::Exception&) {
    }
  }
  PickerItems(gob, "jkl\\");
  return 0;
}
