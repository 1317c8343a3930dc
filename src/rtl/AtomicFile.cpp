#include "rtl/AtomicFile.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/TempFile.h"
#include "rtl/Utf.h"

#ifdef _WIN32
#include <io.h>
#undef DeleteFile
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace rtl {
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
  fs::path p = FsPath(path);
  for (int hops = 0; hops < 40 && !viaDescriptor; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec)) || ec) return FsString(p);
    fs::path to = fs::read_symlink(p, ec);
    if (ec) return FsString(p);
    p = to.is_absolute() ? to : p.parent_path() / to;
    viaDescriptor = NamesOpenDescriptor(FsString(p));
  }
  if (viaDescriptor) return FsString(p);
  throw EFCreateError(path);
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

TAtomicFile::TAtomicFile(const std::string& path, TLinks links)
    : path_(path), target_(NativePath(path)) {
  if (links == TLinks::Refuse) {
    // Not followed: the rename at Commit replaces the name itself, so a link planted after this
    // check is replaced, never written through.
    if (IsLink(target_)) throw ENotWritten("'" + path + "' is a link; not written through it");
    const TPathKind kind = PathKind(target_);
    if (kind != TPathKind::File && kind != TPathKind::Missing)
      throw ENotWritten("'" + path + "' is no plain file; not replaced");
    Create(path);
    return;
  }
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
  Create(path);
}

void TAtomicFile::Create(const std::string& path) {
  // A fresh unpredictable name until one is free: something planted at a name is never opened.
  // The slot is taken first so that a signal during the creation removes the new file too.
  for (int attempt = 0; !out_; ++attempt) {
    if (attempt == 100) throw EFCreateError(path);
    temp_ = TempNameBeside(target_);
    slot_ = RegisterLiveTemp(temp_.c_str());
    std::FILE* file = nullptr;
    try {
      file = CreateNewFile(temp_, target_);
    } catch (const EFCreateError&) {
      UnregisterLiveTemp(slot_);
      temp_.clear();
      throw EFCreateError(path);
    }
    if (!file) {
      UnregisterLiveTemp(slot_);
      continue;
    }
    try {
      out_ = std::make_unique<TFileStream>(file);
    } catch (...) {
      std::fclose(file);
      DeleteFile(temp_);
      UnregisterLiveTemp(slot_);
      throw;
    }
  }
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
  fs::rename(FsPath(temp_), FsPath(target_), ec);
  if (ec) DeleteFile(temp_);
  UnregisterLiveTemp(slot_);
  if (ec) throw EFCreateError(path_);
}

void WriteFileAtomic(const std::string& path, const std::function<void(TStream&)>& writer) {
  TAtomicFile file(path);
  writer(file.Stream());
  file.Commit();
}

void WriteFileAtomic(const std::string& path, const std::string& bytes, TLinks links) {
  TAtomicFile file(path, links);
  file.Stream().WriteBuffer(bytes.data(), bytes.size());
  file.Commit();
}

}  // namespace rtl
