#include "cli/ImportFlags.h"

#include "import/ImportSettings.h"
#include "import/OptionTable.h"

namespace {

bool Takes(const TOptionRow& Row, bool LookOnly) { return Row.Flag && (!LookOnly || Row.Look); }

// The column where a flag's help starts, as in every command's help.
const size_t HelpColumn = 23;

}  // namespace

std::vector<TOptionDef> ImportFlagDefs(bool LookOnly) {
  std::vector<TOptionDef> defs;
  for (const TOptionRow& row : OptionTable())
    if (Takes(row, LookOnly)) defs.push_back({row.Flag, false});
  defs.push_back({GameReadyFlag, false});
  return defs;
}

void ApplyImportFlags(const TArgs& Call, bool LookOnly, TImportOptions& Options) {
  const bool gameReady = Call.Has(GameReadyFlag);
  if (gameReady) Options.GameReady = true;
  for (const TOptionRow& row : OptionTable())
    if (Takes(row, LookOnly) && (Call.Has(row.Flag) || (gameReady && row.GameReady)))
      Options.*row.Field = true;
}

std::vector<std::string> ImportFlagWords(bool LookOnly) {
  std::vector<std::string> words;
  for (const TOptionRow& row : OptionTable())
    if (Takes(row, LookOnly)) words.push_back("[" + std::string(row.Flag) + "]");
  words.push_back("[" + std::string(GameReadyFlag) + "]");
  return words;
}

std::string ImportFlagParagraphs() {
  std::string text;
  const std::string indent(HelpColumn, ' ');
  for (const TOptionRow& row : OptionTable()) {
    if (!row.Flag) continue;
    std::string head = "  " + std::string(row.Flag);
    head.resize(HelpColumn - 1, ' ');
    text += head + ' ';
    for (const char* c = row.Help; *c; ++c) {
      text += *c;
      if (*c == '\n') text += indent;
    }
    text += '\n';
  }
  return text;
}

std::vector<std::string> OnOffKeys() {
  std::vector<std::string> keys;
  for (const TOptionRow& row : OptionTable())
    if (row.Key) keys.push_back(row.Key);
  keys.push_back(GameReadyKey);
  return keys;
}

std::vector<std::string> GameReadyFlags() {
  std::vector<std::string> flags;
  for (const TOptionRow& row : OptionTable())
    if (row.Flag && row.GameReady) flags.push_back(row.Flag);
  return flags;
}

std::string WrapWords(const std::vector<std::string>& Words, const std::string& First,
                      const std::string& Indent, size_t Width) {
  std::string text = First, line = First;
  bool empty = First.find_first_not_of(' ') == std::string::npos;
  for (const std::string& word : Words) {
    if (!empty && line.size() + 1 + word.size() > Width) {
      text += "\n" + Indent;
      line = Indent;
      empty = true;
    }
    if (!empty) {
      text += ' ';
      line += ' ';
    }
    text += word;
    line += word;
    empty = false;
  }
  return text + "\n";
}

std::vector<TOptionDef> BuildOptions() {
  std::vector<TOptionDef> list = {{"--entry", true},  {"--game-dir", true}, {"--settings", true},
                                  {"--q3map2", true}, {"--fast", false},    {"-o", true}};
  for (const TOptionDef& flag : ImportFlagDefs(false)) list.push_back(flag);
  return list;
}
