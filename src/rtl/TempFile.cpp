#ifdef _WIN32
#define _CRT_RAND_S  // rand_s: the system's cryptographic generator
#endif
#include "rtl/TempFile.h"

#include <cstdlib>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Utf.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace rtl {

namespace {

// Random bytes from the system; nothing a user of the folder can foresee.
void RandomBytes(unsigned char* out, size_t n) {
#ifdef _WIN32
  for (size_t i = 0; i < n;) {
    unsigned int value = 0;
    if (rand_s(&value) != 0) throw Exception("No random numbers from the system");
    for (int k = 0; k < 4 && i < n; ++k, value >>= 8) out[i++] = static_cast<unsigned char>(value);
  }
#else
  size_t got = 0;
  while (got < n) {
    const ssize_t r = ::getrandom(out + got, n - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) throw Exception("No random numbers from the system");
    got += static_cast<size_t>(r);
  }
#endif
}

}  // namespace

std::string TempNameBeside(const std::string& Target) {
  static const char Letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[16];
  RandomBytes(bytes, sizeof bytes);
  std::string name = ExtractFilePath(Target) + ".morvane-";
  for (unsigned char b : bytes) name += Letters[b % 36];
  return name + ".tmp";
}

std::FILE* CreateNewFile(const std::string& Path, const std::string& Target) {
#ifdef _WIN32
  // The DLL's host may write the target's folder from other accounts too; CREATE_NEW fails on
  // anything already there, a link included. Windows keeps no owner or mode to carry over here.
  (void)Target;
  HANDLE h = CreateFileW(Wide(Path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return nullptr;
    throw EFCreateError(Path);
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    DeleteFileW(Wide(Path).c_str());
    throw EFCreateError(Path);
  }
  std::FILE* f = _fdopen(fd, "wb");
  if (!f) {
    _close(fd);
    DeleteFileW(Wide(Path).c_str());
    throw EFCreateError(Path);
  }
  return f;
#else
  const int fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST || errno == ELOOP) return nullptr;
    throw EFCreateError(Path);
  }
  struct stat st;
  if (::stat(Target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    // Not ours to give away? The group alone may still be ours to set. Best effort: the
    // defaults stand where the user may not change them.
    int rc = ::fchown(fd, st.st_uid, st.st_gid);
    if (rc != 0) rc = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    rc = ::fchmod(fd, st.st_mode & 07777);
    (void)rc;
  }
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) {
    ::close(fd);
    ::unlink(Path.c_str());
    throw EFCreateError(Path);
  }
  return f;
#endif
}

}  // namespace rtl
