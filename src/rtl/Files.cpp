#include "rtl/Files.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "rtl/Classes.h"
#include "rtl/SysUtils.h"

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#undef DeleteFile
#else
#include <sys/stat.h>
#include <unistd.h>
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
  return fs::is_regular_file(fs::path(NativePath(path)), ec);
}

bool DirectoryExists(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(fs::path(NativePath(path)), ec);
}

TPathKind PathKind(const std::string& path) {
  if (path.empty()) return TPathKind::Missing;
  std::error_code ec;
  fs::file_status st = fs::status(fs::path(NativePath(path)), ec);
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
  HANDLE h = CreateFileA(NativePath(path).c_str(), 0,
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
  fs::create_directories(fs::path(p), ec);
  return DirectoryExists(p);
}

bool DeleteFile(const std::string& path) {
  std::error_code ec;
  return fs::remove(fs::path(NativePath(path)), ec);
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
  fs::directory_iterator it(fs::path(dir), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_regular_file(ec2)) continue;
    std::string name = it->path().filename().string();
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
  return _pgmptr ? std::string(_pgmptr) : std::string();
#else
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : p.string();
#endif
}

std::string ReadFileToString(const std::string& path) {
  TFileStream f(path, TFileMode::OpenRead);
  int64_t size = f.Size();
  std::string data(static_cast<size_t>(size), '\0');
  f.ReadBuffer(data.data(), data.size());
  return data;
}

namespace {

// The new files being filled at this moment, for the handler of a fatal signal to remove. Plain
// lock-free slots: a signal handler may only read them and call unlink.
constexpr int LiveTempSlots = 64;
std::atomic<const char*> g_liveTemps[LiveTempSlots];

int RegisterLiveTemp(const char* path) {
  for (int i = 0; i < LiveTempSlots; ++i) {
    const char* empty = nullptr;
    if (g_liveTemps[i].compare_exchange_strong(empty, path)) return i;
  }
  return -1;  // every slot taken: this file is only removed on the ordinary paths
}

void UnregisterLiveTemp(int& slot) {
  if (slot >= 0) g_liveTemps[slot].store(nullptr);
  slot = -1;
}

extern "C" void RemoveTempsAndDie(int sig) {
  RemoveLiveTempFiles();
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

// Whether a path is one of the open files of this process under a file name (/dev/stdout,
// /dev/fd/1, /proc/self/fd/1): the link leads to whatever the descriptor was opened on, which is
// to be written where it stands, never replaced nor emptied.
bool NamesOpenDescriptor(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return false;
#else
  for (const char* prefix :
       {"/dev/stdout", "/dev/stderr", "/dev/fd/", "/proc/self/fd/", "/proc/thread-self/fd/"})
    if (path.rfind(prefix, 0) == 0) return true;
  if (path.rfind("/proc/", 0) != 0) return false;
  size_t i = 6;
  while (i < path.size() && path[i] >= '0' && path[i] <= '9') ++i;
  return i > 6 && path.compare(i, 4, "/fd/") == 0;
#endif
}

// The file that writing to path really changes: symbolic links followed to their end (a relative
// link from the link's own folder), also when that end does not exist yet. Raises for a loop.
// Stops, with viaDescriptor set, at a link that names an open file of this process.
std::string FollowLinks(const std::string& path, bool& viaDescriptor) {
  viaDescriptor = NamesOpenDescriptor(path);
#ifdef _WIN32
  return path;
#else
  fs::path p(path);
  for (int hops = 0; hops < 40 && !viaDescriptor; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec)) || ec) return p.string();
    fs::path to = fs::read_symlink(p, ec);
    if (ec) return p.string();
    p = to.is_absolute() ? to : p.parent_path() / to;
    viaDescriptor = NamesOpenDescriptor(p.string());
  }
  if (viaDescriptor) return p.string();
  throw EFCreateError(path);
#endif
}

// The new file takes the owner and permissions of the one it replaces (a private settings file
// stays private). Done before anything is written into it. Best effort: a user may not give a
// file away, and the platform's defaults stand then.
void TakeOverMode(const std::string& temp, const std::string& target) {
#ifndef _WIN32
  struct stat st;
  if (::stat(target.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  // Not ours to give away? The group alone may still be ours to set.
  int rc = ::chown(temp.c_str(), st.st_uid, st.st_gid);
  if (rc != 0) rc = ::chown(temp.c_str(), static_cast<uid_t>(-1), st.st_gid);
  (void)rc;
  ::chmod(temp.c_str(), st.st_mode & 07777);
#else
  (void)temp;
  (void)target;
#endif
}

}  // namespace

void RemoveLiveTempFiles() {
  for (std::atomic<const char*>& slot : g_liveTemps) {
    const char* path = slot.load();
#ifdef _WIN32
    if (path) _unlink(path);
#else
    if (path) ::unlink(path);
#endif
  }
}

void RemoveTempFilesOnSignals() {
  const int signals[] = {SIGINT, SIGTERM,
#ifndef _WIN32
                         SIGHUP, SIGQUIT, SIGPIPE
#endif
  };
  for (int sig : signals) {
    // A signal the caller chose to ignore (a job started in the background) stays ignored.
    if (std::signal(sig, RemoveTempsAndDie) == SIG_IGN) std::signal(sig, SIG_IGN);
  }
}

TAtomicFile::TAtomicFile(const std::string& path) : path_(path), target_(NativePath(path)) {
  // A link stays a link: the file it leads to is the one replaced, with the new file beside it so
  // that the replacement is one rename on the same file system.
  bool viaDescriptor = false;
  const std::string followed = FollowLinks(target_, viaDescriptor);
  // A device or a FIFO (/dev/null, a pipe) is written in place: replacing it with a plain file
  // would break it for everybody else. So is a standard stream named as a file, after what it
  // already holds (the console lines before a map sent to /dev/stdout).
  const TPathKind kind = PathKind(target_);
  if (kind == TPathKind::Directory) throw EFCreateError(path);
  if (kind == TPathKind::Other || viaDescriptor) {
    try {
      out_ = std::make_unique<TFileStream>(target_, viaDescriptor && kind == TPathKind::File
                                                        ? TFileMode::Append
                                                        : TFileMode::Create);
    } catch (const EFCreateError&) {
      throw EFCreateError(path);
    }
    return;
  }
  target_ = followed;
  static std::atomic<unsigned> counter{0};
#ifdef _WIN32
  const int pid = _getpid();
#else
  const int pid = static_cast<int>(::getpid());
#endif
  temp_ = Format("%s.%d.%u.tmp", target_.c_str(), pid, counter++);
  slot_ = RegisterLiveTemp(temp_.c_str());
  try {
    out_ = std::make_unique<TFileStream>(temp_, TFileMode::Create);
  } catch (const EFCreateError&) {
    UnregisterLiveTemp(slot_);
    throw EFCreateError(path);
  }
  TakeOverMode(temp_, target_);
}

TAtomicFile::~TAtomicFile() {
  if (!out_) return;
  out_.reset();
  if (!temp_.empty()) DeleteFile(temp_);
  UnregisterLiveTemp(slot_);
}

TStream& TAtomicFile::Stream() {
  if (!out_) throw EFCreateError(path_);
  return *out_;
}

void TAtomicFile::Commit() {
  if (!out_) throw EFCreateError(path_);
  try {
    out_->Close();
  } catch (...) {
    out_.reset();
    if (!temp_.empty()) DeleteFile(temp_);
    UnregisterLiveTemp(slot_);
    throw;
  }
  out_.reset();
  if (temp_.empty()) return;  // written in place
  std::error_code ec;
  fs::rename(fs::path(temp_), fs::path(target_), ec);
  if (ec) DeleteFile(temp_);
  UnregisterLiveTemp(slot_);
  if (ec) throw EFCreateError(path_);
}

void WriteFileAtomic(const std::string& path, const std::function<void(TStream&)>& writer) {
  TAtomicFile file(path);
  writer(file.Stream());
  file.Commit();
}

void WriteFileAtomic(const std::string& path, const std::string& bytes) {
  WriteFileAtomic(path, [&](TStream& s) { s.WriteBuffer(bytes.data(), bytes.size()); });
}

}  // namespace rtl
