// Every on/off option of an import, declared once: its field, its settings key, morvane's flag,
// whether "ready for the game" includes it, and its help. The settings reading, both hosts'
// flags and help, and the packages' list of settings keys all read this table.
#pragma once

#include <vector>

#include "import/ImportOptions.h"

struct TOptionRow {
  bool TImportOptions::*Field;
  // The settings key ("1" on; "0", missing or empty off); nullptr: a request for one run only.
  const char* Key;
  // The key as the console line about a value that is neither says it ("align textures").
  const char* Spoken;
  const char* Flag;  // morvane's flag that turns it on for one run, never stored
  bool GameReady;    // GameReady=1 and --game-ready turn it on
  bool Look;         // changes what the level looks like: preview takes the flag too
  // The flag's help after its column, lines joined by '\n' (each line indented as the column).
  const char* Help;
};

// The rows in the order the settings are read (and their console lines said), then the requests
// for one run. To add an option: a field in TImportOptions (or, when the brush conversion reads
// it, TConversionOptions), one row here, and its key's paragraph in cmake/packaging/settings.txt
// (a test holds that list to this table).
const std::vector<TOptionRow>& OptionTable();

// The setting and the flag that turn on every row marked GameReady.
inline constexpr const char* GameReadyKey = "GameReady";
inline constexpr const char* GameReadyFlag = "--game-ready";
