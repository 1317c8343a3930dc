#include "cli/Terminal.h"

#include <iostream>

#ifdef _WIN32
#include <io.h>
#define MV_ISATTY _isatty
#else
#include <unistd.h>
#define MV_ISATTY isatty
#endif

namespace {

TImportTerminal* g_Terminal = nullptr;

}  // namespace

bool IsTerminal(int fd) { return MV_ISATTY(fd) != 0; }

void TProgressBar::Draw(int index, int count, const std::string& label) {
  if (!enabled_ || count <= 0) return;
  const int width = 30;
  int filled = static_cast<int>(static_cast<long long>(index + 1) * width / count);
  filled = filled < 0 ? 0 : filled > width ? width : filled;
  std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                     std::string(static_cast<size_t>(width - filled), '.') + "] " + label;
  if (line == shown_) return;
  err_ << "\r\033[K" << line << std::flush;
  shown_ = line;
}

void TProgressBar::Clear() {
  if (!shown_.empty()) err_ << "\r\033[K" << std::flush;
  shown_.clear();
}

TImportTerminal::TImportTerminal(std::ostream& out, std::ostream& err, bool WithBar)
    : out_(out), bar_(err, WithBar && IsTerminal(2) && &err == &std::cerr), previous_(g_Terminal) {
  g_Terminal = this;
}

TImportTerminal::~TImportTerminal() { g_Terminal = previous_; }

void TImportTerminal::Console(const std::string& Text) {
  bar_.Clear();
  out_ << "Morvane: " << Text << "\n" << std::flush;
}

void TImportTerminal::Status(const std::string& Text) {
  step_ = Text;
  bar_.Draw(-1, 1, step_);
}

void TImportTerminal::Progress(int32_t Index, int32_t Count) {
  if (g_Terminal) g_Terminal->bar_.Draw(Index, Count, g_Terminal->step_);
}
