// Runs the command-line host in-process, as a shell would call it, and keeps what it printed.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace testing_support {

struct TCliRun {
  int code;
  std::string out, err;
};

// `morvane ARGS...`: the exit status and the text of standard output and standard error.
inline TCliRun Morvane(const std::vector<std::string>& args) {
  std::vector<std::string> full = {"morvane"};
  full.insert(full.end(), args.begin(), args.end());
  std::ostringstream out, err;
  const int code = RunCli(full, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace testing_support
