#include "rtl/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"
#include "rtl/Utf.h"

#ifdef _WIN32
#include <windows.h>
#undef DeleteFile
#else
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace rtl {

static size_t LastNamePart(const std::string& path) {
  size_t i = path.find_last_of("\\/:");
  return i == std::string::npos ? 0 : i + 1;
}

std::string ExtractFileName(const std::string& path) { return path.substr(LastNamePart(path)); }

std::string ExtractFilePath(const std::string& path) { return path.substr(0, LastNamePart(path)); }

std::string ExtractFileExt(const std::string& path) {
  size_t start = LastNamePart(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return std::string();
  return path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  size_t start = LastNamePart(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return path + ext;
  return path.substr(0, dot) + ext;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsPathDelimiter(folder.back())) return folder + name;
  return folder + PathDelim + name;
}

std::string IncludeTrailingPathDelimiter(const std::string& folder) {
  if (!folder.empty() && IsPathDelimiter(folder.back())) return folder;
  return folder + PathDelim;
}

std::string ExcludeTrailingPathDelimiter(const std::string& folder) {
  std::string s = folder;
  while (s.size() > 1 && IsPathDelimiter(s.back())) s.pop_back();
  return s;
}

std::string NativePath(const std::string& path) {
  std::string s = path;
  for (char& c : s)
    if (IsPathDelimiter(c)) c = PathDelim;
  return s;
}

bool FileExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_regular_file(FsPath(NativePath(path)), ec);
}

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(FsPath(NativePath(path)), ec);
}

TPathKind PathKind(const std::string& path) {
  if (path.empty()) return TPathKind::Missing;
  std::error_code ec;
  fs::file_status st = fs::status(FsPath(NativePath(path)), ec);
  switch (st.type()) {
    case fs::file_type::not_found:
    case fs::file_type::none:
      return TPathKind::Missing;
    case fs::file_type::regular:
      return TPathKind::File;
    case fs::file_type::directory:
      return TPathKind::Directory;
    default:
      return ec ? TPathKind::Missing : TPathKind::Other;
  }
}

bool GetFileId(const std::string& path, TFileId& id) {
  if (path.empty()) return false;
#ifdef _WIN32
  HANDLE h = CreateFileW(Wide(NativePath(path)).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return false;
  id.Volume = info.dwVolumeSerialNumber;
  id.Node = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
#else
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0) return false;
  id.Volume = static_cast<uint64_t>(st.st_dev);
  id.Node = static_cast<uint64_t>(st.st_ino);
#endif
  return true;
}

bool SameFile(const std::string& a, const std::string& b) {
  TFileId ia, ib;
  return GetFileId(a, ia) && GetFileId(b, ib) && ia == ib;
}

bool ForceDirectories(const std::string& path) {
  std::string p = ExcludeTrailingPathDelimiter(NativePath(path));
  if (p.empty()) return false;
  std::error_code ec;
  fs::create_directories(FsPath(p), ec);
  return DirectoryExists(p);
}

bool DeleteFile(const std::string& path) {
  std::error_code ec;
  return fs::remove(FsPath(NativePath(path)), ec);
}

bool IsLink(const std::string& path) {
  if (path.empty()) return false;
#ifdef _WIN32
  const DWORD attributes = GetFileAttributesW(Wide(NativePath(path)).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
  struct stat st;
  return ::lstat(NativePath(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
#endif
}

bool MatchesMask(const std::string& name, const std::string& mask) {
  // "*" any run, "?" any one character; letters compare without regard to case.
  size_t n = 0, m = 0, starM = std::string::npos, starN = 0;
  auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || fold(mask[m]) == fold(name[n]))) {
      ++n, ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

std::vector<std::string> FindFiles(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  std::error_code ec;
  std::string dir = folder.empty() ? std::string(".") : NativePath(folder);
  fs::directory_iterator it(FsPath(dir), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    std::string name = FsString(it->path().filename());
    if (MatchesMask(name, pattern)) names.push_back(name);
  }
  return names;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
  std::string exact = folder + name;
  if (FileExists(exact)) return exact;
#ifndef _WIN32
  if (name.find_first_of("*?") == std::string::npos) {
    for (const std::string& candidate : FindFiles(folder, name)) return folder + candidate;
  }
#endif
  return std::string();
}

std::string ExecutablePath() {
#ifdef _WIN32
  // The wide name: the program may lie in a folder whose name the ANSI code page cannot spell.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (n == 0) return std::string();
    if (n < path.size()) return Utf8(path.substr(0, n).c_str());
    path.resize(path.size() * 2);
  }
#else
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
#endif
}

EFileTooLarge::EFileTooLarge(const std::string& path, int64_t size, int64_t limit, const char* kind)
    : Exception(Format("File too large for %s: '%s' holds %lld bytes, at most %lld are read", kind,
                       path.c_str(), static_cast<long long>(size), static_cast<long long>(limit))) {
  MarkPlaced();
}

std::string ReadFileToString(const std::string& path, int64_t limit, const char* kind) {
  TFileStream f(path, TFileMode::OpenRead);
  int64_t size = f.Size();
  if (size > limit) throw EFileTooLarge(path, size, limit, kind);
  std::string data(static_cast<size_t>(size), '\0');
  f.ReadBuffer(data.data(), data.size());
  return data;
}

}  // namespace rtl
