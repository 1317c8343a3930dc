// Paths and files. Paths accept both "\" and "/" as folder delimiters, as users and level files
// write either; paths that Morvane builds use the platform's own delimiter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rtl/SysUtils.h"

namespace rtl {

#ifdef _WIN32
constexpr char PathDelim = '\\';
#else
constexpr char PathDelim = '/';
#endif

inline bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

// The part after the last delimiter or drive colon.
std::string ExtractFileName(const std::string& path);
// Everything up to and including the last delimiter or drive colon.
std::string ExtractFilePath(const std::string& path);
// From the last "." of the file name on, the point included; empty when there is none.
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// Joins a folder and a name with exactly one delimiter between them; an empty folder gives the
// name alone.
std::string JoinPath(const std::string& folder, const std::string& name);
std::string IncludeTrailingPathDelimiter(const std::string& folder);
std::string ExcludeTrailingPathDelimiter(const std::string& folder);
// Both delimiters replaced by the platform's own.
std::string NativePath(const std::string& path);

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// What a path names, links followed: nothing, a plain file, a folder, or something else (a
// device, a FIFO, a socket), which is read or written in place but never replaced.
enum class TPathKind { Missing, File, Directory, Other };
TPathKind PathKind(const std::string& path);

// What tells one file from another whatever path reaches it (another spelling, a link).
struct TFileId {
  uint64_t Volume = 0;
  uint64_t Node = 0;
  bool operator==(const TFileId& o) const { return Volume == o.Volume && Node == o.Node; }
  bool operator!=(const TFileId& o) const { return !(*this == o); }
};
// False when nothing exists at path.
bool GetFileId(const std::string& path, TFileId& id);
// True when both paths exist and reach the same file.
bool SameFile(const std::string& a, const std::string& b);
// Creates the folder and every missing folder above it; False when that is impossible.
bool ForceDirectories(const std::string& path);
bool DeleteFile(const std::string& path);
// The names (not paths) of the files in a folder that match a pattern such as "*.mat", compared
// without regard to letter case, in the order the file system gives them.
std::vector<std::string> FindFiles(const std::string& folder, const std::string& pattern);
// The path of the file called name in folder (folder + name), found without regard to letter
// case even where the file system tells case apart, as level files name their textures in any
// case; the empty text when there is none. An empty folder is the current folder.
std::string FindFileNoCase(const std::string& folder, const std::string& name);
bool MatchesMask(const std::string& name, const std::string& mask);

// The full path of the running program.
std::string ExecutablePath();

// A file read whole, up to Limit bytes: a larger one (a sparse file of gigabytes named where a
// small one belongs) raises EFileTooLarge before anything is read, naming the file and Kind ("a
// palette"). EFOpenError when it cannot be read.
std::string ReadFileToString(const std::string& path, int64_t limit, const char* kind);

class EFileTooLarge : public Exception {
 public:
  EFileTooLarge(const std::string& path, int64_t size, int64_t limit, const char* kind);
};

// True when path itself is a symbolic link (a reparse point on Windows), whatever it leads to and
// whether or not that exists.
bool IsLink(const std::string& path);

}  // namespace rtl
