// UTF-8 inside, UTF-16 where a file or the system speaks it.
#pragma once

#include <string>

namespace rtl {

// Bytes that are no UTF-8 (text in a single-byte code page) are taken one character each, as
// Latin-1, so that nothing is lost on the way.
std::u16string Utf8ToUtf16(const std::string& Text);
// A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& Text);

}  // namespace rtl

#include <filesystem>
#include <vector>

namespace rtl {

// A path held as UTF-8 (as every path inside Morvane is) as the file system's own: on Windows
// its wide characters, so that names outside the ANSI code page reach the file they name.
inline std::filesystem::path FsPath(const std::string& Utf8) {
#ifdef _WIN32
  const std::u16string wide = Utf8ToUtf16(Utf8);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
#else
  return std::filesystem::path(Utf8);
#endif
}
// A file-system path or name as UTF-8.
inline std::string FsString(const std::filesystem::path& Path) {
#ifdef _WIN32
  const std::wstring& wide = Path.native();
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
#else
  return Path.string();
#endif
}

#ifdef _WIN32
// For the wide-character functions of Windows.
inline std::wstring Wide(const std::string& Utf8) {
  const std::u16string w = Utf8ToUtf16(Utf8);
  return std::wstring(w.begin(), w.end());
}
inline std::string Utf8(const wchar_t* Wide) {
  const std::wstring w(Wide ? Wide : L"");
  return Utf16ToUtf8(std::u16string(w.begin(), w.end()));
}
// The program's arguments in UTF-8, from the wide command line: main's own are in the ANSI code
// page, which cannot spell every file name.
std::vector<std::string> CommandLineArguments();
#endif

}  // namespace rtl
