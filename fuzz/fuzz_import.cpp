// "Import Level..." from end to end on arbitrary bytes taken as a container: the picker takes the
// first level under "jkl\", the palette and the textures come from the same container, the
// images are written as TGA into a scratch game folder and the brushes go to a recording host.
// A crash, a leak, an error escaping the dispatcher, a brush left half-built, or an import
// reported as a success whose brushes hold a coordinate that is not a finite number is a finding.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "container/O_jkc.h"
#include "plugin/Platform.h"
#include "plugin/main.h"
#include "support/HeadlessPlatform.h"
#include "support/RecordingHost.h"

namespace {

void WriteAll(const std::string& path, const void* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

struct Fixture {
  std::string dir;
  THeadlessPlatform platform;
  std::string settings;

  Fixture() {
    char name[] = "/tmp/morvane-fuzz-import-XXXXXX";
    if (!mkdtemp(name)) std::abort();
    dir = name;
    platform.libraryPath = dir + "/morvane.dll";
    platform.settingsPath = dir + "/morvane.ini";
    platform.installPath = dir + "/game";
    platform.fileAnswer = dir + "/in.gob";
    platform.pickEntry = [](const TJKContainer& container, const std::string& folder) {
      std::vector<TPickerItem> items = PickerItems(container, folder);
      return items.empty() ? std::string() : items.front().Caption;
    };
    settings = "OutputTexFormat=tga\r\nScale=256\r\nBrushDepth=8\r\nResourceGobs=" + dir +
               "/in.gob\r\nJKPalette=" + dir + "/in.gob>>misc\\cmp\\sample.cmp\r\n";
    SetPlatform(&platform);
  }
};

bool Finite(const float p[3]) {
  return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Fixture fx;
  WriteAll(fx.platform.fileAnswer, data, size);
  WriteAll(fx.platform.settingsPath, fx.settings.data(), fx.settings.size());
  std::error_code ec;
  std::filesystem::remove_all(fx.platform.installPath, ec);
  fx.platform.events.clear();
  ResetCachedSettings();

  recording_host::TRecordingHost host;
  ThePlugin().Table() = THostFuncTable{};
  host.Install(*GetFuncTable());
  Dispatch("Import Level...");

  if (host.PendingCount() != 0) std::abort();
  bool succeeded = false;
  for (const std::string& line : host.Console)
    if (line.size() > 22 && line.compare(line.size() - 22, 22, " imported succesfully\n") == 0)
      succeeded = true;
  if (succeeded)
    for (const auto& brush : host.Committed)
      for (const auto& face : brush.Faces)
        if (!Finite(face.P1) || !Finite(face.P2) || !Finite(face.P3)) std::abort();
  ThePlugin().Table() = THostFuncTable{};
  return 0;
}
