// A settings file of arbitrary bytes around one command that changes a setting: what the user's
// editor may have saved (a byte-order mark, UTF-16, NUL bytes, lone CRs, overlong lines). A
// crash, a leak or an error escaping the dispatcher is a finding; so is a file that was no text
// being written back, or the numeric settings coming out as anything but positive finite numbers.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "import/SettingsText.h"
#include "plugin/Platform.h"
#include "plugin/main.h"
#include "support/HeadlessPlatform.h"
#include "support/RecordingHost.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::string out;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) out.append(buffer, n);
  std::fclose(f);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static THeadlessPlatform platform;
  static std::string path;
  if (path.empty()) {
    char name[] = "/tmp/morvane-fuzz-settings-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    path = std::string(name) + "/morvane.ini";
    platform.settingsPath = path;
    platform.libraryPath = std::string(name) + "/morvane.dll";
  }
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);

  double scale = 0, depth = 0;
  platform.onMessage = [&](const std::string&) {
    scale = GetScale();
    depth = GetBrushDepth();
    Settings().SetValue("Seen", "1");
  };
  recording_host::TRecordingHost host;
  ThePlugin().Table() = THostFuncTable{};
  host.Install(*GetFuncTable());
  SetPlatform(&platform);
  ResetCachedSettings();
  Dispatch("About...");
  SetPlatform(nullptr);

  if (!(std::isfinite(scale) && scale > 0 && std::isfinite(depth) && depth > 0)) std::abort();
  const bool text = DecodeSettingsText(bytes).NotText.empty();
  if (!text && ReadAll(path) != bytes) std::abort();
  if (text && ReadAll(path).find("Seen=1") == std::string::npos) std::abort();
  return 0;
}
