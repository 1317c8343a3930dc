#include <gtest/gtest.h>

#include <cstring>

#include "rtl/AtomicFile.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "support/TestSupport.h"

using namespace rtl;
using testing_support::TempDir;

TEST(StrToInt, DecimalAndHexadecimalForms) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("-12"), -12);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("  42"), 42);
  EXPECT_EQ(StrToInt("0x4"), 4);
  EXPECT_EQ(StrToInt("0X1F"), 31);
  EXPECT_EQ(StrToInt("$ff"), 255);
  EXPECT_EQ(StrToInt("x10"), 16);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  // 32-bit flag words written in hexadecimal wrap like the game's own reader.
  EXPECT_EQ(StrToInt("0xFFFFFFFF"), -1);
}

TEST(StrToInt, RejectsWithTheWordInTheMessage) {
  for (const char* bad : {"", " ", "12a", "1.5", "2147483648", "-2147483649", "0x", "0x100000000",
                          "99999999999999999999", "1 2", "--1"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), Format("'%s' is not a valid integer value", bad));
    }
  }
}

TEST(StrToFloat, PointIsTheOnlySeparator) {
  EXPECT_EQ(StrToFloat("2.5"), 2.5);
  EXPECT_EQ(StrToFloat(".4"), 0.4);
  EXPECT_EQ(StrToFloat("-.035"), -0.035);
  EXPECT_EQ(StrToFloat("1."), 1.0);
  EXPECT_EQ(StrToFloat("2.775558E-17"), 2.775558E-17);
  EXPECT_EQ(StrToFloat(" 1e3 "), 1000.0);
  EXPECT_EQ(StrToFloat("+3"), 3.0);
  EXPECT_EQ(StrToFloat("1e-400"), 0.0);  // underflow reads as zero
  // Exponents beyond a long, after many digits (their sum used to overflow).
  EXPECT_EQ(StrToFloat("0." + std::string(60, '0') + "1e-99999999999999999999"), 0.0);
  double v = 0;
  EXPECT_FALSE(TryStrToFloat(std::string(60, '7') + "e99999999999999999999", v));
  for (const char* bad :
       {"", "2,5", "abc", "1e", "e5", ".", "-", "1e999", "inf", "nan", "1.5x", "0x10"}) {
    try {
      StrToFloat(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), Format("'%s' is not a valid floating point value", bad));
    }
  }
}

TEST(FloatText, ShortestForms) {
  EXPECT_EQ(FloatToStr(256), "256");
  EXPECT_EQ(FloatToStr(2.5), "2.5");
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(SingleToStr(256.0f), "256");
  EXPECT_EQ(SingleToStr(-8.0f), "-8");
  EXPECT_EQ(SingleToStr(0.1f), "0.1");
  EXPECT_EQ(SingleToStr(-0.0f), "0");
  // Reads back as the same Single.
  float odd = 1.0f / 3.0f;
  EXPECT_EQ(static_cast<float>(StrToFloat(SingleToStr(odd))), odd);
}

TEST(StringList, NameValueRules) {
  TStringList s;
  s.SetText("scale=2.5\r\n Scale=9\r\nnoequals\nScale=3\rBrushDepth =4\n");
  EXPECT_EQ(s.Count(), 5);
  EXPECT_EQ(s.Values("SCALE"), "2.5");    // first match, any case
  EXPECT_EQ(s.Values("BrushDepth"), "");  // a blank before "=" is part of the name
  EXPECT_EQ(s.Values("BrushDepth "), "4");
  EXPECT_EQ(s.Values("missing"), "");
  s.SetValue("ConvTexDir", "c:\\in");
  EXPECT_EQ(s[5], "ConvTexDir=c:\\in");
  s.SetValue("convtexdir", "d:\\x=y");
  EXPECT_EQ(s[5], "convtexdir=d:\\x=y");
  EXPECT_EQ(s.Values("ConvTexDir"), "d:\\x=y");  // value is everything after the first "="
  s.SetValue("CONVTEXDIR", "");
  EXPECT_EQ(s.Count(), 5);
  EXPECT_EQ(s.IndexOfName("ConvTexDir"), -1);
  EXPECT_EQ(s.Text(), "scale=2.5\r\n Scale=9\r\nnoequals\r\nScale=3\r\nBrushDepth =4\r\n");
}

TEST(StringList, BoundsErrorCarriesIndex) {
  TStringList s;
  try {
    s.Get(0);
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (0)");
  }
  s.Add("a");
  EXPECT_THROW(s.Get(-1), EStringListError);
  EXPECT_THROW(s.Delete(1), EStringListError);
}

TEST(SplitLines, EndingsAndNul) {
  auto lines = SplitLines("a\r\nb\rc\n\nd\r\n", 12);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "d");
  const char withNul[] = "x\ny\0z\n";
  lines = SplitLines(withNul, sizeof withNul - 1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], "y");
  EXPECT_TRUE(SplitLines("", 0).empty());
}

// Every mix of endings splits as a byte-by-byte reading would: CR LF, CR and LF each end a line,
// an empty line between two endings counts, and text after the last ending is a line too.
TEST(SplitLines, AnyMixOfEndingsAsReadByteByByte) {
  auto reference = [](const std::string& t) {
    std::vector<std::string> out;
    size_t start = 0, i = 0;
    while (i < t.size()) {
      if (t[i] == '\r' || t[i] == '\n') {
        out.push_back(t.substr(start, i - start));
        i += (t[i] == '\r' && i + 1 < t.size() && t[i + 1] == '\n') ? 2 : 1;
        start = i;
      } else {
        ++i;
      }
    }
    if (start < t.size()) out.push_back(t.substr(start));
    return out;
  };
  const char alphabet[] = {'a', 'b', '\r', '\n', ' '};
  uint32_t seed = 15;
  for (int round = 0; round < 3000; ++round) {
    std::string t;
    const int n = round % 40;
    for (int i = 0; i < n; ++i) {
      seed = seed * 1664525u + 1013904223u;
      t += alphabet[(seed >> 16) % 5];
    }
    ASSERT_EQ(SplitLines(t.data(), t.size()), reference(t)) << round;
  }
}

TEST(Streams, ReadBufferFailsOnShortData) {
  TMemoryStream m;
  m.WriteBuffer("abcdef", 6);
  m.SetPosition(2);
  char buf[8] = {};
  m.ReadBuffer(buf, 4);
  EXPECT_STREQ(buf, "cdef");
  try {
    m.ReadBuffer(buf, 1);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  EXPECT_THROW(m.Seek(-1, TSeekOrigin::Beginning), EReadError);
  m.SetPosition(0);
  TMemoryStream dst;
  EXPECT_THROW(dst.CopyFrom(m, 7), EReadError);  // more than the source holds
  EXPECT_EQ(dst.Size(), 0);
}

TEST(Streams, FileErrorsNameTheFile) {
  TempDir dir;
  std::string missing = dir / "nope.bin";
  try {
    TFileStream f(missing, TFileMode::OpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + missing);
  }
  std::string bad = dir / "no-such-folder/out.bin";
  try {
    TFileStream f(bad, TFileMode::Create);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file " + bad);
  }
}

TEST(Paths, BothDelimitersAccepted) {
  EXPECT_EQ(ExtractFileName("C:\\levels\\canyon.jkl"), "canyon.jkl");
  EXPECT_EQ(ExtractFileName("/a/b/c.gob"), "c.gob");
  EXPECT_EQ(ExtractFileName("C:x.jkl"), "x.jkl");
  EXPECT_EQ(ExtractFilePath("jkl\\ship.jkl"), "jkl\\");
  EXPECT_EQ(ExtractFileExt("a.b\\c"), "");
  EXPECT_EQ(ExtractFileExt("wall.MAT"), ".MAT");
  EXPECT_EQ(ChangeFileExt("Wall.MAT", ".tga"), "Wall.tga");
  EXPECT_EQ(ChangeFileExt("wall", ".tga"), "wall.tga");
  EXPECT_EQ(ChangeFileExt("dir.x/wall", ".jpg"), "dir.x/wall.jpg");
  EXPECT_EQ(JoinPath("", "a.mat"), "a.mat");
  EXPECT_EQ(JoinPath("in\\", "a.mat"), "in\\a.mat");
  EXPECT_EQ(JoinPath("in/", "a.mat"), "in/a.mat");
  EXPECT_EQ(JoinPath("in", "a.mat"), std::string("in") + PathDelim + "a.mat");
  EXPECT_TRUE(MatchesMask("WALL.MAT", "*.mat"));
  EXPECT_FALSE(MatchesMask("wall.mat.bak", "*.mat"));
}

TEST(Files, AtomicWriteLeavesOldFileOnFailure) {
  TempDir dir;
  std::string path = dir / "settings.ini";
  WriteFileAtomic(path, std::string("old\r\n"));
  EXPECT_EQ(testing_support::ReadFile(path), "old\r\n");
  EXPECT_THROW(WriteFileAtomic(path,
                               [](TStream& s) {
                                 s.WriteBuffer("half", 4);
                                 throw EWriteError();
                               }),
               EWriteError);
  EXPECT_EQ(testing_support::ReadFile(path), "old\r\n");
  EXPECT_EQ(FindFiles(dir.Path(), "*").size(), 1u);  // no temporary file left behind
  EXPECT_TRUE(ForceDirectories(dir / "a/b/c"));
  EXPECT_TRUE(DirectoryExists(dir / "a/b"));
}

TEST(Files, AtomicFileStreamsAndReplacesOnlyOnCommit) {
  TempDir dir;
  std::string path = dir / "out.map";
  WriteFileAtomic(path, std::string("old"));
  {
    TAtomicFile file(path);
    file.Stream().WriteBuffer("new", 3);
    EXPECT_EQ(testing_support::ReadFile(path),
              "old");  // nobody sees the new text before the commit
  }
  EXPECT_EQ(testing_support::ReadFile(path), "old");  // dropped without a commit: target untouched
  EXPECT_EQ(FindFiles(dir.Path(), "*").size(), 1u);
  {
    TAtomicFile file(path);
    file.Stream().WriteBuffer("new", 3);
    file.Commit();
  }
  EXPECT_EQ(testing_support::ReadFile(path), "new");
  EXPECT_EQ(FindFiles(dir.Path(), "*").size(), 1u);
  EXPECT_THROW(TAtomicFile(dir / "missing/out.map"), EFCreateError);
}

TEST(SplitCommaText, ListRules) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitCommaText("a.gob,b.gob"), (V{"a.gob", "b.gob"}));
  EXPECT_EQ(SplitCommaText("a.gob, b.gob"), (V{"a.gob", "b.gob"}));
  EXPECT_EQ(SplitCommaText("c:\\my games\\x.gob"), (V{"c:\\my", "games\\x.gob"}));
  EXPECT_EQ(SplitCommaText("\"c:\\my games\\x.gob\",y.goo"), (V{"c:\\my games\\x.gob", "y.goo"}));
  EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\""), (V{"say \"hi\""}));
  EXPECT_EQ(SplitCommaText("a,"), (V{"a", ""}));
  EXPECT_EQ(SplitCommaText("a,,b"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitCommaText(""), V{});
  EXPECT_EQ(SplitCommaText("  "), V{});
}
