// Files read whole are read only up to a size suited to their kind: a sparse file of gigabytes
// named where a palette, a level or a settings file belongs costs nothing but its error.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "import/SettingsFile.h"
#include "level/O_jkl.h"
#include "rtl/Files.h"
#include "support/TestSupport.h"
#include "texture/BatchConvert.h"
#include "texture/ColorTables.h"

using testing_support::TempDir;
using testing_support::WriteFile;

TEST(BoundedReads, EveryFileReadWholeIsLimitedByItsKind) {
  TempDir dir;
  // A container whose palette entry is larger than any palette, the container itself sparse.
  WriteFile(dir / "big.gob",
            testing_support::MakeGob({{"misc\\cmp\\pal.cmp", "", -1, (2 << 20) + 1000}}));
  std::filesystem::resize_file(dir / "big.gob", 3 << 20);
  struct TCase {
    std::string file;
    int64_t size;  // made sparse; 0: as written
    std::function<void(const std::string&)> read;
    std::string kind;
  } cases[] = {
#ifndef _WIN32
      {"eight.cmp", int64_t{8} << 30, [](const std::string& f) { ReadColorTablesSource(f); },
       "a palette"},
#endif
      {"big.cmp", (1 << 20) + 1, [](const std::string& f) { ReadColorTablesSource(f); },
       "a palette"},
      {"big.gob", 0,
       [](const std::string& f) { ReadColorTablesSource(f + ">>misc\\cmp\\pal.cmp"); },
       "a palette"},
      {"big.gob", 0, [](const std::string& f) { ReadPaletteSource(f + ">>misc\\cmp\\pal.cmp"); },
       "a palette"},
      {"big.jkl", MaxLevelBytes + 1,
       [](const std::string& f) {
         TJKLevel level;
         level.LoadFromFile(f);
       },
       "a level"},
  };
  for (const TCase& c : cases) {
    const std::string path = dir / c.file;
    if (c.size > 0) {
      WriteFile(path, "");
      std::filesystem::resize_file(path, static_cast<uintmax_t>(c.size));
    }
    try {
      c.read(path);
      ADD_FAILURE() << c.file << " was read";
    } catch (const rtl::EFileTooLarge& e) {
      EXPECT_NE(std::string(e.what()).find("File too large for " + c.kind + ": '" + path),
                std::string::npos)
          << e.what();
    }
  }
  // A settings file too large to be one is said, read as empty and left as it is.
  WriteFile(dir / "morvane.ini", "Scale=2\r\n");
  std::filesystem::resize_file(dir / "morvane.ini", (1 << 20) + 1);
  std::vector<std::string> said;
  WithSettingsFile([&] { return dir / "morvane.ini"; },
                   [&](const std::string& line) { said.push_back(line); },
                   [](rtl::TStringList& s) { s.SetValue("ConvTexDir", "x"); });
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("File too large for a settings file"), std::string::npos) << said[0];
  EXPECT_EQ(std::filesystem::file_size(dir / "morvane.ini"), uintmax_t{(1 << 20) + 1});
}
