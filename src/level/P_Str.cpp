#include "level/P_Str.h"

#include "rtl/SysUtils.h"

std::string GetWord(const std::string& Line, int Index) {
  if (Line.empty()) return std::string();
  std::string w = rtl::Trim(Line);
  // Skip Index words without copying the tail each time: the result is the same as deleting up to
  // and including the first space Index times.
  size_t start = 0;
  for (int i = 0; i < Index; ++i) {
    size_t sp = w.find(' ', start);
    if (sp == std::string::npos) break;
    start = sp + 1;
  }
  size_t end = w.find(' ', start);
  return rtl::Trim(w.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

std::string DigitsOnly(const std::string& S) {
  std::string out;
  for (char c : S)
    if (c >= '0' && c <= '9') out += c;
  return out;
}

std::string ReplaceChar(const std::string& S, char OldChar, char NewChar) {
  std::string out = S;
  for (char& c : out)
    if (c == OldChar) c = NewChar;
  return out;
}

std::string CollapseSpaces(const std::string& S) {
  std::string out;
  out.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i)
    if (i == 0 || S[i] != ' ' || S[i - 1] != ' ') out += S[i];
  return out;
}
