#include "level/LineLexer.h"

#include <cstring>

namespace {

inline bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

inline char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

void CleanJklLine(std::string_view Raw, std::string& Out) {
  Out.clear();
  size_t e = Raw.size();
  if (const void* hash = e ? std::memchr(Raw.data(), '#', e) : nullptr)
    e = static_cast<size_t>(static_cast<const char*>(hash) - Raw.data());
  size_t b = 0;
  // Trimming first and collapsing after gives the same text as collapsing first: the ends that
  // the trim removes hold only blanks, and the collapse never touches anything else.
  while (b < e && IsBlankOrControl(Raw[b])) ++b;
  while (e > b && IsBlankOrControl(Raw[e - 1])) --e;
  Out.resize(e - b);
  char* out = &Out[0];
  char* o = out;
  bool afterSpace = false;
  for (size_t i = b; i < e; ++i) {
    // Without branches, as a line's spaces and tabs come in no pattern a predictor could learn:
    // every character is stored, and the output moves on except for a space after a space.
    char c = Raw[i];
    c = c == '\t' ? ' ' : c;
    const bool space = c == ' ';
    *o = c;
    o += !(space && afterSpace);
    afterSpace = space;
  }
  Out.resize(static_cast<size_t>(o - out));
}

bool JklLineStartsWith(std::string_view Raw, std::string_view Token) {
  // Walk the raw line as CleanJklLine would produce it: leading blanks skipped, the comment
  // ending it, tabs read as spaces and a space after a space skipped. Trailing blanks need no
  // care: the token neither ends with a space nor holds a character of code 0 to 32 but the
  // space, so a match never depends on them.
  const char* p = Raw.data();
  const char* end = p + Raw.size();
  while (p < end && IsBlankOrControl(*p)) ++p;
  bool afterSpace = false;
  for (char t : Token) {
    char c;
    for (;;) {
      if (p == end) return false;
      c = *p++;
      if (c == '\t') c = ' ';
      if (c != ' ' || !afterSpace) break;
    }
    if (c == '#') return false;
    afterSpace = c == ' ';
    if (Upper(c) != t) return false;
  }
  return true;
}

void SplitJklWords(std::string_view Clean, std::vector<std::string_view>& Words) {
  Words.clear();
  if (Clean.empty()) return;
  size_t start = 0;
  for (;;) {
    size_t sp = Clean.find(' ', start);
    std::string_view w =
        Clean.substr(start, sp == std::string_view::npos ? std::string_view::npos : sp - start);
    while (!w.empty() && IsBlankOrControl(w.front())) w.remove_prefix(1);
    while (!w.empty() && IsBlankOrControl(w.back())) w.remove_suffix(1);
    Words.push_back(w);
    if (sp == std::string_view::npos) break;
    start = sp + 1;
  }
}
