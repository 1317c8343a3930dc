// morvane build in the Windows morvane.exe: it carries neither the preview that draws the
// levelshot nor a zip library, so it says why it cannot build and where the route goes instead.
#include <ostream>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/ImportFlags.h"

namespace {

int Build(TArgs&, std::ostream&, std::ostream& err) {
  err << "morvane build: this Windows morvane.exe cannot compile or package a level; compile the "
         "map from the editor's BSP menu (q3map2 for JK2, as README.txt says), or run "
         "morvane build on Linux\n";
  return 1;
}

}  // namespace

const TCommandDef& BuildCommand() {
  static const TCommandDef command = {"build", "  morvane build PATH ...\n",
                                      "build   (not in this Windows morvane.exe: see README.txt)\n",
                                      BuildOptions(), Build};
  return command;
}
