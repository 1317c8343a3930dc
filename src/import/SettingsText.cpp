#include "import/SettingsText.h"

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

namespace {

const char Utf8Mark[] = "\xEF\xBB\xBF";

bool StartsWith(const std::string& s, const char* prefix, size_t n) {
  return s.size() >= n && s.compare(0, n, prefix, n) == 0;
}

}  // namespace

TSettingsText DecodeSettingsText(const std::string& Bytes) {
  TSettingsText out;
  if (StartsWith(Bytes, "\xFF\xFE", 2) || StartsWith(Bytes, "\xFE\xFF", 2)) {
    out.NotText = "it is UTF-16 text; save it as ANSI or UTF-8";
    return out;
  }
  const size_t nul = Bytes.find('\0');
  if (nul != std::string::npos) {
    out.NotText = "it holds a NUL byte at offset " + std::to_string(nul) + " and is no text file";
    return out;
  }
  out.Utf8Mark = StartsWith(Bytes, Utf8Mark, 3);
  out.Text = out.Utf8Mark ? Bytes.substr(3) : Bytes;
  return out;
}

std::string ReadSettingsStream(const std::string& Path) {
  constexpr size_t Limit = 1 << 20;
  rtl::TFileStream file(Path, rtl::TFileMode::OpenRead);
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = file.Read(buffer, sizeof buffer)) > 0;) {
    bytes.append(buffer, n);
    if (bytes.size() > Limit) throw rtl::Exception("more than 1 MiB, which is no settings file");
  }
  return bytes;
}

std::string EncodeSettingsText(const std::string& Text, bool Utf8Mark) {
  return Utf8Mark ? ::Utf8Mark + Text : Text;
}
