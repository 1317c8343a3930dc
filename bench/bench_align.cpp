// Texture alignment on the real levels: per level, of the front faces that are fitted (not sky,
// a texture vertex on every corner), the share whose every corner lands within 1 texel, the
// median and the worst of the faces' worst corners, for the classic projection as the editor
// saves it (integer shifts and rotation) and for the brushDef matrix (faces whose MAT size is
// found beside the level or in the corpus's mat folder). Then the fit's cost per face and its
// share of reading, converting and handing off the largest level, in processor time.
//
// bench_align [LEVEL.jkl...]   (default: every level of the corpus)
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "align/TexFit.h"
#include "brush/BrushConvert.h"
#include "cli/Cli.h"
#include "import/BrushStages.h"
#include "level/O_jkl.h"
#include "plugin/main.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "support/HandOff.h"
#include "support/RecordingHost.h"

namespace {

// The thread's processor time: the machine is shared, and wall time would count the others.
struct Clock {
  using time_point = double;
  static double now() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
  }
};

double Seconds(double a, double b) { return b - a; }

std::string ReadAll(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return std::string();
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  return text;
}

uint32_t U32(const std::string& b, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(b[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

// The first cel's size of a texture MAT, or false.
bool MatSize(const std::string& path, int& w, int& h) {
  const std::string b = ReadAll(path);
  if (b.size() < 76 || b.compare(0, 4, "MAT ") != 0 || U32(b, 8) != 2) return false;
  const size_t at = 76 + 40 * static_cast<size_t>(U32(b, 12));
  if (U32(b, 12) > 4096 || b.size() < at + 8) return false;
  w = static_cast<int>(U32(b, at));
  h = static_cast<int>(U32(b, at + 4));
  return w > 0 && h > 0 && w <= 65536 && h <= 65536;
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Sizes by lower-case file name from the given folders (later folders do not override).
void AddMatFolder(const std::string& dir, std::map<std::string, std::pair<int, int>>& sizes) {
  for (const std::string& name : rtl::FindFiles(dir, "*")) {
    int w, h;
    if (MatSize(rtl::IncludeTrailingPathDelimiter(dir) + name, w, h))
      sizes.emplace(Lower(name), std::make_pair(w, h));
  }
}

struct TStats {
  std::vector<double> worst;
  double Within(double limit) const {
    if (worst.empty()) return 0;
    size_t n = 0;
    for (double w : worst) n += w <= limit;
    return 100.0 * static_cast<double>(n) / static_cast<double>(worst.size());
  }
  double Median() {
    if (worst.empty()) return 0;
    std::sort(worst.begin(), worst.end());
    return worst[worst.size() / 2];
  }
  double Max() const { return worst.empty() ? 0 : *std::max_element(worst.begin(), worst.end()); }
};

void Measure(const std::string& path, const std::map<std::string, std::pair<int, int>>& common,
             TStats& allClassic, TStats& allBrushDef) {
  const std::string text = ReadAll(path);
  TJKLevel level;
  level.LoadFromText(text.data(), text.size());
  TImportOptions options;
  options.AlignTextures = true;
  TBrushLevel brushes;
  MakeBrushLevel(level, brushes, nullptr, options);

  std::map<std::string, std::pair<int, int>> sizes;
  AddMatFolder(
      rtl::ExtractFilePath(rtl::ExcludeTrailingPathDelimiter(rtl::ExtractFilePath(path))) + "mat",
      sizes);
  for (const auto& kv : common) sizes.insert(kv);

  TStats classic, brushDef, standIn;
  size_t sized = 0;
  for (int i = 0; i < brushes.Brushes.Count(); ++i) {
    const TSurface& front = *brushes.Brushes.Items(i)->Surfaces.Items(0);
    if (!AlignedFrontFace(front)) continue;
    const texfit::TClassicFit fit = FitFrontFace(front);
    if (!fit.Fitted) continue;
    classic.worst.push_back(fit.Error.Worst);
    float p1[3], p2[3], p3[3];
    HandOffPoints(front, p1, p2, p3);
    const auto corners = TexCorners(front);
    const TVector3 n = texfit::EditorNormal(p1, p2, p3);
    // In texels the matrix's error hardly depends on the image size: a 64 x 64 stand-in shows
    // what the faces of unknown size would get.
    const texfit::TBrushDefFit any = texfit::FitBrushDef(n, corners.data(), corners.size(), 64, 64);
    if (any.Fitted) standIn.worst.push_back(any.Error.Worst);
    const auto size = sizes.find(Lower(front.MaterialName));
    if (size == sizes.end()) continue;
    ++sized;
    const texfit::TBrushDefFit bd = texfit::FitBrushDef(n, corners.data(), corners.size(),
                                                        size->second.first, size->second.second);
    if (bd.Fitted) brushDef.worst.push_back(bd.Error.Worst);
  }
  allClassic.worst.insert(allClassic.worst.end(), classic.worst.begin(), classic.worst.end());
  allBrushDef.worst.insert(allBrushDef.worst.end(), brushDef.worst.begin(), brushDef.worst.end());
  std::printf(
      "%-22s %6zu faces  classic: %5.1f%% <=1, median %.3f, worst %9.2f | brushDef: %5zu sized, "
      "%5.1f%% <=0.1, median %.4f, worst %.3f | all as brushDef (64x64): %5.1f%% <=0.1, worst "
      "%.3f\n",
      rtl::ExtractFileName(path).c_str(), classic.worst.size(), classic.Within(1), classic.Median(),
      classic.Max(), sized, brushDef.Within(0.1), brushDef.Median(), brushDef.Max(),
      standIn.Within(0.1), standIn.Max());
}

void Benchmark(const std::string& path) {
  const std::string text = ReadAll(path);
  double best[2] = {1e30, 1e30};
  double fitBest = 1e30;
  size_t fitted = 0;
  for (int round = 0; round < 5; ++round) {
    for (int align = 0; align < 2; ++align) {
      auto t0 = Clock::now();
      TJKLevel level;
      level.LoadFromText(text.data(), text.size());
      TImportOptions options;
      options.AlignTextures = align != 0;
      TBrushLevel brushLevel;
      MakeBrushLevel(level, brushLevel, nullptr, options);
      recording_host::TRecordingHost host;
      host.RecordCalls = false;
      host.Install(ThePlugin().Table());
      const std::vector<texfit::TClassicFit> fits =
          align ? FitFrontFaces(brushLevel) : std::vector<texfit::TClassicFit>();
      HandOffBrushLevel(brushLevel, "bench/", "", align ? &fits : nullptr);
      auto t1 = Clock::now();
      best[align] = std::min(best[align], Seconds(t0, t1));
      if (align) {
        // The fit alone, repeated so that the clock's grain does not count.
        constexpr int Repeats = 10;
        auto f0 = Clock::now();
        size_t n = 0;
        for (int r = 0; r < Repeats; ++r)
          for (int i = 0; i < brushLevel.Brushes.Count(); ++i)
            n += FitFrontFace(*brushLevel.Brushes.Items(i)->Surfaces.Items(0)).Fitted;
        auto f1 = Clock::now();
        n /= Repeats;
        fitBest = std::min(fitBest, Seconds(f0, f1) / Repeats);
        fitted = n;
      }
    }
  }
  // The whole `morvane import` (reading, textures, conversion, hand-off, the .map), in this
  // thread's processor time, without and with --align (which fits in the hand-off and measures
  // the written values for its report line).
  const std::string dir = "/tmp/bench_align_" + std::to_string(static_cast<long>(getpid()));
  rtl::ForceDirectories(dir);
  double cli[2] = {1e30, 1e30};
  for (int round = 0; round < 5; ++round) {
    for (int align = 0; align < 2; ++align) {
      std::vector<std::string> args = {"morvane",    "import",       path,
                                       "--settings", dir + "/m.ini", "--game-dir",
                                       dir,          "--map",        dir + "/m.map"};
      if (align) args.push_back("--align");
      std::ostringstream out, err;
      const double t0 = Clock::now();
      RunCli(args, out, err);
      cli[align] = std::min(cli[align], Clock::now() - t0);
    }
  }
  std::remove((dir + "/m.map").c_str());
  std::remove((dir + "/m.ini").c_str());
  std::printf(
      "benchmark %s: morvane import %.1f ms without, %.1f ms with --align; the fit (%.1f ms) is "
      "%.1f%% of the aligned import\n",
      rtl::ExtractFileName(path).c_str(), cli[0] * 1e3, cli[1] * 1e3, fitBest * 1e3,
      100 * fitBest / cli[1]);
  std::printf(
      "benchmark %s: %zu faces fitted, %.2f us per face (%.1f ms); import (read + convert + "
      "hand-off) %.1f ms without, %.1f ms with alignment: fit = %.1f%% of the aligned import\n",
      rtl::ExtractFileName(path).c_str(), fitted, fitBest / static_cast<double>(fitted) * 1e6,
      fitBest * 1e3, best[0] * 1e3, best[1] * 1e3, 100 * fitBest / best[1]);
}

}  // namespace

int main(int argc, char** argv) try {
  rtl::TStringList settings;
  settings.Add("Scale=256");
  settings.Add("BrushDepth=8");
  TSettingsScope scope(settings);

  const std::string corpus = MORVANE_CORPUS_DIR;
  std::vector<std::string> levels;
  for (int i = 1; i < argc; ++i) levels.push_back(argv[i]);
  if (levels.empty()) {
    for (const std::string& name : rtl::FindFiles(corpus + "/jkl", "*.jkl"))
      levels.push_back(corpus + "/jkl/" + name);
  }
  std::sort(levels.begin(), levels.end());
  std::map<std::string, std::pair<int, int>> common;
  AddMatFolder(corpus + "/mat", common);

  TStats classic, brushDef;
  for (const std::string& path : levels) Measure(path, common, classic, brushDef);
  std::printf(
      "all: %zu faces, classic %.1f%% <=1 texel, median %.3f, worst %.2f; brushDef %zu faces, "
      "%.2f%% <=0.1 texel, worst %.3f\n",
      classic.worst.size(), classic.Within(1), classic.Median(), classic.Max(),
      brushDef.worst.size(), brushDef.Within(0.1), brushDef.Max());
  std::string largest;
  size_t largestSize = 0;
  for (const std::string& path : levels) {
    const size_t size = ReadAll(path).size();
    if (size > largestSize) largestSize = size, largest = path;
  }
  if (!largest.empty()) Benchmark(largest);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "bench_align: %s\n", e.what());
  return 1;
}
