// What a write replaces: the file a link leads to rather than the link, never a FIFO or a
// device, with the replaced file's permissions; and no new file left behind by an interrupted
// program. The settings file is not written at all when a command left it as it was.
#include "rtl/AtomicFile.h"

#include <gtest/gtest.h>

#include <thread>

#include "plugin/main.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/TempFile.h"
#include "support/HeadlessPlatform.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

std::vector<std::string> g_console;
void QERAPI RecordConsole(const char* text) { g_console.push_back(text); }

// One command dispatched with the settings file at path; what it printed.
std::vector<std::string> DispatchWithSettings(const std::string& path, const char* command,
                                              std::function<bool(rtl::TStringList&)> dialog) {
  THeadlessPlatform platform;
  platform.settingsPath = path;
  platform.convTexDialog = std::move(dialog);
  SetPlatform(&platform);
  FuncTable = THostFuncTable{};
  GetFuncTable()->ConsolePrint = RecordConsole;
  g_console.clear();
  Dispatch(command);
  SetPlatform(nullptr);
  FuncTable = THostFuncTable{};
  return g_console;
}

}  // namespace

TEST(SettingsWrite, AFileTheCommandLeftAsItWasIsNotWritten) {
  TempDir dir;
  const std::string ini = dir / "morvane.ini";
  WriteFile(ini, "Scale=2\nother\n");
  rtl::TFileId before, after;
  ASSERT_TRUE(rtl::GetFileId(ini, before));
  EXPECT_TRUE(DispatchWithSettings(ini, "About...", nullptr).empty());
  ASSERT_TRUE(rtl::GetFileId(ini, after));
  EXPECT_EQ(after, before);  // not replaced by a new file
  EXPECT_EQ(ReadFile(ini), "Scale=2\nother\n");

  // A changed line writes the whole file, in the file format.
  DispatchWithSettings(ini, "Batch Convert Textures...", [](rtl::TStringList& s) {
    s.SetValue("ConvTexDir", "in");
    return false;
  });
  EXPECT_EQ(ReadFile(ini), "Scale=2\r\nother\r\nConvTexDir=in\r\n");

  // A missing file is still created, empty.
  rtl::DeleteFile(ini);
  DispatchWithSettings(ini, "About...", nullptr);
  EXPECT_TRUE(rtl::FileExists(ini));
  EXPECT_EQ(ReadFile(ini), "");
}

// The new file is made only where nothing of its name is (CREATE_NEW on Windows, O_EXCL
// elsewhere), under a name nobody can foresee; links are the POSIX test's below.
TEST(AtomicFile, TheNewFileIsMadeOnlyWhereNothingIs) {
  TempDir dir;
  const std::string target = dir / "out.map";
  const std::string planted = rtl::TempNameBeside(target);
  WriteFile(planted, "planted");
  EXPECT_EQ(rtl::CreateNewFile(planted, target), nullptr);
  EXPECT_EQ(ReadFile(planted), "planted");
  EXPECT_NE(rtl::TempNameBeside(target), planted);
  rtl::WriteFileAtomic(target, std::string("map"));
  EXPECT_EQ(ReadFile(target), "map");
  EXPECT_EQ(rtl::FindFiles(dir.Path(), "*").size(), 2u);  // the target and the planted file
}

#ifndef _WIN32

TEST(AtomicFile, ALinkIsWrittenThroughAndStaysALink) {
  TempDir dir;
  ASSERT_TRUE(rtl::ForceDirectories(dir / "real"));
  const std::string target = dir / "real/settings.ini";
  WriteFile(target, "old");
  ASSERT_EQ(symlink("real/settings.ini", (dir / "relative.ini").c_str()), 0);
  ASSERT_EQ(symlink(target.c_str(), (dir / "absolute.ini").c_str()), 0);
  ASSERT_EQ(symlink("absolute.ini", (dir / "chain.ini").c_str()), 0);
  for (const char* name : {"relative.ini", "absolute.ini", "chain.ini"}) {
    rtl::WriteFileAtomic(dir / name, std::string(name));
    struct stat st;
    ASSERT_EQ(lstat((dir / name).c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
    EXPECT_EQ(ReadFile(target), name);
  }
  EXPECT_EQ(rtl::FindFiles(dir / "real", "*").size(), 1u);  // no new file left beside it

  // A link to a file that does not exist yet creates that file.
  ASSERT_EQ(symlink("real/new.map", (dir / "dangling.map").c_str()), 0);
  rtl::WriteFileAtomic(dir / "dangling.map", std::string("map"));
  EXPECT_EQ(ReadFile(dir / "real/new.map"), "map");
  struct stat st;
  ASSERT_EQ(lstat((dir / "dangling.map").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // A loop of links is an error, not a replaced link.
  ASSERT_EQ(symlink("loop2", (dir / "loop1").c_str()), 0);
  ASSERT_EQ(symlink("loop1", (dir / "loop2").c_str()), 0);
  EXPECT_THROW(rtl::WriteFileAtomic(dir / "loop1", std::string("x")), rtl::EFCreateError);
  ASSERT_EQ(lstat((dir / "loop1").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(AtomicFile, TheReplacedFileKeepsItsPermissions) {
  TempDir dir;
  const std::string path = dir / "private.ini";
  WriteFile(path, "old");
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  rtl::WriteFileAtomic(path, std::string("new"));
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  {
    rtl::TAtomicFile file(path);
    file.Stream().WriteBuffer("newer", 5);
    file.Commit();
  }
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(path), "newer");
}

TEST(AtomicFile, AFifoIsWrittenInPlaceNeverReplaced) {
  TempDir dir;
  const std::string fifo = dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] {
    int fd = open(fifo.c_str(), O_RDONLY);
    char buffer[64];
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
      received.append(buffer, static_cast<size_t>(n));
    if (fd >= 0) close(fd);
  });
  rtl::WriteFileAtomic(fifo, std::string("through the pipe"));
  reader.join();
  EXPECT_EQ(received, "through the pipe");
  struct stat st;
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(rtl::FindFiles(dir.Path(), "*").size(), 0u);  // no plain file beside it either

  // A device is such a target too (not written here: a fault would replace the machine's own).
  EXPECT_EQ(rtl::PathKind("/dev/null"), rtl::TPathKind::Other);
  EXPECT_THROW(rtl::WriteFileAtomic(dir.Path(), std::string("x")), rtl::EFCreateError);
}

// "--map /dev/stdout > out.map": the standard stream named as a file leads to a plain file that
// the shell opened; it is written where it stands, after what is already in it.
TEST(AtomicFile, AnOpenStreamNamedAsAFileIsWrittenInPlace) {
  TempDir dir;
  const std::string path = dir / "redirected.txt";
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, "console\n", 8), 8);
  rtl::TFileId before, after;
  ASSERT_TRUE(rtl::GetFileId(path, before));
  ASSERT_EQ(symlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), (dir / "out.map").c_str()), 0);
  for (const std::string& name : {"/dev/fd/" + std::to_string(fd), dir / "out.map"})
    rtl::WriteFileAtomic(name, std::string("map\n"));
  close(fd);
  ASSERT_TRUE(rtl::GetFileId(path, after));
  EXPECT_EQ(after, before);
  EXPECT_EQ(ReadFile(path), "console\nmap\nmap\n");
  // No new file beside them (the link leads nowhere now that the descriptor is closed).
  EXPECT_EQ(rtl::FindFiles(dir.Path(), "*"), std::vector<std::string>{"redirected.txt"});
}

TEST(AtomicFile, AnInterruptedProgramLeavesNoNewFileBehind) {
  for (int sig : {SIGINT, SIGTERM}) {
    TempDir dir;
    const std::string path = dir / "out.map";
    WriteFile(path, "old");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      rtl::RemoveTempFilesOnSignals();
      rtl::TAtomicFile file(path);
      file.Stream().WriteBuffer("half", 4);
      if (write(ready[1], "r", 1) != 1) _exit(3);
      for (;;) pause();  // ended by the parent's signal
    }
    close(ready[1]);
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    EXPECT_EQ(rtl::FindFiles(dir.Path(), "*").size(), 2u);  // the target and the new file
    kill(child, sig);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status)) << status;  // ended by the signal, as without the handler
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_EQ(rtl::FindFiles(dir.Path(), "*"), std::vector<std::string>{"out.map"});
    EXPECT_EQ(ReadFile(path), "old");
  }
}

// Whoever can write the target's folder cannot have a write follow a link planted at the new
// file's name: the creation refuses a link, and the name is no longer <target>.<pid>.<n>.tmp.
TEST(AtomicFile, TheNewFileCannotBePlanted) {
  TempDir dir;
  const std::string target = dir / "out.map", victim = dir / "victim";
  WriteFile(victim, "precious");
  const std::string planted = rtl::TempNameBeside(target);
  ASSERT_EQ(symlink(victim.c_str(), planted.c_str()), 0);
  EXPECT_EQ(rtl::CreateNewFile(planted, target), nullptr);
  for (int n = 0; n < 64; ++n) {
    const std::string old = target + "." + std::to_string(getpid()) + "." + std::to_string(n);
    ASSERT_EQ(symlink(victim.c_str(), (old + ".tmp").c_str()), 0);
  }
  rtl::WriteFileAtomic(target, std::string("map"));
  EXPECT_EQ(ReadFile(victim), "precious");
  // The owner is carried over through the new file's descriptor (only root may give one away).
  if (geteuid() == 0) {
    ASSERT_EQ(chown(target.c_str(), 1234, 5678), 0);
    rtl::WriteFileAtomic(target, std::string("again"));
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid * 10000 + st.st_gid, 1234u * 10000 + 5678u);
  }
  // A name at the file system's limit leaves room for the new file's (it used to fail).
  rtl::WriteFileAtomic(dir / std::string(255, 'n'), std::string("long"));
  EXPECT_EQ(ReadFile(dir / std::string(255, 'n')), "long");
}

TEST(SettingsWrite, ALinkedSettingsFileStaysALink) {
  TempDir dir;
  WriteFile(dir / "real.ini", "");
  ASSERT_EQ(symlink("real.ini", (dir / "morvane.ini").c_str()), 0);
  DispatchWithSettings(dir / "morvane.ini", "Batch Convert Textures...", [](rtl::TStringList& s) {
    s.SetValue("ConvTexOutputDir", "out");
    return false;
  });
  struct stat st;
  ASSERT_EQ(lstat((dir / "morvane.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "ConvTexOutputDir=out\r\n");
}

#endif
