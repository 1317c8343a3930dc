// The whole headless import, as `morvane import` runs it (the .map streamed as brushes are
// committed), on the largest corpus level and on a generated level of 20,000 sectors and 120,000
// surfaces: seconds per step, MB/s end to end, peak memory, and the ratio to the machine's floor
// (reading the level file and writing the same .map bytes in one go). Each level runs in a
// process of its own, so that its peak memory is its own. A plain Python reading of each level
// (bench/py_read_level.py) is timed beside it when python3 is at hand.
//
//   build/bench/bench/bench_import [LEVEL.jkl ...]
//   build/bench/bench/bench_import --textures [LEVEL.jkl ...]
//       the older comparison: every material gets a generated 8-bit 128 x 128 MAT beside the
//       level, converted to JPEG and to TGA, and libjpeg alone is timed beside the rest.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "GenLevel.h"
#include "import/MapWriter.h"
#include "level/O_jkl.h"
#include "plugin/main.h"
#include "rtl/AtomicFile.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "support/HeadlessPlatform.h"
#include "support/RecordingHost.h"
#include "texture/O_jkt.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void RunTextures(const std::string& label, const std::string& levelText, const std::string& work) {
  std::string dir = rtl::JoinPath(work, label);
  rtl::ForceDirectories(dir);
  std::string levelPath = rtl::JoinPath(dir, "level.jkl");
  rtl::WriteFileAtomic(levelPath, levelText);
  TJKLevel probe;
  probe.LoadFromText(levelText.data(), levelText.size());
  for (int i = 0; i < probe.UsedMaterials.Count(); ++i)
    if (!rtl::FileExists(rtl::JoinPath(dir, probe.UsedMaterials[i])))
      rtl::WriteFileAtomic(rtl::JoinPath(dir, probe.UsedMaterials[i]), GenerateMat(128, i));

  for (const char* format : {"jpg", "tga"}) {
    std::string game = rtl::JoinPath(dir, std::string("game-") + format);
    THeadlessPlatform platform;
    platform.libraryPath = rtl::JoinPath(dir, "morvane.dll");
    platform.installPath = game;
    platform.fileAnswer = levelPath;
    std::vector<std::pair<std::string, Clock::time_point>> marks;
    platform.onStatus = [&](const std::string& s) { marks.emplace_back(s, Clock::now()); };
    rtl::WriteFileAtomic(
        rtl::JoinPath(dir, "morvane.ini"),
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
    std::printf("  %-34s %9.1f ms\n", "(file dialog, status window)",
                1000 * Seconds(start, marks[0].second));
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
      std::printf(
          "  JPEG compression alone: %.1f ms; everything else: %.1f ms (%.2fx the JPEG work)\n",
          1000 * jpeg, 1000 * rest, rest / jpeg);
    }
  }
}

// Peak resident memory of this process so far, in MB.
double PeakMB() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Processor time of this process so far (user and system), in seconds: on a machine shared
// with other work it tells what the import itself cost.
double CpuSeconds() {
  rusage u;
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

// One import, in this process: returns the .map's size; prints the steps.
size_t ImportOnce(const std::string& levelPath, const std::string& dir, double levelMB) {
  THeadlessPlatform platform;
  platform.libraryPath = rtl::JoinPath(dir, "morvane.dll");
  platform.installPath = rtl::JoinPath(dir, "game");
  platform.fileAnswer = levelPath;
  std::vector<std::pair<std::string, Clock::time_point>> marks;
  platform.onStatus = [&](const std::string& s) { marks.emplace_back(s, Clock::now()); };
  rtl::WriteFileAtomic(rtl::JoinPath(dir, "morvane.ini"), "Scale=256\r\nBrushDepth=8\r\n");
  const std::string mapPath = rtl::JoinPath(dir, "level.map");

  const double cpuStart = CpuSeconds();
  Clock::time_point start = Clock::now();
  recording_host::TRecordingHost host;
  std::unique_ptr<rtl::TAtomicFile> file;
  std::unique_ptr<TMapWriter> map;
  host.OnCommit = [&](const recording_host::TRecordedBrush& brush) {
    if (!map) {
      file = std::make_unique<rtl::TAtomicFile>(mapPath);
      rtl::TStream& stream = file->Stream();
      map = std::make_unique<TMapWriter>(
          [&stream](const char* data, size_t size) { stream.WriteBuffer(data, size); });
      map->BeginWorldspawn();
    }
    map->WriteBrush(brush);
  };
  SetPlatform(&platform);
  host.Install(*GetFuncTable());
  ResetCachedSettings();
  Dispatch("Import Level...");
  SetPlatform(nullptr);
  marks.emplace_back("Writing the end of the .map", Clock::now());
  if (map) {
    map->EndEntity();
    map->Flush();
    file->Commit();
  }
  Clock::time_point end = Clock::now();
  marks.emplace_back("end", end);

  const double all = Seconds(start, end);
  const double cpu = CpuSeconds() - cpuStart;
  std::printf(
      "  import: %.3f s (processor %.3f s), %.1f MB/s end to end, %zu brushes, peak memory %.1f "
      "MB\n",
      all, cpu, levelMB / all, host.CommittedCount(), PeakMB());
  std::printf("    %-40s %8.3f s\n", "(start)", Seconds(start, marks[0].second));
  for (size_t i = 0; i + 1 < marks.size(); ++i)
    std::printf("    %-40s %8.3f s  %5.1f%%\n", marks[i].first.c_str(),
                Seconds(marks[i].second, marks[i + 1].second),
                100 * Seconds(marks[i].second, marks[i + 1].second) / all);
  return rtl::FileExists(mapPath) ? rtl::ReadFileToString(mapPath).size() : 0;
}

// The floor: the level read and the same .map bytes written, in one go each.
double Floor(const std::string& levelPath, const std::string& mapBytes, const std::string& dir) {
  Clock::time_point start = Clock::now();
  std::string level = rtl::ReadFileToString(levelPath);
  rtl::WriteFileAtomic(rtl::JoinPath(dir, "floor.map"), mapBytes);
  double s = Seconds(start, Clock::now());
  if (level.empty()) std::printf("(empty level)\n");
  return s;
}

// Runs body in a child process, so that its peak memory is its own.
template <class F>
void InChild(F body) {
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    body();
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
}

void Run(const std::string& label, const std::string& levelPath, const std::string& work) {
  std::string dir = rtl::JoinPath(work, label);
  rtl::ForceDirectories(dir);
  const double levelMB = static_cast<double>(rtl::ReadFileToString(levelPath).size()) / 1e6;
  std::printf("%s: %.1f MB\n", label.c_str(), levelMB);
  // A first import warms the file cache and makes the .map the floor writes.
  InChild([&] {
    std::freopen("/dev/null", "w", stdout);
    ImportOnce(levelPath, dir, levelMB);
  });
  InChild([&] { ImportOnce(levelPath, dir, levelMB); });
  const std::string mapBytes = rtl::ReadFileToString(rtl::JoinPath(dir, "level.map"));
  double floor = 1e9;
  for (int i = 0; i < 3; ++i) floor = std::min(floor, Floor(levelPath, mapBytes, dir));
  std::printf("  floor (read the level, write the %.1f MB .map): %.3f s\n",
              static_cast<double>(mapBytes.size()) / 1e6, floor);
  // The import's own figure again, for the ratio, from a child that prints only it.
  int fd[2];
  if (pipe(fd) == 0) {
    InChild([&] {
      close(fd[0]);
      std::freopen("/dev/null", "w", stdout);
      Clock::time_point a = Clock::now();
      ImportOnce(levelPath, dir, levelMB);
      double s = Seconds(a, Clock::now());
      if (write(fd[1], &s, sizeof s) != sizeof s) _exit(1);
    });
    close(fd[1]);
    double s = 0;
    if (read(fd[0], &s, sizeof s) == sizeof s)
      std::printf("  import again: %.3f s = %.1f x the floor\n", s, s / floor);
    close(fd[0]);
  }
  std::string py = rtl::JoinPath(MORVANE_SOURCE_DIR, "bench/py_read_level.py");
  Clock::time_point a = Clock::now();
  if (std::system(("python3 '" + py + "' '" + levelPath + "' > /dev/null 2>&1").c_str()) == 0) {
    double s = Seconds(a, Clock::now());
    std::printf("  plain Python reading of the level: %.3f s\n", s);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string work = rtl::JoinPath(rtl::ExtractFilePath(rtl::ExecutablePath()), "bench-import");
  std::vector<std::string> levels(argv + 1, argv + argc);
  const bool textures = !levels.empty() && levels[0] == "--textures";
  if (textures) levels.erase(levels.begin());
  if (levels.empty()) levels.push_back(rtl::JoinPath(MORVANE_CORPUS_DIR, "jkl/vanilla.jkl"));
  for (const std::string& path : levels) {
    if (!rtl::FileExists(path)) {
      std::printf("%s: not found, skipped\n", path.c_str());
      continue;
    }
    std::string label = rtl::ChangeFileExt(rtl::ExtractFileName(path), "");
    if (textures)
      RunTextures(label, rtl::ReadFileToString(path), work);
    else
      Run(label, path, work);
  }
  if (textures) {
    RunTextures("generated-120000", GenerateJklLevel(120000), work);
  } else {
    // Written and let go before the run: the runs' processes start as copies of this one.
    rtl::ForceDirectories(work);
    const std::string path = rtl::JoinPath(work, "generated-120000.jkl");
    rtl::WriteFileAtomic(path, GenerateJklLevel(120000));  // 20,000 sectors
    Run("generated-120000", path, work);
  }
  return 0;
}
