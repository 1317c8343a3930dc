// The batch converter without its window, and "morvane convert" on top of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "MatFixture.h"
#include "cli/Cli.h"
#include "container/O_jkc.h"
#include "plugin/main.h"
#include "rtl/Paths.h"
#include "support/HeadlessPlatform.h"
#include "support/TestSupport.h"
#include "texture/BatchConvert.h"

using testing_support::Bytes;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// A one-cel 8-bit texture whose pixels are all `index`.
std::string Mat(int32_t w, int32_t h, uint8_t index = 5) {
  return mat_fixture::TextureMat({{w, h, std::string(static_cast<size_t>(w * h), char(index))}});
}
// Type 2 but its first record is no texture record: decodes to nothing.
std::string NotATextureMat() { return mat_fixture::Header(2, 1, 8).i32(99).zeros(36).data; }
// Cut inside the pixel rows.
std::string TruncatedMat() { return Mat(8, 8).substr(0, 76 + 40 + 24 + 10); }

// 64 header bytes, then palette entry i = (i, 255 - i, i / 2).
std::string Cmp() {
  Bytes b;
  b.zeros(64);
  for (int i = 0; i < 256; ++i) b.u8(uint8_t(i)).u8(uint8_t(255 - i)).u8(uint8_t(i / 2));
  return b.data;
}

std::set<std::string> Files(const std::string& dir) {
  std::vector<std::string> v = rtl::FindFiles(dir, "*");
  return std::set<std::string>(v.begin(), v.end());
}

struct Recorder {
  std::vector<std::string> status;
  std::vector<std::pair<int, int>> progress;
  std::vector<std::pair<std::string, std::string>> failures;
  TBatchCallbacks callbacks() {
    TBatchCallbacks cb;
    cb.Status = [this](const std::string& t) { status.push_back(t); };
    cb.Progress = [this](int i, int n) { progress.emplace_back(i, n); };
    cb.Failure = [this](const std::string& n, const std::string& r) {
      failures.emplace_back(n, r);
    };
    return cb;
  }
};

TBatchOptions DirOptions(const std::string& in, const std::string& out) {
  TBatchOptions o;
  o.Input = TBatchInput::Directory;
  o.Source = in;
  o.OutputDir = out;
  return o;
}

TBatchOptions GobOptions(const std::string& gob, const std::string& out) {
  TBatchOptions o = DirOptions(gob, out);
  o.Input = TBatchInput::Container;
  return o;
}

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(nothing raised)";
}

}  // namespace

TEST(BatchFromDir, ABrokenFileIsCountedApartAndNamed) {
  TempDir t;
  const std::string in = t / "in", out = t / "out";
  ASSERT_TRUE(rtl::ForceDirectories(in));
  WriteFile(in + "/wall.mat", Mat(2, 2));
  WriteFile(in + "/Floor.MAT", Mat(3, 1));
  WriteFile(in + "/broken.mat", TruncatedMat());
  WriteFile(in + "/readme.txt", "not a texture file");

  Recorder r;
  TBatchResult res = ConvertFromDir(DirOptions(in, out), r.callbacks());
  EXPECT_TRUE(res.Ran);
  EXPECT_EQ(res.Converted, 2);
  EXPECT_EQ(res.Failed, 1);

  // One progress text per file, numbered from 1 in listing order, then the done text.
  ASSERT_EQ(r.status.size(), 4u);
  std::set<std::string> seen;
  for (int i = 0; i < 3; ++i) {
    const std::string prefix = rtl::Format(" Status: (%d) ", i + 1);
    ASSERT_EQ(r.status[i].rfind(prefix, 0), 0u) << r.status[i];
    seen.insert(r.status[i].substr(prefix.size()));
    EXPECT_EQ(r.progress[i], std::make_pair(i, 3));
  }
  EXPECT_EQ(seen, (std::set<std::string>{"wall.mat...", "Floor.MAT...", "broken.mat..."}));
  EXPECT_EQ(r.status.back(), " Status: Done, converted 2 textures, 1 failed");
  ASSERT_EQ(r.failures.size(), 1u);
  EXPECT_EQ(r.failures[0],
            std::make_pair(std::string("broken.mat"),
                           "Stream read error (in '" + rtl::NativePath(in + "/broken.mat") + "')"));

  // The file name keeps its case, only the extension changes; nothing of the broken one.
  EXPECT_EQ(Files(out), (std::set<std::string>{"wall.tga", "Floor.tga"}));
  EXPECT_EQ(ReadFile(out + "/wall.tga").size(), 44u + 2 * 2 * 4);
  EXPECT_EQ(ReadFile(out + "/Floor.tga").size(), 44u + 3 * 1 * 4);
}

TEST(BatchFromDir, DoneTextKeepsItsWordingWhenNothingFailed) {
  TempDir t;
  WriteFile(t / "a.mat", Mat(1, 1));
  Recorder r;
  ConvertFromDir(DirOptions(t.Path(), t / "out"), r.callbacks());
  EXPECT_EQ(r.status, (std::vector<std::string>{" Status: (1) a.mat...",
                                                " Status: Done, converted 1 textures"}));

  // A file that decodes to nothing is a failure, not an empty image.
  WriteFile(t / "b.mat", NotATextureMat());
  TempDir out2;
  Recorder r2;
  TBatchResult res = ConvertFromDir(DirOptions(t.Path(), out2.Path()), r2.callbacks());
  EXPECT_EQ(res.Converted, 1);
  EXPECT_EQ(res.Failed, 1);
  EXPECT_EQ(r2.status.back(), " Status: Done, converted 1 textures, 1 failed");
  EXPECT_EQ(Files(out2.Path()), (std::set<std::string>{"a.tga"}));
  ASSERT_EQ(r2.failures.size(), 1u);
  EXPECT_EQ(r2.failures[0].second, "not a texture");
}

TEST(BatchFromDir, FolderTextsWithAndWithoutTrailingDelimiterGiveTheSameNames) {
  TempDir t;
  const std::string in = t / "in";
  ASSERT_TRUE(rtl::ForceDirectories(in));
  WriteFile(in + "/one.mat", Mat(1, 2));
  WriteFile(in + "/two.mat", Mat(2, 1));

  std::vector<std::vector<std::string>> statuses;
  int n = 0;
  for (std::string suffix : {"", "/", "\\"}) {
    const std::string out = t / ("out" + std::to_string(n++));
    Recorder r;
    ConvertFromDir(DirOptions(in + suffix, out + suffix), r.callbacks());
    EXPECT_EQ(Files(out), (std::set<std::string>{"one.tga", "two.tga"})) << "suffix " << suffix;
    std::sort(r.status.begin(), r.status.end() - 1);
    statuses.push_back(r.status);
  }
  EXPECT_EQ(statuses[0], statuses[1]);
  EXPECT_EQ(statuses[0], statuses[2]);
}

TEST(BatchFromDir, FormatsAndPalette) {
  TempDir t;
  WriteFile(t / "p.mat", Mat(4, 2, 7));
  TBatchOptions o = DirOptions(t.Path(), t / "out");
  for (int i = 0; i < 256; ++i) o.Palette[i] = TRGBTriple{0, 0, 0};
  o.Palette[7] = TRGBTriple{10, 20, 30};

  ConvertFromDir(o, {});
  std::string tga = ReadFile(t / "out" + std::string("/p.tga"));
  ASSERT_EQ(tga.size(), 44u + 4 * 2 * 4);
  EXPECT_EQ(tga.substr(12, 4), std::string("\x04\x00\x02\x00", 4));
  EXPECT_EQ(tga.substr(18, 4), std::string("\x1e\x14\x0a\xff", 4));  // blue, green, red, opaque

  o.Format = TBatchFormat::JPEG;
  TBatchResult res = ConvertFromDir(o, {});
  EXPECT_EQ(res.Converted, 1);
  std::string jpg = ReadFile(t / "out" + std::string("/p.jpg"));
  ASSERT_GT(jpg.size(), 4u);
  EXPECT_EQ(jpg.substr(0, 2), "\xff\xd8");
  EXPECT_EQ(jpg.substr(jpg.size() - 2), "\xff\xd9");
}

TEST(BatchFolders, OutputIsCreatedInputNeverIs) {
  TempDir t;
  WriteFile(t / "a.mat", Mat(1, 1));
  const std::string deep = t / "x/y/z";
  EXPECT_EQ(ConvertFromDir(DirOptions(t.Path(), deep), {}).Converted, 1);
  EXPECT_TRUE(rtl::FileExists(deep + "/a.tga"));

  // A missing input folder is reported and created by nobody; the output is not made either.
  const std::string missing = t / "no/such", out = t / "out-never";
  EXPECT_EQ(Message([&] { ConvertFromDir(DirOptions(missing, out), {}); }),
            "Input directory '" + missing + "' does not exist");
  EXPECT_EQ(Message([&] { ConvertFromDir(DirOptions("", out), {}); }), "No input directory given");
  EXPECT_FALSE(rtl::DirectoryExists(missing));
  EXPECT_FALSE(rtl::DirectoryExists(out));
}

TEST(BatchFolders, UnableToCreateDirectory) {
  TempDir t;
  WriteFile(t / "a.mat", Mat(1, 1));
  WriteFile(t / "blocker", "a file where a folder should be");
  WriteFile(t / "c.gob", testing_support::MakeGob({{"mat\\a.mat", Mat(1, 1)}}));
  // The message names the folder that could not be made.
  const std::string blocked = " (folder '" + (t / "blocker/sub") + "')";
  for (auto c :
       {std::make_pair(DirOptions(t.Path(), t / "blocker/sub"), blocked),
        std::make_pair(GobOptions(t / "c.gob", t / "blocker/sub"), blocked),
        std::make_pair(DirOptions(t.Path(), ""), std::string(" (no output folder given)"))}) {
    Recorder r;
    EXPECT_EQ(Message([&] { RunBatchConversion(c.first, r.callbacks()); }),
              "Unable to create directory" + c.second);
    EXPECT_TRUE(r.status.empty());
  }
}

TEST(BatchFromContainer, OnlyMatFolderEntriesLowerCaseNamesCountFromZero) {
  TempDir t;
  const std::string gob = t / "Tex.GOB";
  WriteFile(gob, testing_support::MakeGob({{"jkl\\level.jkl", "text"},
                                           {"MAT\\B.MAT", Mat(2, 3)},
                                           {"misc\\cmp\\p.cmp", Cmp()},
                                           {"3do\\mat\\x.mat", Mat(1, 1)},
                                           {"matx\\y.mat", Mat(1, 1)},
                                           {"mat\\a.mat", Mat(1, 1)},
                                           {"sound\\s.wav", "RIFF"}}));
  Recorder r;
  TBatchResult res = ConvertFromContainer(GobOptions(gob, t / "out"), r.callbacks());
  EXPECT_EQ(res.Converted, 2);
  EXPECT_EQ(res.Failed, 0);
  EXPECT_EQ(r.status,
            (std::vector<std::string>{" Status: (0) mat\\a.mat...", " Status: (1) mat\\b.mat...",
                                      " Status: Done, converted 2 textures"}));
  EXPECT_EQ(r.progress, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}}));
  EXPECT_EQ(Files(t / "out"), (std::set<std::string>{"a.tga", "b.tga"}));
  EXPECT_EQ(ReadFile(t / "out/b.tga").size(), 44u + 2 * 3 * 4);
}

TEST(BatchFromContainer, BadEntriesFailAloneAndTheRunGoesOn) {
  TempDir t;
  const std::string gob = t / "c.gob";
  WriteFile(gob, testing_support::MakeGob({{"mat\\a.mat", NotATextureMat()},
                                           {"mat\\b.mat", TruncatedMat()},
                                           {"mat\\c.mat", Mat(1, 1)}}));
  Recorder r;
  TBatchOptions o = GobOptions(gob, t / "out");
  o.Format = TBatchFormat::JPEG;
  TBatchResult res = ConvertFromContainer(o, r.callbacks());
  EXPECT_EQ(res.Converted, 1);
  EXPECT_EQ(res.Failed, 2);
  EXPECT_EQ(r.status[2], " Status: (2) mat\\c.mat...");
  EXPECT_EQ(r.status.back(), " Status: Done, converted 1 textures, 2 failed");
  EXPECT_EQ(r.failures, (std::vector<std::pair<std::string, std::string>>{
                            {"mat\\a.mat", "not a texture"}, {"mat\\b.mat", "Stream read error"}}));
  EXPECT_EQ(Files(t / "out"), (std::set<std::string>{"c.jpg"}));
}

TEST(BatchFromContainer, MissingContainerDoesNothingAtAll) {
  TempDir t;
  Recorder r;
  TBatchResult res = RunBatchConversion(GobOptions(t / "none.gob", t / "out"), r.callbacks());
  EXPECT_FALSE(res.Ran);
  EXPECT_TRUE(r.status.empty());
  EXPECT_TRUE(r.progress.empty());
  EXPECT_FALSE(rtl::DirectoryExists(t / "out"));

  // A file that is no container: its error, and still no output folder.
  WriteFile(t / "junk.gob", testing_support::MakeGob({{"mat\\a.mat", "x"}}).substr(0, 40));
  EXPECT_EQ(
      Message([&] { RunBatchConversion(GobOptions(t / "junk.gob", t / "out"), r.callbacks()); }),
      "Stream read error (in '" + (t / "junk.gob") +
          "', which is no GOB/GOO container or a damaged one)");
  EXPECT_TRUE(r.status.empty());
  EXPECT_FALSE(rtl::DirectoryExists(t / "out"));
}

TEST(BatchPalette, FromCmpAndFromContainerEntry) {
  TempDir t;
  WriteFile(t / "p.cmp", Cmp());
  WriteFile(t / "short.cmp", Cmp().substr(0, 831));
  const std::string gob = t / "r.gob";
  WriteFile(gob, testing_support::MakeGob({{"misc\\cmp\\p.cmp", Cmp()}, {"jkl\\x.jkl", "x"}}));

  TPaletteRGB fromFile = ReadPaletteSource(t / "p.cmp");
  EXPECT_EQ(fromFile[200].R, 200);
  EXPECT_EQ(fromFile[200].G, 55);
  EXPECT_EQ(fromFile[200].B, 100);
  EXPECT_TRUE(ReadPaletteSource(gob + ">>misc\\cmp\\p.cmp") == fromFile);
  EXPECT_TRUE(ReadPaletteSource(gob + ">>MISC/cmp/P.CMP") == fromFile);

  EXPECT_EQ(Message([&] { ReadPaletteSource(t / "none.cmp"); }),
            "Cannot open file " + (t / "none.cmp"));
  EXPECT_EQ(Message([&] { ReadPaletteSource(t / "short.cmp"); }),
            "Stream read error (in '" + (t / "short.cmp") + "')");
  EXPECT_EQ(Message([&] { ReadPaletteSource(gob + ">>misc\\cmp\\q.cmp"); }),
            "Palette entry 'misc\\cmp\\q.cmp' not found in " + gob);
  // A palette file in a folder whose name holds ">>" (found beside a level) is a file.
  rtl::ForceDirectories(t / "a>>b/misc/cmp");
  WriteFile(t / "a>>b/misc/cmp/red.cmp", Cmp());
  EXPECT_TRUE(ReadPaletteSource(t / "a>>b/misc/cmp/red.cmp") == fromFile);
}

TEST(BatchPalette, PickFromFileOrContainerOrNothing) {
  TempDir t;
  WriteFile(t / "P.CMP", Cmp());
  WriteFile(t / "short.cmp", Cmp().substr(0, 100));
  const std::string gob = t / "r.goo";
  WriteFile(gob, testing_support::MakeGob({{"misc\\cmp\\p.cmp", Cmp()}}));

  TPaletteRGB palette = DefaultPalette;
  std::string shown = "dflt.cmp";
  std::vector<std::string> asked;
  std::string answer;
  TEntrySelector select = [&](const TJKContainer& c, const std::string& folder) {
    asked.push_back(folder + " of " + rtl::ExtractFileName(c.FileName));
    return answer;
  };

  // Cancelled picker, unknown extension, short file: nothing changes.
  EXPECT_FALSE(PickPalette(gob, select, palette, shown));
  EXPECT_FALSE(PickPalette(t / "p.txt", select, palette, shown));
  EXPECT_EQ(Message([&] { PickPalette(t / "short.cmp", select, palette, shown); }),
            "Stream read error (in '" + (t / "short.cmp") + "')");
  EXPECT_TRUE(palette == DefaultPalette);
  EXPECT_EQ(shown, "dflt.cmp");
  EXPECT_EQ(asked, (std::vector<std::string>{"misc\\cmp\\ of r.goo"}));

  answer = "misc\\cmp\\p.cmp";
  EXPECT_TRUE(PickPalette(gob, select, palette, shown));
  EXPECT_EQ(shown, gob + ">>misc\\cmp\\p.cmp");
  EXPECT_TRUE(palette == ReadPaletteSource(t / "P.CMP"));

  palette = DefaultPalette;
  EXPECT_TRUE(PickPalette(t / "P.CMP", select, palette, shown));  // extension in any case
  EXPECT_EQ(shown, t / "P.CMP");
  EXPECT_FALSE(palette == DefaultPalette);
}

namespace {

int Cli(const std::vector<std::string>& args, std::string& out, std::string& err) {
  std::vector<std::string> full = {"morvane", "convert"};
  full.insert(full.end(), args.begin(), args.end());
  std::ostringstream o, e;
  int code = RunCli(full, o, e);
  out = o.str();
  err = e.str();
  return code;
}

}  // namespace

TEST(BatchCli, ConvertPrintsStatusLinesAndExitsByOutcome) {
  TempDir t;
  const std::string in = t / "in";
  ASSERT_TRUE(rtl::ForceDirectories(in));
  WriteFile(in + "/good.mat", Mat(2, 2));
  std::string out, err;

  EXPECT_EQ(Cli({"--dir", in, "--out", t / "o1"}, out, err), 0) << err;
  EXPECT_EQ(out, "Status: (1) good.mat...\nStatus: Done, converted 1 textures\n");
  EXPECT_EQ(err, "");

  WriteFile(in + "/bad.mat", "MAT");
  EXPECT_EQ(Cli({"--dir", in, "--out", t / "o2", "--format", "JPG"}, out, err), 1);
  EXPECT_NE(out.find("Status: Done, converted 1 textures, 1 failed\n"), std::string::npos) << out;
  EXPECT_EQ(err, "morvane convert: bad.mat: Stream read error (in '" +
                     rtl::NativePath(in + "/bad.mat") + "')\n");
  EXPECT_EQ(Files(t / "o2"), (std::set<std::string>{"good.jpg"}));

  // A container with a palette taken from itself.
  const std::string gob = t / "c.gob";
  WriteFile(
      gob, testing_support::MakeGob({{"mat\\w.mat", Mat(1, 1, 200)}, {"misc\\cmp\\p.cmp", Cmp()}}));
  EXPECT_EQ(Cli({"--container", gob, "--out", t / "o3", "--palette", gob + ">>misc\\cmp\\p.cmp"},
                out, err),
            0)
      << err;
  EXPECT_EQ(out, "Status: (0) mat\\w.mat...\nStatus: Done, converted 1 textures\n");
  EXPECT_EQ(ReadFile(t / "o3/w.tga").substr(18, 4), std::string("\x64\x37\xc8\xff", 4));

  // Failures of the whole run.
  WriteFile(t / "blocker", "x");
  EXPECT_EQ(Cli({"--dir", in, "--out", t / "blocker/o"}, out, err), 1);
  EXPECT_EQ(err,
            "morvane convert: Unable to create directory (folder '" + (t / "blocker/o") + "')\n");
  EXPECT_EQ(Cli({"--dir", in, "--out", t / "o4", "--palette", t / "none.cmp"}, out, err), 1);
  EXPECT_EQ(err, "morvane convert: Cannot open file " + (t / "none.cmp") + "\n");
}

TEST(BatchCli, UsageErrorsExitWithTwo) {
  TempDir t;
  const std::string gob = t / "c.gob";
  WriteFile(gob, testing_support::MakeGob({}));
  struct Case {
    std::vector<std::string> args;
    std::string first;  // the first line of standard error
  } cases[] = {
      {{}, "morvane convert: expects exactly one of --dir DIR and --container FILE"},
      {{"--dir", t.Path(), "--container", gob, "--out", "o"},
       "morvane convert: expects exactly one of --dir DIR and --container FILE"},
      {{"--dir", t.Path()}, "morvane convert: expects --out DIR"},
      {{"--dir", t.Path(), "--out", "o", "--format", "bmp"},
       "morvane convert: unknown format 'bmp' (tga or jpg)"},
      {{"--dir", t.Path(), "--out", "o", "extra"}, "morvane convert: unexpected argument 'extra'"},
      {{"--dir", t.Path(), "--out", "o", "--quality", "9"},
       "morvane convert: unknown option '--quality'"},
      {{"--dir", t / "none", "--out", "o"},
       "morvane convert: no such directory '" + (t / "none") + "'"},
      {{"--container", t / "none.gob", "--out", "o"},
       "morvane convert: no such file '" + (t / "none.gob") + "'"},
  };
  for (const Case& c : cases) {
    std::string out, err;
    EXPECT_EQ(Cli(c.args, out, err), 2) << c.first;
    EXPECT_EQ(err.substr(0, err.find('\n')), c.first);
    EXPECT_EQ(out, "");
  }
  EXPECT_FALSE(rtl::DirectoryExists("o"));
}

namespace {
std::vector<std::string> g_batchConsole;
void QERAPI RecordBatchConsole(const char* text) { g_batchConsole.push_back(text); }
}  // namespace

TEST(BatchCommand, DispatchOpensTheDialogOnTheCommandsSettings) {
  TempDir t;
  THeadlessPlatform platform;
  platform.libraryPath = t / "morvane.dll";
  WriteFile(t / "morvane.ini", "ConvTexDir=in\r\nother=1\r\n");
  std::string seen;
  platform.convTexDialog = [&](rtl::TStringList& s) {
    seen = s.Values("ConvTexDir");
    s.SetValue("ConvTexDir", "");  // an emptied field removes its key
    s.SetValue("ConvTexOutputDir", "out");
    return false;
  };
  SetPlatform(&platform);
  ThePlugin().Table() = THostFuncTable{};
  GetFuncTable()->ConsolePrint = RecordBatchConsole;
  g_batchConsole.clear();
  Dispatch("Batch Convert Textures...");
  SetPlatform(nullptr);
  ThePlugin().Table() = THostFuncTable{};

  EXPECT_EQ(seen, "in");
  EXPECT_EQ(platform.events, (std::vector<std::string>{"convtex-dialog"}));
  EXPECT_TRUE(g_batchConsole.empty());
  EXPECT_EQ(ReadFile(t / "morvane.ini"), "other=1\r\nConvTexOutputDir=out\r\n");
}

// Entries in other folders or in another letter case can give the same image name: the first
// image written stays, and each later entry counts as failed with a line naming both entries.
TEST(BatchFromContainer, ASecondEntryOfTheSameImageNameIsNotWrittenOverTheFirst) {
  TempDir t;
  const std::string gob = t / "c.gob";
  WriteFile(gob, testing_support::MakeGob({{"mat\\x.mat", Mat(1, 1, 16)},
                                           {"mat\\sub\\x.mat", Mat(1, 1, 0)},
                                           {"MAT\\X.MAT", Mat(1, 1, 0)},
                                           {"mat\\y.mat", TruncatedMat()},
                                           {"mat\\z\\y.mat", Mat(1, 1, 31)}}));
  Recorder r;
  TBatchResult res = ConvertFromContainer(GobOptions(gob, t / "out"), r.callbacks());
  EXPECT_EQ(res.Converted, 2);
  EXPECT_EQ(res.Failed, 3);
  EXPECT_EQ(r.status.back(), " Status: Done, converted 2 textures, 3 failed");
  // Keys are sorted: mat\sub\x.mat, mat\x.mat, mat\x.mat (the upper-case one), mat\y.mat,
  // mat\z\y.mat. A failed image (y) does not keep a later entry from writing it.
  const std::string notOver = " already in this run; not written over";
  EXPECT_EQ(r.failures,
            (std::vector<std::pair<std::string, std::string>>{
                {"mat\\x.mat", "its image x.tga was written from mat\\sub\\x.mat" + notOver},
                {"mat\\x.mat", "its image x.tga was written from mat\\sub\\x.mat" + notOver},
                {"mat\\y.mat", "Stream read error"}}));
  EXPECT_EQ(Files(t / "out"), (std::set<std::string>{"x.tga", "y.tga"}));
  // x.tga is the first entry's image (palette index 0: black), y.tga the blue of index 31.
  EXPECT_EQ(ReadFile(t / "out/x.tga").substr(18, 4), std::string("\x00\x00\x00\xff", 4));
  EXPECT_EQ(ReadFile(t / "out/y.tga").substr(18, 4), std::string("\xff\x00\x00\xff", 4));
}
