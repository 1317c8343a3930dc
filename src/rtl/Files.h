// Paths and files. Paths accept both "\" and "/" as folder delimiters, as users and level files
// write either; paths that Morvane builds use the platform's own delimiter.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rtl {

class TStream;
class TFileStream;

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

std::string ReadFileToString(const std::string& path);  // EFOpenError when it cannot be read

// Writes a file so that nobody ever sees it half-written: the writer fills a new file beside the
// target, which then replaces the target in one step. When anything fails the target is left as
// it was and the new file is removed. Raises EFCreateError when the new file cannot be made.
// What is replaced is always what the user meant: a symbolic link is followed and the file it
// leads to is replaced (the link stays); the new file gets the owner and permissions of the file
// it replaces; a device or FIFO (/dev/null, /dev/stdout) is written in place, never replaced; a
// folder is refused.
void WriteFileAtomic(const std::string& path, const std::function<void(TStream&)>& writer);

// The same for output that is produced piece by piece over a long run (a .map written while
// brushes arrive): Stream() is the new file, Commit() puts it in place of the target, and an
// object destroyed without Commit() removes the new file and leaves the target as it was.
class TAtomicFile {
 public:
  // Raises EFCreateError (naming path) when the new file cannot be made.
  explicit TAtomicFile(const std::string& path);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;
  TStream& Stream();
  // Closes the new file and replaces the target with it; raises when that fails, leaving the
  // target as it was.
  void Commit();

 private:
  std::string path_, target_, temp_;  // temp_ empty: the target is written in place
  std::unique_ptr<TFileStream> out_;
  int slot_ = -1;  // the new file's place among the live temporary files
};
void WriteFileAtomic(const std::string& path, const std::string& bytes);

// An interrupted program must not leave its half-written new files behind. The new files of
// every TAtomicFile alive are known; RemoveLiveTempFiles removes them with calls that are safe in
// a signal handler, and RemoveTempFilesOnSignals installs a handler for the signals that end a
// program from outside (SIGINT, SIGTERM, and where they exist SIGHUP, SIGQUIT, SIGPIPE) that
// removes them and then ends the program by the same signal. For programs, not libraries: the
// DLL leaves its host's signals alone.
void RemoveLiveTempFiles();
void RemoveTempFilesOnSignals();

}  // namespace rtl
