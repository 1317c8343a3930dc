#include "cli/Args.h"

const char* const ExitStatusText = "exit status: 0 success, 1 the command failed, 2 usage error.\n";

const char* const GeneralSynopsis =
    "  morvane COMMAND --help\n"
    "  morvane --help | --version\n";
const char* const GeneralDetails =
    "Options may be given in any order, a value after a blank or after \"=\"; \"--\" ends the\n"
    "options, so that later arguments are taken as they are (a PATH beginning with \"-\").\n"
#ifdef _WIN32
    "The Windows build of morvane leaves out the command preview (a PNG picture of an import):\n"
    "it needs libpng; use the Linux build. Its build command only says that it cannot build\n"
    "(no zip library, no levelshot without the preview).\n"
#endif
    ;

std::string ShortUsage(const TCommandDef& Command) {
  return std::string("usage:\n") + Command.Synopsis + "Run 'morvane " + Command.Name +
         " --help' for the details.\n";
}

std::string CommandHelp(const TCommandDef& Command) {
  return std::string("usage:\n") + Command.Synopsis + "\n" + Command.Details + "\n" +
         GeneralDetails + "\n" + ExitStatusText;
}

TParse ParseArgs(const std::vector<std::string>& args, size_t from,
                 const std::vector<TOptionDef>& known, TArgs& out, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "-h" || a == "--help") return TParse::Help;
    std::string name = a, value;
    bool inlineValue = false;
    size_t eq = a.find('=');
    if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    const TOptionDef* def = nullptr;
    for (const TOptionDef& k : known)
      if (name == k.Name) def = &k;
    if (!def) {
      error = "unknown option '" + name + "'";
      return TParse::Error;
    }
    if (!def->TakesValue) {
      if (inlineValue) {
        error = "option '" + name + "' takes no value";
        return TParse::Error;
      }
      value = "1";
    } else if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = "option '" + name + "' needs a value";
        return TParse::Error;
      }
      value = args[++i];
    }
    out.options[name] = value;
  }
  return TParse::Ok;
}
