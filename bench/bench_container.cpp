// Opening a container of 10,000 entries and looking every key up once, in upper case: directory
// reads per second and lookups per second, with the indexed lookup beside a plain walk of the
// list for comparison.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "container/O_jkc.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"
#include "support/TestSupport.h"

namespace {

std::string MakeContainer(int count, std::vector<std::string>& names) {
  std::vector<testing_support::GobItem> items;
  for (int i = 0; i < count; ++i) {
    // Shuffled so that the sort has work to do; shared folder prefixes as in real containers.
    int n = static_cast<int>((static_cast<uint32_t>(i) * 7919u) % static_cast<uint32_t>(count));
    std::string name = rtl::Format("%s\\Tex%05d.MAT", n % 2 ? "mat" : "3do\\mat", n);
    names.push_back(rtl::UpperCase(name));
    items.push_back({name, "x"});
  }
  return testing_support::MakeGob(items);
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

int main() {
  const int count = 10000;
  std::vector<std::string> names;
  const std::string bytes = MakeContainer(count, names);
  using Clock = std::chrono::steady_clock;

  TJKContainer gob;
  const int reads = 50;
  auto t0 = Clock::now();
  for (int i = 0; i < reads; ++i) {
    rtl::TReadOnlyMemoryStream s(bytes.data(), bytes.size());
    gob.ReadDirectory(s);
  }
  double readTime = Seconds(Clock::now() - t0);

  auto t1 = Clock::now();
  long found = 0;
  for (const std::string& n : names) found += gob.IndexOfKey(n) >= 0;
  double lookupTime = Seconds(Clock::now() - t1);

  // The same lookups as a walk of the list, first match in list order.
  auto t2 = Clock::now();
  long walked = 0;
  for (const std::string& n : names) walked += gob.Entries.IndexOfWith(n, rtl::SameText) >= 0;
  double walkTime = Seconds(Clock::now() - t2);

  if (found != count || walked != count) {
    std::fprintf(stderr, "lookups failed: %ld and %ld of %d\n", found, walked, count);
    return 1;
  }
  std::printf("container of %d entries (%zu bytes)\n", count, bytes.size());
  std::printf("directory reads: %.1f per second (%.2f ms each)\n", reads / readTime,
              1000 * readTime / reads);
  std::printf("indexed lookups: %.0f per second (%d in %.3f ms)\n", count / lookupTime, count,
              1000 * lookupTime);
  std::printf("list-walk lookups: %.0f per second (%d in %.3f ms)\n", count / walkTime, count,
              1000 * walkTime);
  return 0;
}
