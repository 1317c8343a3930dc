#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "rtl/Files.h"

int main(int argc, char** argv) {
  rtl::RemoveTempFilesOnSignals();
  std::vector<std::string> args(argv, argv + argc);
  return RunCli(args, std::cout, std::cerr);
}
