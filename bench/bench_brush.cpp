// Conversion of a level into slab brushes and their hand-off to a recording host, on the largest
// real level and on a generated one: brushes per second, and the share of conversion and hand-off
// in reading + conversion + hand-off.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "brush/BrushConvert.h"
#include "level/O_jkl.h"
#include "plugin/RecordingHost.h"
#include "plugin/SendBrushes.h"
#include "plugin/main.h"
#include "rtl/Files.h"

namespace {

// A flat grid of quads, 64 surfaces to a sector, every seventh one a sky surface.
std::string GenerateLevel(int surfaces) {
  int w = 1;
  while (w * w < surfaces) ++w;
  const int rows = (surfaces + w - 1) / w;
  std::string t =
      "SECTION: JK\r\nSECTION: MATERIALS\r\nWorld materials 1\r\n0:\twall.mat\t1\t1\r\n"
      "end\r\nSECTION: GEORESOURCE\r\n";
  t += "World vertices " + std::to_string((w + 1) * (rows + 1)) + "\r\n";
  char line[256];
  for (int y = 0, n = 0; y <= rows; ++y)
    for (int x = 0; x <= w; ++x, ++n) {
      std::snprintf(line, sizeof line, "%d: %.2f %.2f %.3f\r\n", n, x * 0.5, y * 0.5,
                    (x % 3) * 0.125);
      t += line;
    }
  t += "World texture vertices 1\r\n0: 0 0\r\nWorld adjoins 0\r\n";
  t += "World surfaces " + std::to_string(surfaces) + "\r\n";
  for (int i = 0; i < surfaces; ++i) {
    int x = i % w, y = i / w, a = y * (w + 1) + x;
    std::snprintf(line, sizeof line,
                  "%d:\t0\t0x%x\t0x4\t4\t3\t4\t-1\t0\t4 %d,0 %d,0 %d,0 %d,0 0 0 0 0\r\n", i,
                  i % 7 == 0 ? 0x204 : 0x4, a, a + 1, a + w + 2, a + w + 1);
    t += line;
  }
  for (int i = 0; i < surfaces; ++i) t += std::to_string(i) + ": 0 0 1\r\n";
  const int sectors = (surfaces + 63) / 64;
  t += "Section: SECTORS\r\nWorld sectors " + std::to_string(sectors) + "\r\n";
  for (int s = 0; s < sectors; ++s)
    t += "SECTOR " + std::to_string(s) + "\r\nSURFACES " + std::to_string(s * 64) + " " +
         std::to_string(std::min(64, surfaces - s * 64)) + "\r\n";
  t += "Section: Things\r\nWorld things 1\r\n0: walkplayer player 1 1 0 0 90 0 0\r\nend\r\n";
  return t;
}

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
    ConvertSectorsToBrushes(level, brushLevel, nullptr);
    auto t2 = std::chrono::steady_clock::now();
    recording_host::TRecordingHost host;
    host.RecordCalls = false;
    host.Install(FuncTable);
    SendBrushesToHost(brushLevel, "bench/", nullptr);
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
    std::string text = rtl::ReadFileToString(rtl::JoinPath(folder, name));
    if (text.size() > largestSize) {
      largestSize = text.size();
      largest = name;
    }
  }
  if (!largest.empty())
    Run(largest.c_str(), rtl::ReadFileToString(rtl::JoinPath(folder, largest)));
  else
    std::printf("no corpus levels in %s\n", folder.c_str());
  Run("generated 100000 surfaces", GenerateLevel(100000));
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_brush: %s\n", e.what());
  return 1;
}
