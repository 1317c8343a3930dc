#include "things/CogScript.h"

#include "level/LineLexer.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

namespace {

// Calls that move a thing in the game.
bool CallsMover(const std::string& Lower) {
  for (const char* call : {"movetoframe", "skiptoframe", "rotatepivot", "movetopos"})
    if (Lower.find(call) != std::string::npos) return true;
  return false;
}

}  // namespace

TCogScript ParseCogScript(std::string_view Text) {
  TCogScript script;
  std::vector<std::string_view> lines;
  rtl::SplitLineViews(Text.data(), Text.size(), lines);
  std::string clean;
  std::vector<std::string_view> words;
  bool inSymbols = false;
  for (std::string_view raw : lines) {
    CleanJklLine(raw, clean);
    const std::string lower = rtl::LowerCase(clean);
    if (!inSymbols) {
      if (lower == "symbols") inSymbols = true;
      if (CallsMover(lower)) script.MovesThings = true;
      continue;
    }
    if (lower == "end") {
      inSymbols = false;
      continue;
    }
    SplitJklWords(lower, words);
    if (words.size() < 2 || words[0] == "message") continue;
    bool local = false;
    for (size_t w = 2; w < words.size(); ++w) local = local || words[w] == "local";
    if (local) continue;
    std::string_view name = words[1];
    name = name.substr(0, name.find('='));
    script.Symbols.push_back({std::string(words[0]), std::string(name)});
  }
  return script;
}

std::string CogValue(const TCogScript& Script, const TCogLine& Line, std::string_view Name) {
  for (size_t i = 0; i < Script.Symbols.size() && i < Line.Values.size(); ++i)
    if (Script.Symbols[i].Name == Name) return Line.Values[i];
  return std::string();
}
