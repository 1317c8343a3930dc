#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "rtl/Files.h"
#include "rtl/Utf.h"

int main(int argc, char** argv) {
  rtl::RemoveTempFilesOnSignals();
#ifdef _WIN32
  (void)argc, (void)argv;
  const std::vector<std::string> args = rtl::CommandLineArguments();
#else
  std::vector<std::string> args(argv, argv + argc);
#endif
  return RunCli(args, std::cout, std::cerr);
}
