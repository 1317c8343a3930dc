// morvane, the command-line host: runs the plug-in's own commands headless. The answers that
// dialogs would give come from the arguments, the editor's console is standard output, the
// status window a progress bar on standard error when that is a terminal, and the brushes that
// the editor would receive are written as a .map file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit status: 0 success, 1 the command failed, 2 a usage error.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The help text of one command ("import", "convert", ...), or of all for any other text.
std::string CliHelp(const std::string& command = std::string());
