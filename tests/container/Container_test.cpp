#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "container/O_jkc.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "support/TestSupport.h"

using testing_support::Bytes;
using testing_support::TempDir;

namespace {

using Item = testing_support::GobItem;
using testing_support::MakeGob;

struct Parsed {
  std::string bytes;
  TJKContainer gob;
  explicit Parsed(std::string b) : bytes(std::move(b)) {
    rtl::TReadOnlyMemoryStream s(bytes.data(), bytes.size());
    gob.ReadDirectory(s);
  }
  std::string Extract(const std::string& name) {
    rtl::TReadOnlyMemoryStream s(bytes.data(), bytes.size());
    rtl::TMemoryStream out;
    if (!gob.ExtractToStream(s, out, name)) return "<none>";
    return std::string(out.Bytes().begin(), out.Bytes().end());
  }
};

std::vector<std::string> Keys(const TJKContainer& gob) {
  std::vector<std::string> keys;
  for (int i = 0; i < gob.Entries.Count(); ++i) keys.push_back(gob.Entries.Strings(i));
  return keys;
}

template <class F>
std::string ErrorOf(F f) {
  try {
    f();
  } catch (const rtl::Exception& e) {
    // Without the file and entry it names: ContainerErrors checks those.
    return e.BaseMessage();
  }
  return "<no error>";
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(ContainerDirectory, CountZeroOrNegativeGivesEmptyDirectory) {
  for (int32_t count : {0, -1, INT32_MIN}) {
    TJKContainer gob;
    std::string bytes = MakeGob({{"a.txt", "x"}});
    rtl::TReadOnlyMemoryStream first(bytes.data(), bytes.size());
    ASSERT_TRUE(gob.ReadDirectory(first));
    ASSERT_EQ(gob.Entries.Count(), 1);
    // A second read replaces the directory, even with nothing in it.
    std::string empty = MakeGob({{"b.txt", "y"}}, count);
    rtl::TReadOnlyMemoryStream second(empty.data(), empty.size());
    EXPECT_TRUE(gob.ReadDirectory(second)) << count;
    EXPECT_EQ(gob.Entries.Count(), 0) << count;
    EXPECT_EQ(gob.IndexOfKey("a.txt"), -1) << count;
  }
}

TEST(ContainerDirectory, KeysAreCutTrimmedAndLowerCased) {
  const std::string full(128, 'N');  // no NUL at all
  Parsed p(MakeGob({
      {full, "1"},
      {std::string("jkl\\Leftover.JKL\0garbage", 25), "2"},
      {"MAT\\Blank  \t\x01", "3"},
      {std::string("misc\\\xC9t\xE9\xA0", 9),
       "4"},  // bytes above 127 are neither trimmed nor folded
      {" lead[]_", "5"},
  }));
  EXPECT_EQ(Keys(p.gob), (Lines{" lead[]_", "jkl\\leftover.jkl", "mat\\blank",
                                std::string("misc\\\xC9t\xE9\xA0", 9), std::string(128, 'n')}));
  // The record keeps the whole name, NUL-terminated even when the file gave none.
  const TGobEntry* e = p.gob.Find(full);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::string(e->EntryName), full);
  EXPECT_EQ(e->Length, 1);
  EXPECT_EQ(p.Extract(full), "1");
}

TEST(ContainerDirectory, LookupsIgnoreCaseAndFindTheFirstOfDuplicates) {
  Parsed p(MakeGob({
      {"Z.txt", "z"},
      {"JKL\\Level.JKL", "level"},
      {"dup.TXT", "first"},
      {"a.txt", "a"},
      {"DUP.txt", "second"},
  }));
  // Sorted once by key; duplicates keep their file order (a stable sort).
  EXPECT_EQ(Keys(p.gob), (Lines{"a.txt", "dup.txt", "dup.txt", "jkl\\level.jkl", "z.txt"}));
  EXPECT_EQ(p.Extract("dup.txt"), "first");
  EXPECT_EQ(p.gob.IndexOfKey("DuP.tXt"), 1);
  for (const char* name : {"jkl\\level.jkl", "JKL\\LEVEL.JKL", "Jkl\\lEvEl.jKl"})
    EXPECT_EQ(p.Extract(name), "level") << name;
  EXPECT_EQ(p.gob.IndexOfKey("jkl/level.jkl"), -1);
  EXPECT_EQ(p.gob.IndexOfKey("level.jkl"), -1);
  EXPECT_EQ(p.gob.Find("nothing"), nullptr);
}

TEST(ContainerDirectory, ShortHeaderOrDirectoryIsAReadError) {
  const std::string good = MakeGob({{"a", "1"}, {"b", "2"}});
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"nothing", ""},
      {"15-byte header", good.substr(0, 15)},
      {"directory one byte short", good.substr(0, 16 + 2 * 136 - 1)},
      {"one record of two", good.substr(0, 16 + 136)},
      // Two billion records announced, one present: refused before anything is allocated.
      {"count in the billions", MakeGob({{"a", "1"}}, INT32_MAX)},
      {"count just too large", MakeGob({{"a", "1"}}, 2)},
  };
  for (const Case& c : cases) {
    TJKContainer gob;
    std::string previous = MakeGob({{"old", "o"}});
    rtl::TReadOnlyMemoryStream ps(previous.data(), previous.size());
    gob.ReadDirectory(ps);
    rtl::TReadOnlyMemoryStream s(c.bytes.data(), c.bytes.size());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ErrorOf([&] { gob.ReadDirectory(s); }), "Stream read error") << c.what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.what;
    EXPECT_EQ(gob.Entries.Count(), 0) << c.what;
    EXPECT_EQ(gob.IndexOfKey("old"), -1) << c.what;
  }
}

TEST(ContainerExtract, BadOffsetsAndLengthsAreReadErrorsAndWriteNothing) {
  const std::string payload = "0123456789";
  struct Case {
    const char* what;
    int32_t offset, length;
  } cases[] = {
      {"runs one byte past the end", -1, 11},
      {"offset past the end", 100000, 1},
      {"negative length", -1, -5},
      {"negative offset", INT32_MIN, 1},
      {"length in the billions", -1, INT32_MAX},
      {"offset at the end, length 1", 16 + 136 + 10, 1},
  };
  for (const Case& c : cases) {
    Parsed p(MakeGob({{"bad", payload, c.offset, c.length}}));
    ASSERT_EQ(p.gob.Entries.Count(), 1) << c.what;  // the directory itself reads fine
    rtl::TReadOnlyMemoryStream src(p.bytes.data(), p.bytes.size());
    rtl::TMemoryStream dest(std::vector<uint8_t>{'k', 'e', 'e', 'p'});
    EXPECT_EQ(ErrorOf([&] { p.gob.ExtractToStream(src, dest, "bad"); }), "Stream read error")
        << c.what;
    EXPECT_EQ(dest.Bytes(), (std::vector<uint8_t>{'k', 'e', 'e', 'p'})) << c.what;
    rtl::TStringList list;
    list.Add("kept");
    EXPECT_EQ(ErrorOf([&] { p.gob.ExtractToStrings(src, list, "bad"); }), "Stream read error");
    EXPECT_EQ(list.Lines(), Lines{"kept"});
  }
  // The last byte of the file is still in reach.
  Parsed edge(MakeGob({{"edge", payload, 16 + 136 + 9, 1}}));
  EXPECT_EQ(edge.Extract("edge"), "9");
}

TEST(ContainerExtract, TextLinesAndEmptyEntries) {
  Parsed p(MakeGob({
      {"crlf.txt", "one\r\ntwo\rthree\nfour\r\n"},
      {"nul.txt", std::string("a\nb\0c\nd", 7)},
      {"empty.txt", ""},
      {"blank.txt", "\r\n\r\n"},
  }));
  auto lines = [&](const std::string& name) {
    rtl::TReadOnlyMemoryStream src(p.bytes.data(), p.bytes.size());
    rtl::TStringList list;
    list.Add("stale");
    EXPECT_TRUE(p.gob.ExtractToStrings(src, list, name)) << name;
    return list.Lines();
  };
  EXPECT_EQ(lines("crlf.txt"), (Lines{"one", "two", "three", "four"}));
  EXPECT_EQ(lines("nul.txt"), (Lines{"a", "b"}));
  EXPECT_EQ(lines("empty.txt"), Lines{});
  EXPECT_EQ(lines("blank.txt"), (Lines{"", ""}));

  rtl::TReadOnlyMemoryStream src(p.bytes.data(), p.bytes.size());
  rtl::TMemoryStream dest;
  EXPECT_TRUE(p.gob.ExtractToStream(src, dest, "EMPTY.TXT"));
  EXPECT_EQ(dest.Size(), 0);

  // A missing entry leaves both kinds of destination as they were.
  rtl::TStringList list;
  list.Add("kept");
  EXPECT_FALSE(p.gob.ExtractToStrings(src, list, "missing.txt"));
  EXPECT_EQ(list.Lines(), Lines{"kept"});
  EXPECT_FALSE(p.gob.ExtractToStream(src, dest, "missing.txt"));
  EXPECT_EQ(dest.Size(), 0);
}

TEST(ContainerExtract, WritesAtTheDestinationsPositionAndReportsAFullDestination) {
  Parsed p(MakeGob({{"a", "DATA"}}));
  rtl::TReadOnlyMemoryStream src(p.bytes.data(), p.bytes.size());
  rtl::TMemoryStream dest(std::vector<uint8_t>{'1', '2', '3', '4', '5', '6'});
  dest.SetPosition(1);
  ASSERT_TRUE(p.gob.ExtractToStream(src, dest, "a"));
  EXPECT_EQ(std::string(dest.Bytes().begin(), dest.Bytes().end()), "1DATA6");

  char fixed[2];
  rtl::TReadOnlyMemoryStream readOnly(fixed, sizeof fixed);
  EXPECT_EQ(ErrorOf([&] { p.gob.ExtractToStream(src, readOnly, "a"); }), "Stream write error");
}

TEST(ContainerFile, OpenExtractAndReopen) {
  TempDir dir;
  const std::string path = dir / "Levels.GOB";
  testing_support::WriteFile(path, MakeGob({{"jkl\\one.jkl", "line 1\r\nline 2\r\n"},
                                            {"mat\\Wall.mat", std::string("MAT \0\x01", 6)}}));
  TJKContainer gob;
  // A missing file is no error, but no directory was read either: False, and nothing is set.
  EXPECT_FALSE(gob.Open(dir / "missing.gob"));
  EXPECT_EQ(gob.FileName, "");
  ASSERT_TRUE(gob.Open(path));
  EXPECT_EQ(gob.FileName, path);
  EXPECT_EQ(Keys(gob), (Lines{"jkl\\one.jkl", "mat\\wall.mat"}));

  rtl::TStringList lines;
  ASSERT_TRUE(gob.ExtractToStrings(lines, "JKL\\ONE.JKL"));
  EXPECT_EQ(lines.Lines(), (Lines{"line 1", "line 2"}));
  rtl::TMemoryStream mat;
  ASSERT_TRUE(gob.ExtractToStream(mat, "mat\\wall.mat"));
  EXPECT_EQ(std::string(mat.Bytes().begin(), mat.Bytes().end()), std::string("MAT \0\x01", 6));

  // A missing file after a good Open keeps the directory and the name.
  EXPECT_FALSE(gob.Open(dir / "gone.gob"));
  EXPECT_EQ(gob.FileName, path);
  EXPECT_EQ(gob.Entries.Count(), 2);

  // Every extraction reopens the file: once it is gone, that is the file-open error.
  ASSERT_TRUE(rtl::DeleteFile(path));
  rtl::TMemoryStream out;
  EXPECT_EQ(ErrorOf([&] { gob.ExtractToStream(out, "mat\\wall.mat"); }),
            "Cannot open file " + rtl::NativePath(path));
  EXPECT_EQ(out.Size(), 0);
  // ...but an entry that is not there needs no file.
  EXPECT_FALSE(gob.ExtractToStream(out, "mat\\none.mat"));
}

TEST(ContainerFile, TruncatedFileRaisesOutOfOpen) {
  TempDir dir;
  const std::string path = dir / "cut.gob";
  testing_support::WriteFile(path, MakeGob({{"a", "1"}, {"b", "2"}}).substr(0, 16 + 136 + 50));
  TJKContainer gob;
  EXPECT_EQ(ErrorOf([&] { gob.Open(path); }), "Stream read error");
  EXPECT_EQ(gob.FileName, path);
  EXPECT_EQ(gob.Entries.Count(), 0);
}

TEST(ContainerPicker, ListsTheFolderSortedWithSizes) {
  std::string sized(1234, 'x');
  Parsed p(MakeGob({
      {"jkl\\zeta.jkl", "zz"},
      {"JKL\\Alpha.JKL", sized},
      {"mat\\jkl\\inner.mat", "m"},  // the folder text later on, not at the start
      {"jkl\\", ""},
      {"jkl.txt", "t"},
      {"jk", "j"},
  }));
  std::vector<TPickerItem> items = PickerItems(p.gob, "jkl\\");
  std::vector<std::string> captions, sizes;
  for (const TPickerItem& it : items) {
    captions.push_back(it.Caption);
    sizes.push_back(it.SizeText);
    ASSERT_EQ(it.Entry, p.gob.Find(it.Caption));
  }
  EXPECT_EQ(captions, (Lines{"jkl\\", "jkl\\alpha.jkl", "jkl\\zeta.jkl"}));
  EXPECT_EQ(sizes, (Lines{"0", "1234", "2"}));

  // The prefix test is exact and case-sensitive; an empty folder lists nothing.
  EXPECT_TRUE(PickerItems(p.gob, "JKL\\").empty());
  EXPECT_TRUE(PickerItems(p.gob, "").empty());
  EXPECT_TRUE(PickerItems(p.gob, "cog\\").empty());
  EXPECT_EQ(PickerItems(p.gob, "mat\\").size(), 1u);
  EXPECT_EQ(PickerItems(p.gob, "jkl").size(), 4u);
}

// Every real container, what reading it gives, and a check of every entry's data against the
// bytes of the file at the recorded offset.
//
// | file             | result                                                            |
// |------------------|-------------------------------------------------------------------|
// | SelfDestruct.goo | 3 entries (names carry leftover bytes after their NUL)            |
// | empty.gob        | valid header, count 0: empty directory                            |
// | glowdemo.gob     | 7 entries                                                         |
// | junk.gob         | 20 bytes of text; count 1713398383: "Stream read error" at once   |
// | onefile.gob      | 1 entry of 1 byte                                                 |
// | rain.gob         | 6 entries                                                         |
// | structured.gob   | 1 entry in a folder                                               |
// | threefiles.gob   | 3 entries of 1 byte each                                          |
TEST(ContainerCorpus, EveryContainerOpensListsAndExtracts) {
  struct Expected {
    const char* file;
    const char* error;
    Lines keys;
  };
  const std::vector<Expected> table = {
      {"SelfDestruct.goo",
       "",
       {"cog\\00_multiselfdestruct.cog", "episode.jk", "jkl\\selfdestruct.jkl"}},
      {"empty.gob", "", {}},
      {"glowdemo.gob",
       "",
       {"3do\\pinhole.3do", "cog\\corona.cog", "episode.jk", "jkl\\glowdemo.jkl",
        "mat\\enginebase.mat", "mat\\lampglow.mat", "misc\\cogstrings.uni"}},
      {"junk.gob", "Stream read error", {}},
      {"onefile.gob", "", {"test.txt"}},
      {"rain.gob",
       "",
       {"cog\\particlestream10.cog", "cog\\rain_start.cog", "episode.jk", "jkl\\rain.jkl",
        "mat\\rain.mat", "misc\\cogstrings.uni"}},
      {"structured.gob", "", {"dir\\test.txt"}},
      {"threefiles.gob", "", {"first.txt", "second.txt", "third.txt"}},
  };
  std::vector<std::string> files = testing_support::CorpusFiles("gob", "*.go?");
  if (files.empty()) GTEST_SKIP() << "no container corpus";
  std::vector<std::string> listed;
  for (const Expected& e : table) listed.push_back(e.file);
  EXPECT_EQ(files, listed) << "the corpus changed: update the table";

  for (const Expected& e : table) {
    SCOPED_TRACE(e.file);
    const std::string path =
        rtl::JoinPath(rtl::JoinPath(testing_support::CorpusDir(), "gob"), e.file);
    if (!rtl::FileExists(path)) continue;
    TJKContainer gob;
    std::string error;
    try {
      EXPECT_TRUE(gob.Open(path));
    } catch (const rtl::Exception& ex) {
      error = ex.Message();
    }
    // A file that is no container says so, naming itself.
    EXPECT_EQ(error, *e.error ? e.error + (" (in '" + path +
                                           "', which is no GOB/GOO container or a damaged one)")
                              : std::string());
    EXPECT_EQ(Keys(gob), e.keys);

    const std::string raw = testing_support::ReadFile(path);
    for (int i = 0; i < gob.Entries.Count(); ++i) {
      const TGobEntry& entry = *gob.Entries.Objects(i);
      rtl::TMemoryStream out;
      ASSERT_TRUE(gob.ExtractToStream(out, gob.Entries.Strings(i)));
      ASSERT_EQ(out.Size(), entry.Length) << gob.Entries.Strings(i);
      EXPECT_EQ(std::string(out.Bytes().begin(), out.Bytes().end()),
                raw.substr(static_cast<size_t>(entry.Offset), static_cast<size_t>(entry.Length)))
          << gob.Entries.Strings(i);
    }
  }
}

// Errors name the container, and for an entry the entry as "container>>key"; a file that is no
// container says so.
TEST(ContainerErrors, NameTheFileAndTheEntry) {
  TempDir dir;
  const std::string path = dir / "res.gob";
  testing_support::WriteFile(path,
                             MakeGob({{"mat\\ok.mat", "1234"}, {"mat\\bad.mat", "", 20, 999}}));
  TJKContainer gob;
  ASSERT_TRUE(gob.Open(path));
  rtl::TMemoryStream out;
  try {
    gob.ExtractToStream(out, "MAT\\BAD.MAT");
    ADD_FAILURE() << "extracted";
  } catch (const rtl::EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error (in '" + path + ">>MAT\\BAD.MAT')");
  }
  EXPECT_EQ(out.Size(), 0);
  // From a stream there is no file name: the entry alone.
  const std::string bytes = testing_support::ReadFile(path);
  rtl::TReadOnlyMemoryStream source(bytes.data(), bytes.size());
  TJKContainer unnamed;
  unnamed.ReadDirectory(source);
  try {
    unnamed.ExtractToStream(source, out, "mat\\bad.mat");
    ADD_FAILURE() << "extracted";
  } catch (const rtl::EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error (entry 'mat\\bad.mat')");
  }

  const std::string text = dir / "notes.gob";
  testing_support::WriteFile(text, "These are some notes, not a container at all.\n");
  try {
    gob.Open(text);
    ADD_FAILURE() << "opened";
  } catch (const rtl::EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error (in '" + text +
                               "', which is no GOB/GOO container or a damaged one)");
  }
}
