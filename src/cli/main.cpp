#include <iostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "rtl/Files.h"

#ifdef _WIN32
#include "win32/Platform_win32.h"
#endif

int main(int argc, char** argv) {
  rtl::RemoveTempFilesOnSignals();
#ifdef _WIN32
  (void)argc, (void)argv;
  const std::vector<std::string> args = CommandLineArguments();
#else
  std::vector<std::string> args(argv, argv + argc);
#endif
  return RunCli(args, std::cout, std::cerr);
}
