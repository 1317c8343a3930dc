#include "cli/Cli.h"

#include <ostream>

#include "cli/Args.h"
#include "cli/Commands.h"

namespace {

const char* const Version = MORVANE_VERSION;

const std::vector<const TCommandDef*>& Commands() {
  static const std::vector<const TCommandDef*> commands = {
      &ImportCommand(),  &ListCommand(), &ExtractCommand(), &ConvertCommand(), &BakeCommand(),
#ifndef _WIN32
      &PreviewCommand(),
#endif
      &BuildCommand(),
  };
  return commands;
}

const TCommandDef* FindCommand(const std::string& name) {
  for (const TCommandDef* c : Commands())
    if (name == c->Name) return c;
  return nullptr;
}

std::string FullHelp() {
  std::string text = "usage:\n";
  for (const TCommandDef* c : Commands()) text += c->Synopsis;
  text += GeneralSynopsis;
  for (const TCommandDef* c : Commands()) text += std::string("\n") + c->Details;
  text += std::string("\n") + GeneralDetails + "\n" + ExitStatusText;
  return text;
}

// For a usage error of the command line as a whole: every synopsis and where the rest is.
std::string ShortUsage() {
  std::string text = "usage:\n";
  for (const TCommandDef* command : Commands()) text += command->Synopsis;
  return text + GeneralSynopsis + "Run 'morvane --help' for the details.\n";
}

}  // namespace

std::string CliHelp(const std::string& command) {
  const TCommandDef* def = FindCommand(command);
  return def ? CommandHelp(*def) : FullHelp();
}

namespace {

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) {
    err << ShortUsage();
    return 2;
  }
  const std::string& command = args[1];
  if (command == "--help" || command == "-h" || command == "help") {
    // "morvane help COMMAND" as well as "morvane COMMAND --help".
    if (args.size() > 2 && command == "help" && !FindCommand(args[2])) {
      err << "morvane: unknown command '" << args[2] << "'\n" << ShortUsage();
      return 2;
    }
    out << CliHelp(args.size() > 2 ? args[2] : std::string());
    return 0;
  }
  if (command == "--version") {
    out << "morvane " << Version << "\n";
    return 0;
  }
  const TCommandDef* def = FindCommand(command);
  if (!def) {
    err << "morvane: unknown command '" << command << "'\n" << ShortUsage();
    return 2;
  }
  TArgs a;
  std::string error;
  switch (ParseArgs(args, 2, def->Options, a, error)) {
    case TParse::Help:
      out << CommandHelp(*def);
      return 0;
    case TParse::Error:
      err << "morvane " << command << ": " << error << "\n" << ShortUsage(*def);
      return 2;
    case TParse::Ok:
      break;
  }
  try {
    return def->Run(a, out, err);
  } catch (const std::exception& e) {
    err << "morvane " << command << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace

// Output that never arrived (a full disk, a closed pipe) is a failure, whatever the command did.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const int code = RunCommand(args, out, err);
  if (out.flush().fail()) {
    err << "morvane: cannot write to standard output\n";
    return code != 0 ? code : 1;
  }
  return code;
}
