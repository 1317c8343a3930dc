#include "rtl/SharedFile.h"

#include "rtl/AtomicFile.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Utf.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rtl {

namespace {

ENotWritten NotAFile(const std::string& Path) {
  return ENotWritten("'" + Path + "' is a link or no plain file; nothing added to it");
}

}  // namespace

void AppendToFile(const std::string& Path, const std::string& Bytes) {
  const std::string path = NativePath(Path);
#ifdef _WIN32
  // Append-only access: every write lands at the end of the file at the moment it is made.
  HANDLE h = CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw EFCreateError(Path);
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
      GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    throw NotAFile(Path);
  }
  DWORD written = 0;
  const BOOL ok = WriteFile(h, Bytes.data(), static_cast<DWORD>(Bytes.size()), &written, nullptr);
  CloseHandle(h);
  if (!ok || written != Bytes.size()) throw EWriteError();
#else
  // O_NONBLOCK: a FIFO planted at the name must not hold the import until somebody reads it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ELOOP || errno == ENXIO) throw NotAFile(Path);
    throw EFCreateError(Path);
  }
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    throw NotAFile(Path);
  }
  ssize_t written;
  do {
    written = ::write(fd, Bytes.data(), Bytes.size());
  } while (written < 0 && errno == EINTR);
  if (written >= 0 && static_cast<size_t>(written) < Bytes.size()) {
    // A part of a line is worse than none: cut it off, unless somebody appended after it.
    const off_t end = ::lseek(fd, 0, SEEK_CUR);
    if (end >= written && ::fstat(fd, &st) == 0 && st.st_size == end) {
      const int rc = ::ftruncate(fd, end - written);
      (void)rc;
    }
  }
  ::close(fd);
  if (written < 0 || static_cast<size_t>(written) != Bytes.size()) throw EWriteError();
#endif
}

}  // namespace rtl
