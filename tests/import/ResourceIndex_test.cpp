// The one index of a level's resources: containers read once, in the order of the search list.
#include "import/ResourceIndex.h"

#include <gtest/gtest.h>

#include "rtl/Files.h"
#include "support/TestSupport.h"

using testing_support::MakeGob;
using testing_support::TempDir;
using testing_support::WriteFile;

TEST(ResourceIndex, SearchListIsTheLevelsContainerThenResourceGobs) {
  EXPECT_EQ(TResourceIndex::SearchList("lvl.gob", "a.gob, \"b c.goo\""),
            (std::vector<std::string>{"lvl.gob", "a.gob", "b c.goo"}));
  EXPECT_EQ(TResourceIndex::SearchList("", "a.gob"), (std::vector<std::string>{"a.gob"}));
}

// Each container's directory is read once: a container changed on disk after its first use
// keeps the directory the index read; the first container holding a key wins, letter case
// ignored; missing and unreadable items are passed over, the latter with its reason.
TEST(ResourceIndex, ContainersAreReadOnceAndSearchedInOrder) {
  TempDir dir;
  const std::string first = dir / "first.gob", second = dir / "second.gob", bad = dir / "bad.gob";
  WriteFile(first, MakeGob({{"mat\\a.mat", "1"}}));
  WriteFile(second, MakeGob({{"MAT\\A.MAT", "22"}, {"3do\\b.3do", "333"}}));
  WriteFile(bad, "GOB");  // shorter than a header
  TResourceIndex index("", {"", dir / "missing.gob", bad, first, second});

  std::string error = "x";
  EXPECT_EQ(index.Container(dir / "missing.gob", &error), nullptr);
  EXPECT_EQ(error, "");
  EXPECT_EQ(index.Container(bad, &error), nullptr);
  EXPECT_NE(error, "");
  EXPECT_EQ(index.Container("", &error), nullptr);

  TResourceIndex::TEntry a = index.FindEntry("Mat\\A.mat");
  ASSERT_NE(a.Entry, nullptr);
  EXPECT_EQ(*a.Path, first);
  EXPECT_EQ(a.Entry->Length, 1);
  TResourceIndex::TEntry b = index.FindEntry("3do\\b.3do");
  ASSERT_NE(b.Entry, nullptr);
  EXPECT_EQ(*b.Path, second);
  EXPECT_EQ(index.FindEntry("mat\\none.mat").Entry, nullptr);

  TJKContainer* opened = index.Container(second);
  WriteFile(second, MakeGob({}));
  EXPECT_EQ(index.Container(second), opened);
  EXPECT_NE(index.FindEntry("3do\\b.3do").Entry, nullptr);
}

// The folder beside the level's, in any letter case; none for a level read from a container.
TEST(ResourceIndex, BesideTheLevelFolder) {
  TempDir dir;
  rtl::ForceDirectories(dir / "lvl/jkl");
  rtl::ForceDirectories(dir / "lvl/MISC/Cmp");
  const std::string level = rtl::NativePath(dir / "lvl/jkl/x.jkl");
  TResourceIndex index(level, {});
  const std::string found = index.BesideLevel({"misc", "cmp"});
  EXPECT_NE(found, "");
  EXPECT_TRUE(rtl::DirectoryExists(found)) << found;
  EXPECT_NE(found.find("MISC"), std::string::npos) << found;
  EXPECT_EQ(index.BesideLevel({"3do"}), "");
  TResourceIndex fromContainer("", {});
  EXPECT_EQ(fromContainer.BesideLevel({"misc", "cmp"}), "");
}
