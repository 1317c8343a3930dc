// The import flags of `import` and `preview`, in one table: each turns one import option on for
// the run, never stored. `preview` takes those that change what the level looks like, so that a
// preview shows what the import with the same flags makes.
#pragma once

#include <vector>

#include "brush/ImportOptions.h"
#include "cli/Args.h"

struct TImportFlag {
  const char* Flag;
  bool TImportOptions::*Option;
  bool Look;  // changes what the level looks like: preview takes it too
};

const std::vector<TImportFlag>& ImportFlags();

// The flags of Call that the command takes (LookOnly: preview's) turned on in Options;
// --game-ready turns on each of its parts the command takes.
void ApplyImportFlags(const TArgs& Call, bool LookOnly, TImportOptions& Options);

// The options of build (its own, then every import flag), the same on every system so that a
// Windows user hears why it cannot build rather than that an option is unknown.
std::vector<TOptionDef> BuildOptions();
