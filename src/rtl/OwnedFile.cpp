#include "rtl/OwnedFile.h"

#include <cstdint>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace rtl {

std::string Digest(std::string_view Bytes) {
  uint64_t h = 14695981039346656037ULL;
  for (char c : Bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ULL;
  }
  static const char Hex[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4) out[static_cast<size_t>(i)] = Hex[h & 15];
  return out;
}

bool MayReplace(const std::string& Path, const TOwnedTest& Ours) {
  if (IsLink(Path)) return false;
  switch (PathKind(Path)) {
    case TPathKind::Missing:
      return true;
    case TPathKind::File:
      return Ours && Ours(Path);
    default:
      return false;
  }
}

std::string ReplaceableName(const std::string& Path, const TOwnedTest& Ours,
                            const std::function<bool(const std::string&)>& Taken, int Tries) {
  const std::string ext = ExtractFileExt(Path);
  const std::string stem = Path.substr(0, Path.size() - ext.size());
  for (int n = 1; n <= Tries; ++n) {
    const std::string name = n == 1 ? Path : stem + "_" + std::to_string(n) + ext;
    if (Taken && Taken(name)) continue;
    if (MayReplace(name, Ours)) return name;
  }
  return std::string();
}

std::string LinkOnTheWay(const std::string& Base, const std::string& Relative) {
  std::string path = ExcludeTrailingPathDelimiter(Base);
  size_t from = 0;
  while (from < Relative.size()) {
    size_t end = Relative.find_first_of("/\\", from);
    if (end == std::string::npos) end = Relative.size();
    if (end > from) {
      path = JoinPath(path, Relative.substr(from, end - from));
      if (IsLink(path)) return path;
    }
    from = end + 1;
  }
  return std::string();
}

bool IsDeviceName(const std::string& Stem) {
  const std::string s = LowerCase(Stem);
  if (s == "con" || s == "prn" || s == "aux" || s == "nul") return true;
  return s.size() == 4 && (s.rfind("com", 0) == 0 || s.rfind("lpt", 0) == 0) && s[3] >= '1' &&
         s[3] <= '9';
}

}  // namespace rtl
