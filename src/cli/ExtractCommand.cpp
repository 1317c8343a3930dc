// morvane extract: one entry of a container into a file.
#include <ostream>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Inputs.h"
#include "container/O_jkc.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"

namespace {

const char* const ExtractSynopsis = "  morvane extract CONTAINER KEY [-o FILE]\n";
const char* const ExtractDetails =
    "extract copies one entry of a container to FILE (default: the entry's file name in the\n"
    "        current folder; never CONTAINER itself) and prints the file's name, followed by\n"
    "        \"(replaced)\" when a file of that name was there before.\n";

int Extract(TArgs& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 2) {
    err << "morvane extract: expects CONTAINER KEY [-o FILE]\n" << ShortUsage(ExtractCommand());
    return 2;
  }
  const std::string& source = a.positional[0];
  if (!CheckInputFile("extract", source, err)) return 2;
  std::string key = a.positional[1];
  for (char& c : key)
    if (c == '/') c = '\\';
  if (key.empty() || key.back() == '\\') {
    err << "morvane extract: KEY '" << a.positional[1]
        << "' names no file (such as mat\\wall.mat)\n"
        << ShortUsage(ExtractCommand());
    return 2;
  }
  const std::string target = a.Has("-o") ? a.Get("-o") : rtl::ExtractFileName(key);
  if (OutputIsInput("extract", "-o", target, source, err)) return 2;
  TJKContainer container;
  container.Open(source);
  // Keys are written with "\\" and "/" is taken for it, but an entry whose name holds "/"
  // itself is found as it is written.
  if (!container.Find(key) && container.Find(a.positional[1])) key = a.positional[1];
  SayDuplicates("extract", container, key, err);
  rtl::TMemoryStream data;
  if (!container.ExtractToStream(data, key)) {
    err << "morvane extract: no entry '" << a.positional[1] << "' in " << source << "\n";
    return 1;
  }
  const bool replacing = rtl::PathKind(target) == rtl::TPathKind::File;
  rtl::WriteFileAtomic(target, std::string(data.Bytes().begin(), data.Bytes().end()));
  out << target << (replacing ? " (replaced)" : "") << "\n";
  return 0;
}

}  // namespace

const TCommandDef& ExtractCommand() {
  static const TCommandDef command = {
      "extract", ExtractSynopsis, ExtractDetails, {{"-o", true}}, Extract};
  return command;
}
