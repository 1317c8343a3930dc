// Feeds arbitrary text to the level reader. Only the reader's own errors may come out; any other
// exception, crash, leak or hang is a finding. Each line also checks the one-pass line cleaning
// against the plain string procedures it stands for.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "level/LineLexer.h"
#include "level/O_jkl.h"
#include "level/P_Str.h"
#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  std::vector<std::string> lines = rtl::SplitLines(text, size);

  std::string clean;
  std::vector<std::string_view> words;
  for (const std::string& raw : lines) {
    std::string expected =
        rtl::Trim(CollapseSpaces(ReplaceChar(raw.substr(0, raw.find('#')), '\t', ' ')));
    CleanJklLine(raw, clean);
    if (clean != expected) std::abort();
    // The raw-line prefix test against the cleaned line, for fixed tokens and for every prefix
    // of the line that is itself a valid token.
    std::string upper = rtl::UpperCase(clean);
    std::vector<std::string> tokens = {"SECTOR 1", "WORLD VERTICES", "1:", "SURFACES", "A B"};
    for (size_t len = 1; len <= std::min<size_t>(upper.size(), 16); ++len) {
      std::string t = upper.substr(0, len);
      bool valid = t.back() != ' ';
      for (char c : t) valid = valid && (static_cast<unsigned char>(c) > 32 || c == ' ');
      if (valid && t.find("  ") == std::string::npos) tokens.push_back(t);
    }
    for (const std::string& t : tokens)
      if (JklLineStartsWith(raw, t) != (upper.compare(0, t.size(), t) == 0)) std::abort();

    SplitJklWords(clean, words);
    for (int i = 0; i < 12; ++i) {
      std::string word =
          words.empty() ? std::string() : std::string(words[std::min<size_t>(i, words.size() - 1)]);
      if (word != GetWord(clean, i)) std::abort();
    }
  }

  TJKLevel level;
  try {
    level.LoadFromStrings(lines);
  } catch (const rtl::Exception&) {
  }
  return 0;
}
