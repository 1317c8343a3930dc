// Conversion of a level into slab brushes and their hand-off to a recording host, on the largest
// real level and on a generated one: brushes per second, and the share of conversion and hand-off
// in reading + conversion + hand-off.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "GenLevel.h"
#include "brush/BrushConvert.h"
#include "import/BrushStages.h"
#include "level/O_jkl.h"
#include "plugin/main.h"
#include "rtl/Paths.h"
#include "support/HandOff.h"
#include "support/RecordingHost.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

void Run(const char* label, const std::string& text) {
  double best[3] = {1e30, 1e30, 1e30};
  size_t brushes = 0, committed = 0;
  for (int round = 0; round < 3; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    TJKLevel level;
    level.LoadFromText(text.data(), text.size());
    auto t1 = std::chrono::steady_clock::now();
    TBrushLevel brushLevel;
    MakeBrushLevel(level, brushLevel, nullptr);
    auto t2 = std::chrono::steady_clock::now();
    recording_host::TRecordingHost host;
    host.RecordCalls = false;
    host.Install(ThePlugin().Table());
    HandOffBrushLevel(brushLevel, "bench/", "system/nodraw");
    auto t3 = std::chrono::steady_clock::now();
    best[0] = std::min(best[0], Seconds(t0, t1));
    best[1] = std::min(best[1], Seconds(t1, t2));
    best[2] = std::min(best[2], Seconds(t2, t3));
    brushes = static_cast<size_t>(brushLevel.Brushes.Count());
    committed = host.Committed.size();
  }
  const double work = best[1] + best[2], all = best[0] + work;
  std::printf("%s: %zu brushes (%zu committed); read %.1f ms, convert %.1f ms, hand-off %.1f ms\n",
              label, brushes, committed, best[0] * 1e3, best[1] * 1e3, best[2] * 1e3);
  std::printf(
      "%s: %.0f brushes/s converted, %.0f brushes/s handed off, %.0f brushes/s both; "
      "conversion + hand-off = %.0f%% of read + conversion + hand-off\n",
      label, brushes / best[1], brushes / best[2], brushes / work, 100 * work / all);
}

}  // namespace

int main() try {
  rtl::TStringList settings;
  settings.Add("Scale=256");
  settings.Add("BrushDepth=8");
  settings.Add("NonVisTex=system/nodraw");
  TSettingsScope scope(settings);

  const std::string folder = rtl::JoinPath(MORVANE_CORPUS_DIR, "jkl");
  std::string largest;
  size_t largestSize = 0;
  for (const std::string& name : rtl::FindFiles(folder, "*.jkl")) {
    std::string text =
        rtl::ReadFileToString(rtl::JoinPath(folder, name), int64_t{1} << 40, "a bench input");
    if (text.size() > largestSize) {
      largestSize = text.size();
      largest = name;
    }
  }
  if (!largest.empty())
    Run(largest.c_str(),
        rtl::ReadFileToString(rtl::JoinPath(folder, largest), int64_t{1} << 40, "a bench input"));
  else
    std::printf("no corpus levels in %s\n", folder.c_str());
  Run("generated 100000 surfaces", GenerateJklLevel(100000));
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_brush: %s\n", e.what());
  return 1;
}
