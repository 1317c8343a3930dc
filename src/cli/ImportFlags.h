// The import flags of `import` and `preview`, read from the option table: each turns one import
// option on for the run, never stored. `preview` takes those that change what the level looks
// like, so that a preview shows what the import with the same flags makes.
#pragma once

#include <string>
#include <vector>

#include "cli/Args.h"
#include "import/ImportOptions.h"

// The option definitions of the table's flags the command takes (LookOnly: preview's), then
// --game-ready.
std::vector<TOptionDef> ImportFlagDefs(bool LookOnly);

// The flags of Call that the command takes (LookOnly: preview's) turned on in Options;
// --game-ready turns on each of its parts the command takes.
void ApplyImportFlags(const TArgs& Call, bool LookOnly, TImportOptions& Options);

// Help texts made from the table: the flags in synopsis form ("[--align] [--clean] ..."), each
// flag's paragraph as import's help shows it, the settings keys, and what --game-ready gathers.
std::vector<std::string> ImportFlagWords(bool LookOnly);
std::string ImportFlagParagraphs();
std::vector<std::string> OnOffKeys();
std::vector<std::string> GameReadyFlags();

// Words joined by single blanks into lines of at most Width characters, each line after the
// first starting with Indent; the text ends with a line break.
std::string WrapWords(const std::vector<std::string>& Words, const std::string& First,
                      const std::string& Indent, size_t Width);

// The options of build (its own, then every import flag), the same on every system so that a
// Windows user hears why it cannot build rather than that an option is unknown.
std::vector<TOptionDef> BuildOptions();
