// Reading speed of the level reader: the largest corpus level and a generated level of 100,000
// surfaces, each compared with merely reading the same text and splitting it into lines.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "GenLevel.h"
#include "level/O_jkl.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

template <class F>
double Best(int runs, F f) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, Seconds(std::chrono::steady_clock::now() - t0));
  }
  return best;
}

long MaxRssKb() {
#ifndef _WIN32
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
#else
  return 0;
#endif
}

void Report(const char* what, size_t bytes, double read, double split) {
  double mb = bytes / 1e6;
  std::printf("%-28s %8.2f MB  read %8.1f MB/s (%.4f s)  split-only %8.1f MB/s  ratio %.2f\n", what,
              mb, mb / read, read, mb / split, read / split);
}

}  // namespace

int main() {
  const int runs = 7;

  // Generated level first, so that the peak-memory growth is the reader's own.
  std::string text = GenerateJklLevel(100000);
  long before = MaxRssKb();
  {
    TJKLevel level;
    level.LoadFromText(text.data(), text.size());
    std::printf(
        "generated level: %d surfaces, %d sectors, %d vertices; peak memory +%ld KB for "
        "%zu KB of text\n",
        level.Surfaces.Count(), level.Sectors.Count(), level.Vertices.Count(), MaxRssKb() - before,
        text.size() / 1024);
  }
  double read = Best(runs, [&] {
    TJKLevel level;
    level.LoadFromText(text.data(), text.size());
  });
  double split = Best(runs, [&] {
    std::vector<std::string> lines = rtl::SplitLines(text.data(), text.size());
    if (lines.empty()) std::puts("?");
  });
  Report("generated 100000 surfaces", text.size(), read, split);

  // The largest level of the corpus, read from disk both ways.
  std::string dir = rtl::JoinPath(MORVANE_CORPUS_DIR, "jkl");
  std::string largest;
  size_t largestSize = 0;
  for (const std::string& name : rtl::FindFiles(dir, "*.jkl")) {
    std::string path = rtl::JoinPath(dir, name);
    size_t size = rtl::ReadFileToString(path, int64_t{1} << 40, "a bench input").size();
    if (size > largestSize) largestSize = size, largest = path;
  }
  if (largest.empty()) {
    std::puts("corpus absent: no corpus level measured");
    return 0;
  }
  read = Best(runs, [&] {
    TJKLevel level;
    level.LoadFromFile(largest);
  });
  split = Best(runs, [&] {
    std::string t = rtl::ReadFileToString(largest, int64_t{1} << 40, "a bench input");
    std::vector<std::string> lines = rtl::SplitLines(t.data(), t.size());
    if (lines.empty()) std::puts("?");
  });
  Report(rtl::ExtractFileName(largest).c_str(), largestSize, read, split);
  return 0;
}
