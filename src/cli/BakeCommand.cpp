// morvane bake: the game's light written into a compiled level's lightmaps.
#include <exception>
#include <ostream>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/Inputs.h"
#include "light/LightBake.h"
#include "rtl/SysUtils.h"

namespace {

const char* const BakeSynopsis = "  morvane bake MAP.bsp\n";
const char* const BakeDetails =
    "bake    writes the game's light into the lightmaps of a level compiled from a map that\n"
    "        import wrote with --lights or --game-ready, in place and in one step: run it after\n"
    "        each light compile. It reads MAP.gamelight, which the import left beside the map,\n"
    "        and needs neither the level nor the settings. Every luxel of a surface that lies on\n"
    "        a lit surface of the level gets the game's light there; surfaces on none (models, a\n"
    "        designer's new brushes) keep the compiler's light.\n";

int Bake(TArgs& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 1) {
    err << "morvane bake: expects MAP.bsp\n" << ShortUsage(BakeCommand());
    return 2;
  }
  const std::string& path = a.positional[0];
  if (!CheckInputFile("bake", path, err)) return 2;
  try {
    const TBakeCount count = BakeCompiledLevel(path);
    out << rtl::Format("%lld luxels of %d of %d lightmapped surfaces set to the game's light in ",
                       count.Luxels, count.Baked, count.Surfaces)
        << path << "\n";
  } catch (const std::exception& e) {
    err << "morvane bake: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

const TCommandDef& BakeCommand() {
  static const TCommandDef command = {"bake", BakeSynopsis, BakeDetails, {}, Bake};
  return command;
}
