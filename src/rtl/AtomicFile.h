// Writing files so that nobody ever sees one half-written, and so that an interrupted program
// leaves none of its new files behind.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "rtl/SysUtils.h"

namespace rtl {

class TStream;
class TFileStream;

// Writes a file so that nobody ever sees it half-written: the writer fills a new file beside the
// target, which then replaces the target in one step. When anything fails the target is left as
// it was and the new file is removed. Raises EFCreateError when the new file cannot be made.
// What is replaced is always what the user meant: a symbolic link is followed and the file it
// leads to is replaced (the link stays); the new file gets the owner and permissions of the file
// it replaces; a device or FIFO (/dev/null, /dev/stdout) is written in place, never replaced; a
// folder is refused.
void WriteFileAtomic(const std::string& path, const std::function<void(TStream&)>& writer);

// What a write does with a target that is a link, or no plain file. Follow: as above. Refuse: for
// files in a folder other programs share (the game's), which someone else may have replaced with
// a link to anything: a link is never written through nor replaced, and only a plain file or
// nothing is written; anything else raises ENotWritten, the target left as it was.
enum class TLinks { Follow, Refuse };

class ENotWritten : public Exception {
 public:
  using Exception::Exception;
};

// The same for output that is produced piece by piece over a long run (a .map written while
// brushes arrive): Stream() is the new file, Commit() puts it in place of the target, and an
// object destroyed without Commit() removes the new file and leaves the target as it was.
class TAtomicFile {
 public:
  // Raises EFCreateError (naming path) when the new file cannot be made.
  explicit TAtomicFile(const std::string& path, TLinks links = TLinks::Follow);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;
  TStream& Stream();
  // Closes the new file and replaces the target with it; raises when that fails, leaving the
  // target as it was.
  void Commit();

 private:
  void Create(const std::string& path);  // the new file beside target_
  std::string path_, target_, temp_;     // temp_ empty: the target is written in place
  std::unique_ptr<TFileStream> out_;
  int slot_ = -1;  // the new file's place among the live temporary files
};
void WriteFileAtomic(const std::string& path, const std::string& bytes,
                     TLinks links = TLinks::Follow);

// An interrupted program must not leave its half-written new files behind. The new files of
// every TAtomicFile alive are known; RemoveLiveTempFiles removes them with calls that are safe in
// a signal handler, and RemoveTempFilesOnSignals installs a handler for the signals that end a
// program from outside (SIGINT, SIGTERM, and where they exist SIGHUP, SIGQUIT, SIGPIPE) that
// removes them and then ends the program by the same signal. For programs, not libraries: the
// DLL leaves its host's signals alone.
void RemoveLiveTempFiles();
void RemoveTempFilesOnSignals();

}  // namespace rtl
