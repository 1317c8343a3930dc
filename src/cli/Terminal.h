// The terminal of morvane: a progress bar on standard error when that is a terminal, and the
// editor's console and status window of an import on standard output and that bar.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "level/Progress.h"

// True when the file descriptor is a terminal.
bool IsTerminal(int fd);

// A progress bar on a terminal: redrawn only when what it shows changes (a level reports every
// line it reads), and cleared before a line of text is printed.
class TProgressBar {
 public:
  TProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  ~TProgressBar() { Clear(); }
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;
  void Draw(int index, int count, const std::string& label);
  void Clear();

 private:
  std::ostream& err_;
  bool enabled_;
  std::string shown_;
};

// The console and status window of one import: console lines on out ("Morvane: " and the line),
// the step and its progress on the bar. One at a time: the import's progress callback is a
// plain function, which reaches the terminal that lives.
class TImportTerminal {
 public:
  // WithBar: draw the bar when err is the process's standard error and a terminal.
  TImportTerminal(std::ostream& out, std::ostream& err, bool WithBar);
  ~TImportTerminal();
  TImportTerminal(const TImportTerminal&) = delete;
  TImportTerminal& operator=(const TImportTerminal&) = delete;

  void Console(const std::string& Text);
  void Status(const std::string& Text);
  static void Progress(int32_t Index, int32_t Count);
  void Clear() { bar_.Clear(); }

 private:
  std::ostream& out_;
  TProgressBar bar_;
  std::string step_;
  TImportTerminal* previous_;
};
