// The command line of morvane: each command's options, the parser that splits the arguments,
// and the usage texts a command shows on an error.
#pragma once

#include <iosfwd>
#include <map>
#include <string>
#include <vector>

// One option of a command: its name, and whether a value follows it ("--map FILE" or
// "--map=FILE") or it is a switch ("--overwrite-textures").
struct TOptionDef {
  const char* Name;
  bool TakesValue;
};

// A command line split by the parser: the positional arguments in order and the options given
// (a switch holds "1"; an option given twice keeps its last value).
struct TArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  bool Has(const char* name) const { return options.count(name) != 0; }
  std::string Get(const char* name, const std::string& fallback = std::string()) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
  }
};

using TCommandRun = int (*)(TArgs& args, std::ostream& out, std::ostream& err);

// One command: everything its help, its usage errors and its parsing need.
struct TCommandDef {
  const char* Name;
  const char* Synopsis;  // the usage lines, each beginning "  morvane NAME"
  const char* Details;   // the help's paragraph about the command
  std::vector<TOptionDef> Options;
  TCommandRun Run;
};

extern const char* const ExitStatusText;
extern const char* const GeneralSynopsis;
extern const char* const GeneralDetails;

// For a usage error of a command: its synopsis and where the rest is.
std::string ShortUsage(const TCommandDef& Command);
// The help of one command.
std::string CommandHelp(const TCommandDef& Command);

enum class TParse { Ok, Help, Error };

// Splits the arguments after the command into positional ones and the command's options:
// "-h"/"--help" asks for the command's help, "--" ends the options. An unknown option, a value
// missing or given to a switch is an error, with its text.
TParse ParseArgs(const std::vector<std::string>& args, size_t from,
                 const std::vector<TOptionDef>& known, TArgs& out, std::string& error);
