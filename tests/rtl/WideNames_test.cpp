// Names outside the ANSI code page (a game unpacked into "Jedi Knight ñ 日本"): every path inside
// is UTF-8, and on Windows it reaches the file through the wide-character functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "level/O_jkl.h"
#include "rtl/Files.h"
#include "rtl/FolderIndex.h"
#include "rtl/SysUtils.h"
#include "support/TestSupport.h"

namespace fs = std::filesystem;

TEST(WideNames, FilesOutsideTheAnsiCodePageAreFoundReadAndWritten) {
  testing_support::TempDir dir;
  // Made by the system's own means, not by Morvane's: the name as Explorer would show it.
#ifdef _WIN32
  const fs::path folder = fs::path(dir.Path()) / fs::path(L"Jedi Knight \u00f1 \u65e5\u672c");
#else
  const fs::path folder =
      fs::path(dir.Path()) / fs::path("Jedi Knight \xc3\xb1 \xe6\x97\xa5\xe6\x9c\xac");
#endif
  fs::create_directories(folder / "MAT");
  { std::ofstream(folder / "Level.JKL", std::ios::binary) << "SECTION: GEORESOURCE\n"; }
  const std::string utf8 = dir / "Jedi Knight \xc3\xb1 \xe6\x97\xa5\xe6\x9c\xac";
  const std::string level = rtl::JoinPath(utf8, "Level.JKL");
  EXPECT_TRUE(rtl::DirectoryExists(utf8));
  EXPECT_TRUE(rtl::FileExists(level));
  EXPECT_EQ(rtl::PathKind(level), rtl::TPathKind::File);
  EXPECT_EQ(rtl::ReadFileToString(level, 1000, "a level"), "SECTION: GEORESOURCE\n");
  EXPECT_EQ(rtl::FindFiles(utf8, "*.jkl"), std::vector<std::string>{"Level.JKL"});
  rtl::TFolderIndex index;
  // Letter case aside (Windows finds "mat" as written).
  EXPECT_TRUE(rtl::SameText(index.FindFolder(rtl::IncludeTrailingPathDelimiter(utf8), "mat"),
                            rtl::IncludeTrailingPathDelimiter(rtl::JoinPath(utf8, "MAT"))));
  rtl::WriteFileAtomic(rtl::JoinPath(utf8, "out.map"), std::string("map"));
  EXPECT_TRUE(fs::is_regular_file(folder / "out.map"));
  TJKLevel read;
  try {
    read.LoadFromFile(level);
  } catch (const rtl::EFOpenError& e) {
    ADD_FAILURE() << e.what();
  } catch (const rtl::Exception&) {  // found and read: its text is too short for a level
  }
  EXPECT_TRUE(rtl::ForceDirectories(rtl::JoinPath(utf8, "a\xc3\xa9")));
#ifdef _WIN32
  EXPECT_TRUE(fs::is_directory(folder / fs::path(L"a\u00e9")));
#endif
}
