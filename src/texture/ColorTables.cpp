#include "texture/ColorTables.h"

#include "container/O_jkc.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "texture/Palette.h"

namespace {

constexpr size_t kTablesStart = 64 + 768;
constexpr size_t kLightBytes = static_cast<size_t>(TColorTables::LightLevels) * 256;
constexpr size_t kTransparencyBytes = 256 * 256;

}  // namespace

TColorTables ColorTablesFromBytes(const std::string& Bytes) {
  TColorTables tables;
  const auto* data = reinterpret_cast<const uint8_t*>(Bytes.data());
  if (Bytes.size() < kTablesStart + kLightBytes) return tables;
  tables.Light.assign(data + kTablesStart, data + kTablesStart + kLightBytes);
  const size_t transparency = kTablesStart + kLightBytes;
  if (Bytes.size() - transparency >= kTransparencyBytes)
    tables.Transparency.assign(data + transparency, data + transparency + kTransparencyBytes);
  return tables;
}

TColorTables ReadColorTablesSource(const std::string& Source) {
  std::string file, key;
  if (!SplitPaletteSource(Source, file, key)) {
    if (!rtl::FileExists(Source)) throw rtl::EFOpenError(Source);
    return ColorTablesFromBytes(rtl::ReadFileToString(Source, MaxColormapBytes, "a palette"));
  }
  if (!rtl::FileExists(file)) throw rtl::EFOpenError(file);
  TJKContainer container;
  container.Open(file);
  const TGobEntry* entry = container.Find(key);
  if (entry && entry->Length > MaxColormapBytes)
    throw rtl::EFileTooLarge(file + ">>" + key, entry->Length, MaxColormapBytes, "a palette");
  rtl::TMemoryStream bytes;
  if (!container.ExtractToStream(bytes, key))
    throw rtl::Exception("Palette entry '" + key + "' not found in " + file);
  const std::vector<uint8_t>& all = bytes.Bytes();
  return ColorTablesFromBytes(std::string(all.begin(), all.end()));
}
