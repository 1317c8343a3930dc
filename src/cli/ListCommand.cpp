// morvane list: the entries of a container.
#include <ostream>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Inputs.h"
#include "container/O_jkc.h"
#include "rtl/SysUtils.h"

namespace {

const char* const ListSynopsis = "  morvane list CONTAINER [FOLDER]\n";
const char* const ListDetails =
    "list    prints each entry of a container (optionally only those under FOLDER, such as\n"
    "        jkl\\ or mat\\) with its size in bytes; an entry whose name an earlier one has\n"
    "        (in any letter case) is marked: extract and import take the first.\n";

int List(TArgs& a, std::ostream& out, std::ostream& err) {
  if (a.positional.empty() || a.positional.size() > 2) {
    err << "morvane list: expects CONTAINER [FOLDER]\n" << ShortUsage(ListCommand());
    return 2;
  }
  if (!CheckInputFile("list", a.positional[0], err)) return 2;
  TJKContainer container;
  container.Open(a.positional[0]);
  std::string folder = a.positional.size() > 1 ? rtl::LowerCase(a.positional[1]) : std::string();
  for (char& c : folder)
    if (c == '/') c = '\\';
  for (int i = 0; i < container.Entries.Count(); ++i) {
    const std::string& key = container.Entries.Strings(i);
    if (key.compare(0, folder.size(), folder) != 0) continue;
    out << key << "\t" << container.Entries.Objects(i)->Length
        << (container.IndexOfKey(key) != i ? "\t(duplicate of an earlier entry: not used)" : "")
        << "\n";
  }
  return 0;
}

}  // namespace

const TCommandDef& ListCommand() {
  static const TCommandDef command = {"list", ListSynopsis, ListDetails, {}, List};
  return command;
}
