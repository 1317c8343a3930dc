// A short run of a fuzz target without libFuzzer, for the test suite: the target's entry point
// gets its seed files and then inputs made from them by random edits (bytes changed, ranges cut
// or repeated, the tokens the parsers care about put in) for a given number of seconds. It finds
// less than a coverage-guided run, but it runs in every sanitizer build, so that a target that no
// longer builds or fails on its own seeds is seen at once.
//
// Usage: fuzz_<name>_short SECONDS [SEED...]. Exit status 0 when every input passed; a finding
// ends the program as the sanitizer or the target decides, after the input that caused it was
// saved as "<program>.crash" in the current folder.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string current;   // the input being run
char crashPath[4096];  // where it is saved when the run ends badly

void SaveCurrent() {
  const int fd = ::open(crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < current.size()) {
    const ssize_t n = ::write(fd, current.data() + done, current.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
}

extern "C" void OnFatalSignal(int Signal) {
  SaveCurrent();
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

// What the level, model and settings readers split and compare on.
const char* const Tokens[] = {",",     " ",   "\n",  "\r",         "\t",       "#",          ":",
                              "0:",    "-1",  "0",   "1",          "3",        "0x",         "1e38",
                              "-1e38", "nan", "inf", "4294967295", "99999999", "2147483647", "=",
                              "[",     "]",   ">>",  "\\",         "..",       "\0"};

class TMutator {
 public:
  explicit TMutator(const std::vector<std::string>& Seeds) : seeds_(Seeds) {}

  std::string Next() {
    std::string s = seeds_.empty() ? std::string() : seeds_[Pick(seeds_.size())];
    const size_t edits = 1 + Pick(8);
    for (size_t i = 0; i < edits; ++i) Edit(s);
    return s;
  }

 private:
  size_t Pick(size_t n) { return n ? static_cast<size_t>(random_() % n) : 0; }

  void Edit(std::string& s) {
    const size_t at = Pick(s.size() + 1);
    switch (Pick(6)) {
      case 0:  // a byte changed
        if (!s.empty()) s[Pick(s.size())] = static_cast<char>(random_());
        break;
      case 1: {  // a token put in
        const char* t = Tokens[Pick(std::size(Tokens))];
        s.insert(at, t, std::strlen(t) ? std::strlen(t) : 1);
        break;
      }
      case 2:  // a range cut
        s.erase(at, Pick(64));
        break;
      case 3: {  // a range repeated
        const std::string part = s.substr(at, Pick(256));
        s.insert(Pick(s.size() + 1), part);
        break;
      }
      case 4: {  // random bytes put in
        std::string bytes(Pick(32), '\0');
        for (char& c : bytes) c = static_cast<char>(random_());
        s.insert(at, bytes);
        break;
      }
      default:  // a word replaced by a token
        if (at < s.size()) {
          size_t end = at;
          while (end < s.size() && s[end] != ' ' && s[end] != '\n') ++end;
          s.replace(at, end - at, Tokens[Pick(std::size(Tokens) - 1)]);
        }
        break;
    }
  }

  const std::vector<std::string>& seeds_;
  std::mt19937_64 random_{0x6d6f7276616e65ULL};
};

void Run(const std::string& Input) {
  current = Input;
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(current.data()), current.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s SECONDS [SEED...]\n", argv[0]);
    return 2;
  }
  const double seconds = std::atof(argv[1]);
  std::snprintf(crashPath, sizeof crashPath, "%s.crash", argv[0]);
  for (int signal : {SIGABRT, SIGSEGV, SIGILL, SIGFPE, SIGBUS}) std::signal(signal, OnFatalSignal);
  std::vector<std::string> seeds;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "%s: cannot read the seed '%s'\n", argv[0], argv[i]);
      return 2;
    }
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  long runs = 0;
  for (const std::string& seed : seeds) Run(seed), ++runs;
  TMutator mutator(seeds);
  const auto start = std::chrono::steady_clock::now();
  const auto until = start + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) Run(mutator.Next()), ++runs;
  std::printf("%s: %ld inputs in %.1f s, no finding\n", argv[0], runs, seconds);
  return 0;
}
