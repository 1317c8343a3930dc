// The whole import, headless, on the largest corpus level and on a generated level of 100,000
// surfaces: the time of each step, and the JPEG compression of the level's textures beside the
// rest. Every material gets a generated 8-bit 128 x 128 MAT beside the level (the corpus has the
// levels without their textures).
//
//   build/bench/bench/bench_import [LEVEL.jkl ...]
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "GenLevel.h"
#include "level/O_jkl.h"
#include "plugin/HeadlessPlatform.h"
#include "plugin/RecordingHost.h"
#include "plugin/main.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "texture/O_jkt.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

std::string Mat(int size, int seed) {
  std::string b = "MAT ";
  auto i32 = [&](int32_t v) {
    for (int k = 0; k < 4; ++k) b += static_cast<char>((static_cast<uint32_t>(v) >> (8 * k)) & 0xFF);
  };
  i32(0x32), i32(2), i32(1), i32(1), i32(0), i32(8);
  b.resize(76, '\0');
  i32(8);
  b.resize(116, '\0');
  i32(size), i32(size), i32(0), i32(0), i32(0), i32(1);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) b += static_cast<char>(((x * 3) ^ (y * 5) ^ seed) & 0xFF);
  return b;
}

void Run(const std::string& label, const std::string& levelText, const std::string& work) {
  std::string dir = rtl::JoinPath(work, label);
  rtl::ForceDirectories(dir);
  std::string levelPath = rtl::JoinPath(dir, "level.jkl");
  rtl::WriteFileAtomic(levelPath, levelText);
  TJKLevel probe;
  probe.LoadFromText(levelText.data(), levelText.size());
  for (int i = 0; i < probe.UsedMaterials.Count(); ++i)
    if (!rtl::FileExists(rtl::JoinPath(dir, probe.UsedMaterials[i])))
      rtl::WriteFileAtomic(rtl::JoinPath(dir, probe.UsedMaterials[i]), Mat(128, i));

  for (const char* format : {"jpg", "tga"}) {
    std::string game = rtl::JoinPath(dir, std::string("game-") + format);
    THeadlessPlatform platform;
    platform.libraryPath = rtl::JoinPath(dir, "morvane.dll");
    platform.installPath = game;
    platform.fileAnswer = levelPath;
    std::vector<std::pair<std::string, Clock::time_point>> marks;
    platform.onStatus = [&](const std::string& s) { marks.emplace_back(s, Clock::now()); };
    rtl::WriteFileAtomic(rtl::JoinPath(dir, "morvane.ini"),
                         std::string("OutputTexFormat=") + format + "\r\nScale=256\r\nBrushDepth=8\r\n");
    SetPlatform(&platform);
    recording_host::TRecordingHost host;
    host.RecordCalls = false;
    host.Install(*GetFuncTable());
    ResetCachedSettings();
    Clock::time_point start = Clock::now();
    Dispatch("Import Level...");
    Clock::time_point end = Clock::now();
    SetPlatform(nullptr);
    marks.emplace_back("end", end);

    std::printf("%s, %s textures: %.1f ms in all, %zu brushes\n", label.c_str(), format,
                1000 * Seconds(start, end), host.Committed.size());
    std::printf("  %-34s %9.1f ms\n", "(file dialog, status window)", 1000 * Seconds(start, marks[0].second));
    for (size_t i = 0; i + 1 < marks.size(); ++i)
      std::printf("  %-34s %9.1f ms  %5.1f%%\n", marks[i].first.c_str(),
                  1000 * Seconds(marks[i].second, marks[i + 1].second),
                  100 * Seconds(marks[i].second, marks[i + 1].second) / Seconds(start, end));

    if (std::string(format) == "jpg") {
      // libjpeg alone on the same pixels, with the same settings.
      TJKTexture tex;
      double jpeg = 0;
      for (int i = 0; i < probe.UsedMaterials.Count(); ++i) {
        tex.LoadFromFile(rtl::JoinPath(dir, probe.UsedMaterials[i]));
        Clock::time_point a = Clock::now();
        std::string bytes = CompressJPEG(tex.Bitmap().data(), tex.Width(), tex.Height());
        jpeg += Seconds(a, Clock::now());
      }
      double rest = Seconds(start, end) - jpeg;
      std::printf("  JPEG compression alone: %.1f ms; everything else: %.1f ms (%.2fx the JPEG work)\n",
                  1000 * jpeg, 1000 * rest, rest / jpeg);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string work = rtl::JoinPath(rtl::ExtractFilePath(rtl::ExecutablePath()), "bench-import");
  std::vector<std::string> levels(argv + 1, argv + argc);
  if (levels.empty()) levels.push_back(rtl::JoinPath(MORVANE_CORPUS_DIR, "jkl/vanilla.jkl"));
  for (const std::string& path : levels) {
    if (!rtl::FileExists(path)) {
      std::printf("%s: not found, skipped\n", path.c_str());
      continue;
    }
    Run(rtl::ChangeFileExt(rtl::ExtractFileName(path), ""), rtl::ReadFileToString(path), work);
  }
  Run("generated-100000", GenerateJklLevel(100000), work);
  return 0;
}
