// The .map writer and the streaming import of the command-line host.
#include "import/MapWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>
#include <stdexcept>

#include "cli/Cli.h"
#include "import/MarkedMap.h"
#include "plugin/main.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "support/MapText.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"

using recording_host::TRecordedBrush;
using recording_host::TRecordedFace;
using recording_host::TRecordingHost;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

TRecordedFace Face(float x, const std::string& texture) {
  TRecordedFace f{};
  for (int i = 0; i < 3; ++i) {
    f.P1[i] = x + static_cast<float>(i);
    f.P2[i] = -x;
    f.P3[i] = x / 3;
  }
  f.TextureName = texture;
  f.ScaleS = f.ScaleT = 0.5f;
  return f;
}

std::string Stream(const std::vector<TRecordedBrush>& brushes, size_t bufferSize, int& flushes) {
  std::string out;
  flushes = 0;
  TMapWriter w(
      [&](const char* d, size_t n) {
        ++flushes;
        out.append(d, n);
      },
      bufferSize);
  w.BeginWorldspawn();
  for (const auto& b : brushes) w.WriteBrush(b);
  w.EndEntity();
  w.Flush();
  return out;
}

}  // namespace

TEST(MapWriter, FaceLinesInOrderOfAdditionWithShortestNumbers) {
  TRecordedBrush b;
  b.Faces.push_back(Face(1, "second"));  // host face 0: the face added last
  TRecordedFace first{};
  const float p1[3] = {-0.0f, 0.1f, 16777216.0f};
  const float p2[3] = {3.4028235e38f, 1e-45f, -2.5f};
  const float p3[3] = {1.0f / 3, -1e-7f, 100};
  std::memcpy(first.P1, p1, sizeof p1);
  std::memcpy(first.P2, p2, sizeof p2);
  std::memcpy(first.P3, p3, sizeof p3);
  first.TextureName = "tex/a";
  first.ShiftS = -0.0f;
  first.ShiftT = 0.25f;
  first.Rotate = 90;
  first.Contents = -1;
  first.Flags = 4;
  first.Value = 2147483647;
  b.Faces.push_back(first);

  int skipped = -1;
  std::string map = WriteMap({b, TRecordedBrush()}, skipped);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(map,
            "{\n\"classname\" \"worldspawn\"\n{\n"
            "( 0 0.1 16777216 ) ( 340282346638528859811704183484516925440 "
            "0.000000000000000000000000000000000000000000001 -2.5 ) "
            "( 0.33333334 -0.0000001 100 ) tex/a 0 0.25 90 0.5 0.5 -1 4 2147483647\n"
            "( 1 2 3 ) ( -1 -1 -1 ) ( 0.33333334 0.33333334 0.33333334 ) second 0 0 0 0.5 0.5 0 0 "
            "0\n"
            "}\n}\n");
}

TEST(MapWriter, NumbersAreTheRuntimesShortestDecimals) {
  // Every kind of Single, by bit pattern: the writer's digits are the runtime's.
  std::mt19937 random(15);
  // Zeros, the extremes, whole numbers at the edges of int32 and around 2^24, then random bits
  // and small decimals; each list twice, as a repeated number may be written differently.
  std::vector<uint32_t> bits = {0,           0x80000000u, 1,           0x7f7fffffu, 0xff7fffffu,
                                0x7f800000u, 0x3f800000u, 0xbf800001u, 0x4effffffu, 0x4f000000u,
                                0xcf000000u, 0xceffffffu, 0x4b800001u, 0x3f000000u};
  for (int i = 0; i < 20000; ++i) bits.push_back(random());
  for (int i = -3000; i < 3000; ++i) {
    float f = static_cast<float>(i) / 64 + 0.1f;
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    bits.push_back(u);
  }
  const size_t once = bits.size();
  for (size_t i = 0; i < once; ++i) bits.push_back(bits[i]);
  std::string expected, got;
  TMapWriter w([&](const char* d, size_t n) { got.append(d, n); }, 1);
  for (uint32_t u : bits) {
    float f;
    std::memcpy(&f, &u, sizeof f);
    if (std::isnan(f)) continue;
    expected += rtl::SingleToStr(f) + ";";
    w.AppendNumber(f);
    w.AppendChar(';');
  }
  w.AppendInt(-2147483647 - 1);
  expected += "-2147483648";
  w.Flush();
  EXPECT_EQ(got, expected);
}

TEST(MapWriter, BufferSizeChangesNothingButTheFlushes) {
  std::vector<TRecordedBrush> brushes(300);
  for (size_t i = 0; i < brushes.size(); ++i)
    for (int k = 0; k < 6; ++k)
      brushes[i].Faces.push_back(
          Face(static_cast<float>(i) * 0.7f + static_cast<float>(k), std::string(k * 40, 'n')));
  int big = 0, small = 0;
  std::string whole = Stream(brushes, 1 << 24, big);
  EXPECT_EQ(big, 1);
  EXPECT_EQ(Stream(brushes, 1, small), whole);
  EXPECT_GT(small, 300);
  int skipped = 0;
  EXPECT_EQ(WriteMap(brushes, skipped), whole);

  // A sink that fails: the error reaches the caller, and the bytes it refused are not offered
  // again.
  std::string out;
  int calls = 0;
  TMapWriter w(
      [&](const char* d, size_t n) {
        if (++calls == 2) throw std::runtime_error("disk full");
        out.append(d, n);
      },
      256);
  w.BeginWorldspawn();
  EXPECT_THROW(for (const auto& b : brushes) w.WriteBrush(b), std::runtime_error);
  w.Flush();
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(out.empty());
  EXPECT_EQ(out, whole.substr(0, out.size()));
}

TEST(RecordingHost, HandsEachCommitOnWithoutKeepingItOrLoggingCalls) {
  THostFuncTable saved = ThePlugin().Table();
  TRecordingHost host("d/t");
  EXPECT_FALSE(host.RecordCalls);
  std::vector<std::pair<int, std::vector<std::string>>> seen;
  host.OnCommit = [&](const TRecordedBrush& b) {
    std::vector<std::string> names;
    for (const auto& f : b.Faces) names.push_back(f.TextureName + std::to_string(f.Flags));
    seen.push_back({b.Number, names});
  };
  host.Install(ThePlugin().Table());
  float a[3] = {1, 2, 3};
  BrushHandle first = ThePlugin().Table().NewBrush();
  BrushHandle second = ThePlugin().Table().NewBrush();
  ASSERT_NE(first, second);
  ThePlugin().Table().AddFace(second, a, a, a);
  ThePlugin().Table().AddFace(first, a, a, a);
  ThePlugin().Table().AddFace(first, a, a, a);
  TFaceData* d = ThePlugin().Table().GetFaceData(first, 0);  // the face added last
  ASSERT_NE(d, nullptr);
  std::strcpy(d->TextureName, "x/last");
  d->Flags = 4;
  ThePlugin().Table().SetFaceData(first, 0, d);
  ThePlugin().Table().CommitBrush(second);
  ThePlugin().Table().CommitBrush(first);
  ThePlugin().Table().CommitBrush(first);  // no longer pending
  // A brush begun after a commit starts empty, whatever record it reuses.
  BrushHandle third = ThePlugin().Table().NewBrush();
  EXPECT_EQ(ThePlugin().Table().GetFaceCount(third), 0);
  ThePlugin().Table().CommitBrush(third);
  ThePlugin().Table() = saved;

  using Names = std::vector<std::string>;
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[0], (std::pair<int, Names>{1, {"d/t0"}}));
  EXPECT_EQ(seen[1], (std::pair<int, Names>{0, {"x/last4", "d/t0"}}));
  EXPECT_EQ(seen[2], (std::pair<int, Names>{2, {}}));
  EXPECT_EQ(host.CommittedCount(), 3u);
  EXPECT_TRUE(host.Committed.empty());
  EXPECT_TRUE(host.Calls.empty());
  EXPECT_EQ(host.PendingCount(), 0u);
}

namespace {

// One sector of one solid surface and one that opens into another sector; a solid surface of a
// single corner makes the conversion fail before any brush is handed over.
std::string OneSurfaceLevel(bool fail) {
  return std::string("SECTION: MATERIALS\nWorld materials 1\n0:\ta.mat\t1.0\t1.0\nend\n") +
         "SECTION: GEORESOURCE\nWorld vertices 3\n0: 0 0 0\n1: 1 0 0\n2: 0 1 0\n" +
         "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 2\n" +
         (fail ? "0: 0 0x4 0 4 3 0 -1 0 1 0,0\n" : "0: 0 0x4 0 4 3 0 -1 0 3 0,0 1,0 2,0\n") +
         "1: 0 0x4 0 4 3 0 0 0 3 0,0 2,0 1,0\n0: 0 0 1\n1: 0 0 -1\n" +
         "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 2\n" +
         "SECTION: THINGS\nWorld things 0\nend\n";
}

int Import(TempDir& dir, const std::string& level, const std::string& map, std::string& err) {
  std::ostringstream o, e;
  int rc = RunCli({"morvane", "import", level, "--game-dir", dir.Folder("game"), "--settings",
                   dir / "m.ini", "--map", map},
                  o, e);
  err = e.str() + o.str();
  return rc;
}

}  // namespace

TEST(ImportMap, WrittenWhenCompleteAndOnlyThen) {
  TempDir dir;
  WriteFile(dir / "good.jkl", OneSurfaceLevel(false));
  WriteFile(dir / "bad.jkl", OneSurfaceLevel(true));
  std::string err;

  ASSERT_EQ(Import(dir, dir / "good.jkl", dir / "good.map", err), 0) << err;
  EXPECT_NE(err.find("wrote 1 brushes to " + (dir / "good.map")), std::string::npos) << err;
  std::string map = ReadFile(dir / "good.map");
  EXPECT_EQ(map.rfind("{\n\"classname\" \"worldspawn\"\n{\n", 0), 0u);
  EXPECT_EQ(map.substr(map.size() - 4), "}\n}\n");

  // A failure before any brush: no map, and an old file of that name is left as it was.
  WriteFile(dir / "bad.map", "old");
  EXPECT_EQ(Import(dir, dir / "bad.jkl", dir / "bad.map", err), 1);
  EXPECT_EQ(err.find("wrote"), std::string::npos) << err;
  EXPECT_EQ(ReadFile(dir / "bad.map"), "old");

  // A map that cannot be made: a clear error, exit status 1, no stray file.
  std::string nowhere = dir / "missing/folder/x.map";
  EXPECT_EQ(Import(dir, dir / "good.jkl", nowhere, err), 1);
  EXPECT_NE(err.find("morvane import: "), std::string::npos);
  EXPECT_EQ(err.find("wrote"), std::string::npos) << err;
  EXPECT_FALSE(rtl::DirectoryExists(dir / "missing"));

  std::vector<std::string> left = rtl::FindFiles(dir.Path(), "*");
  std::sort(left.begin(), left.end());
  for (const std::string& name : left) EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
}

// Maps whose names Morvane chooses: replaced only while they are Morvane's, unchanged; the
// designer's map is kept and the new one goes beside it; nothing is written through a link.
TEST(MarkedMap, ReplacesOnlyItsOwnUnchangedMap) {
  TempDir dir;
  const std::string base = dir.Folder("game");
  const std::string maps = base + "/GameData/base/maps/";
  std::vector<std::string> said;
  auto console = [&said](const std::string& line) { said.push_back(line); };
  auto save = [&](const std::string& body) {
    return SaveMarkedMap(base, maps + "lvl.map", body, console);
  };

  EXPECT_EQ(save("{\n}\n"), maps + "lvl.map");
  const std::string first = ReadFile(maps + "lvl.map");
  EXPECT_EQ(first.rfind("// Morvane map ", 0), 0u);
  EXPECT_EQ(first.substr(first.find('\n') + 1), "{\n}\n");
  // A second import replaces its own map, without a word.
  EXPECT_EQ(save("{\n\"a\" \"1\"\n}\n"), maps + "lvl.map");
  EXPECT_TRUE(said.empty());

  // The designer adds a light: the map is kept, the new one goes beside it, and one line says so.
  const std::string edited = ReadFile(maps + "lvl.map") + "{\n\"classname\" \"light\"\n}\n";
  WriteFile(maps + "lvl.map", edited);
  EXPECT_EQ(save("{\n}\n"), maps + "lvl_2.map");
  EXPECT_EQ(ReadFile(maps + "lvl.map"), edited);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("is no map Morvane wrote, or was changed since"), std::string::npos);
  // The map beside it is Morvane's in turn: the next import replaces it, not a third name.
  EXPECT_EQ(save("{\n}\n"), maps + "lvl_2.map");
  // A map without the mark (the designer's own) counts as changed too.
  WriteFile(maps + "lvl_2.map", "{\n}\n");
  EXPECT_EQ(save("{\n}\n"), maps + "lvl_3.map");

#ifndef _WIN32
  // A link planted at the map's name is left alone, and so is what it leads to.
  WriteFile(dir / "outside.map", "precious");
  std::filesystem::remove(maps + "lvl.map");
  std::filesystem::create_symlink(dir / "outside.map", maps + "lvl.map");
  said.clear();
  EXPECT_EQ(save("{\n}\n"), maps + "lvl_3.map");
  EXPECT_EQ(ReadFile(dir / "outside.map"), "precious");
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("is a link"), std::string::npos) << said[0];
  // A linked folder on the way: no map at all, and nothing where it leads.
  const std::string other = dir.Folder("other");
  std::filesystem::create_symlink(other, base + "/GameData/base/maps2");
  EXPECT_THROW(SaveMarkedMap(base, base + "/GameData/base/maps2/lvl.map", "{\n}\n", console),
               rtl::Exception);
  EXPECT_TRUE(rtl::FindFiles(other, "*").empty());
#endif
}

// The game folder and the map's folder are checked before anything is written.
TEST(ImportMap, FoldersThatDoNotExistAreRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  WriteFile(dir / "good.jkl", OneSurfaceLevel(false));
  const std::string game = dir.Folder("game");
  struct Case {
    std::vector<std::string> args;
    const char* said;
  };
  const Case cases[] = {
      {{"--game-dir", game, "--map", dir / "missing/x.map"}, "does not exist; nothing was written"},
      {{"--game-dir", dir / "gmae", "--map", dir / "x.map"}, "is no folder"},
      {{"--game-dir", dir.Folder("game/GameData"), "--map", dir / "x.map"},
       "is the game's GameData folder itself"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"morvane", "import", dir / "good.jkl", "--settings",
                                     dir / "m.ini"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::ostringstream o, e;
    EXPECT_EQ(RunCli(args, o, e), 1) << c.said;
    EXPECT_NE(e.str().find(c.said), std::string::npos) << e.str();
    EXPECT_FALSE(rtl::DirectoryExists(game + "/GameData/base")) << c.said;
    EXPECT_FALSE(rtl::DirectoryExists(dir / "gmae")) << c.said;
    EXPECT_FALSE(rtl::FileExists(dir / "x.map")) << c.said;
  }
}
