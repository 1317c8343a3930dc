// The command-line host's own conventions: help and version, the option parser, what it says
// about inputs that are no files, outputs that would destroy their input, where its settings
// live and the counts of replaced outputs.
#include "cli/Cli.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <sstream>

#include "import/LevelTextures.h"
#include "plugin/main.h"
#include "rtl/Files.h"
#include "support/CliRun.h"
#include "support/JklText.h"
#include "support/SampleImport.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

using TRun = testing_support::TCliRun;
using testing_support::Morvane;

std::string Sample() {
  return rtl::JoinPath(MORVANE_SOURCE_DIR, rtl::NativePath("examples/sample/sample.gob"));
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

#ifndef _WIN32
// Sets an environment variable for one scope and puts the old value back afterwards.
class TEnv {
 public:
  TEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TEnv() {
    if (had_)
      setenv(name_, old_.c_str(), 1);
    else
      unsetenv(name_);
  }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};
#endif

}  // namespace

TEST(CliConventions, EveryCommandHasItsHelpAndTheProgramItsVersion) {
  for (const char* command : {"import", "list", "extract", "convert"}) {
    for (const char* flag : {"--help", "-h"}) {
      TRun r = Morvane({command, flag});
      EXPECT_EQ(r.code, 0) << command << " " << flag << "\n" << r.err;
      EXPECT_EQ(r.out.rfind(std::string("usage:\n  morvane ") + command + " ", 0), 0u) << r.out;
      EXPECT_NE(r.out.find("exit status:"), std::string::npos);
      EXPECT_EQ(r.err, "");
    }
    // Help wins over whatever else the line holds, even a missing PATH.
    EXPECT_EQ(Morvane({command, "--bogus", "--help"}).code, 2);
    EXPECT_EQ(Morvane({command, "x", "--help"}).code, 0);
    EXPECT_EQ(Morvane({"help", command}).out, Morvane({command, "--help"}).out);
  }
  TRun help = Morvane({"import", "--help"});
  EXPECT_NE(help.out.find("--overwrite-textures"), std::string::npos);
  EXPECT_EQ(help.out.find("morvane list"), std::string::npos);  // that command's help only

  TRun all = Morvane({"--help"});
  EXPECT_EQ(all.code, 0);
  for (const char* command : {"import", "list", "extract", "convert"})
    EXPECT_NE(all.out.find(std::string("  morvane ") + command + " "), std::string::npos);

  TRun version = Morvane({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "morvane " MORVANE_VERSION "\n");
  EXPECT_EQ(Morvane({"help", "frobnicate"}).code, 2);
}

TEST(CliConventions, DoubleDashEndsTheOptionsAndSwitchesTakeNoValue) {
  TempDir dir;
  TRun r = Morvane({"import", "--map", dir / "x.map", "--", "--entry"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(FirstLine(r.err), "morvane import: no such file '--entry'");

  r = Morvane({"import", "--", "a.jkl", "b.jkl"});
  EXPECT_EQ(FirstLine(r.err), "morvane import: expects exactly one PATH");

  r = Morvane({"import", "x.jkl", "--overwrite-textures=1"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(FirstLine(r.err), "morvane import: option '--overwrite-textures' takes no value");
  EXPECT_NE(r.err.find("Run 'morvane import --help'"), std::string::npos);

  r = Morvane({"list", "--", "-h"});  // "-h" after "--" is a file name, not a help request
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(FirstLine(r.err), "morvane list: no such file '-h'");
}

TEST(CliConventions, InputsThatAreNoFilesSaySo) {
  TempDir dir;
  ASSERT_TRUE(rtl::ForceDirectories(dir / "folder.gob"));
  const std::string folder = dir / "folder.gob";
  struct Case {
    std::vector<std::string> args;
    std::string first;
  } cases[] = {
      {{"import", folder, "--map", dir / "m.map"},
       "morvane import: '" + folder + "' is a directory, not a file"},
      {{"list", folder}, "morvane list: '" + folder + "' is a directory, not a file"},
      {{"extract", folder, "k"}, "morvane extract: '" + folder + "' is a directory, not a file"},
      {{"convert", "--container", folder, "--out", dir / "o"},
       "morvane convert: '" + folder + "' is a directory, not a file"},
      {{"convert", "--dir", Sample(), "--out", dir / "o"},
       "morvane convert: '" + Sample() + "' is not a directory"},
#ifndef _WIN32
      {{"import", "/dev/null", "--map", dir / "m.map"},
       "morvane import: '/dev/null' is a device or FIFO, not a file"},
      {{"list", dir / "fifo"},
       "morvane list: '" + (dir / "fifo") + "' is a device or FIFO, not a file"},
#endif
  };
#ifndef _WIN32
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
#endif
  for (const Case& c : cases) {
    TRun r = Morvane(c.args);
    EXPECT_EQ(r.code, 2) << c.first;
    EXPECT_EQ(FirstLine(r.err), c.first);
  }
  EXPECT_FALSE(rtl::FileExists(dir / "m.map"));
  EXPECT_FALSE(rtl::DirectoryExists(dir / "o"));
}

TEST(CliConventions, EntryWithALooseLevelIsAUsageError) {
  TempDir dir;
  WriteFile(dir / "room.jkl", "SECTION: GEORESOURCE\n");
  TRun r = Morvane({"import", dir / "room.jkl", "--entry", "room", "--settings", dir / "m.ini",
                    "--map", dir / "room.map", "--game-dir", dir.Folder("game")});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(FirstLine(r.err).find("--entry"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(rtl::FileExists(dir / "room.map"));
  EXPECT_FALSE(rtl::FileExists(dir / "m.ini"));
}

TEST(CliOutputs, AnOutputThatIsTheInputItselfIsRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  const std::string gob = dir / "s.gob";
  WriteFile(gob, ReadFile(Sample()));
  const std::string original = ReadFile(gob);
  std::vector<std::string> spellings = {gob,
                                        rtl::JoinPath(rtl::JoinPath(dir.Path(), "."), "s.gob")};
#ifndef _WIN32
  ASSERT_EQ(symlink(gob.c_str(), (dir / "link.gob").c_str()), 0);
  ASSERT_EQ(link(gob.c_str(), (dir / "hard.gob").c_str()), 0);
  spellings.push_back(dir / "link.gob");
  spellings.push_back(dir / "hard.gob");
#endif
  for (const std::string& same : spellings) {
    TRun r = Morvane({"import", gob, "--map", same, "--settings", dir / "m.ini", "--game-dir",
                      dir / "game"});
    EXPECT_EQ(r.code, 2) << same;
    EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    r = Morvane({"extract", gob, "jkl/sample.jkl", "-o", same});
    EXPECT_EQ(r.code, 2) << same;
    EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(gob), original);
  }
  EXPECT_FALSE(rtl::FileExists(dir / "m.ini"));
  EXPECT_FALSE(rtl::DirectoryExists(dir / "game"));
  // Another file of the same name elsewhere is no reason to refuse.
  rtl::ForceDirectories(dir / "copy");
  WriteFile(dir / "copy/s.gob", original);
  EXPECT_EQ(Morvane({"extract", gob, "jkl/sample.jkl", "-o", dir / "copy/s.gob"}).code, 0);
}

TEST(CliOutputs, ReplacedOutputsAreCounted) {
  TempDir dir;
  const std::string gob = dir / "s.gob";
  WriteFile(gob, ReadFile(Sample()));
  TRun r = Morvane({"extract", gob, "misc/cmp/sample.cmp", "-o", dir / "p.cmp"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out, (dir / "p.cmp") + "\n");
  r = Morvane({"extract", gob, "misc/cmp/sample.cmp", "-o", dir / "p.cmp"});
  EXPECT_EQ(r.out, (dir / "p.cmp") + " (replaced)\n");

  r = Morvane({"convert", "--container", gob, "--out", dir / "o"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Status: Done, converted 3 textures\n"), std::string::npos) << r.out;
  WriteFile(dir / "o/unrelated.txt", "x");
  rtl::DeleteFile(dir / "o/sky.tga");
  r = Morvane({"convert", "--container", gob, "--out", dir / "o"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("Status: Done, converted 3 textures, 2 replaced\n"), std::string::npos)
      << r.out;
  EXPECT_EQ(ReadFile(dir / "o/unrelated.txt"), "x");
}

TEST(CliSettings, AnUnwritableSettingsFileIsOneWarningLine) {
  TempDir dir;
  WriteFile(dir / "blocker", "x");  // a file where the settings' folder would have to be
  TRun r = Morvane({"import", Sample(), "--settings", dir / "blocker/m.ini", "--map", dir / "s.map",
                    "--game-dir", dir.Folder("game")});
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  int mentions = 0;
  std::istringstream lines(r.out + r.err);
  for (std::string line; std::getline(lines, line);)
    if (line.find("blocker") != std::string::npos) ++mentions;
  EXPECT_EQ(mentions, 1) << r.out << r.err;
  EXPECT_TRUE(rtl::FileExists(dir / "s.map"));
}

TEST(CliImport, OverwriteTexturesConvertsExistingImagesAgain) {
  TempDir dir;
  WriteFile(dir / "m.ini", sample_import::Settings(Sample()));
  const std::string textures =
      rtl::JoinPath(dir / "game", rtl::NativePath(std::string(GameTextureFolder) + "sample"));
  ASSERT_TRUE(rtl::ForceDirectories(textures));
  const std::string floor = rtl::JoinPath(textures, "floor.tga");
  WriteFile(floor, "stale");
  std::vector<std::string> args = {"import", Sample(),      "--settings", dir / "m.ini",
                                   "--map",  dir / "s.map", "--game-dir", dir.Folder("game")};
  ThePlugin().Table().ConsolePrint = nullptr;
  TRun r = Morvane(args);
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  // The command leaves the editor's table as it was: no slot points at the caller's streams.
  EXPECT_EQ(ThePlugin().Table().ConsolePrint, nullptr);
  EXPECT_EQ(ReadFile(floor), "stale");  // by default an existing image is kept
  EXPECT_EQ(r.out.find("floor.tga"), std::string::npos) << r.out;

  args.push_back("--overwrite-textures");
  r = Morvane(args);
  EXPECT_EQ(r.code, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("Saved: " + floor), std::string::npos) << r.out;
  EXPECT_NE(ReadFile(floor), "stale");
  EXPECT_EQ(sample_import::Digest(ReadFile(dir / "s.map"), textures), sample_import::ExpectedDigest)
      << sample_import::Differences(ReadFile(dir / "s.map"), textures);
}

#ifndef _WIN32
TEST(CliSettings, DefaultSettingsLiveInTheUsersConfigurationFolder) {
  TempDir dir;
  const std::vector<std::string> args = {"import",      Sample(),     "--map",
                                         dir / "s.map", "--game-dir", dir.Folder("game")};
  {
    TEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").c_str());
    TRun r = Morvane(args);
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(rtl::FileExists(dir / "xdg/morvane/morvane.ini"));
  }
  {
    TEnv xdg("XDG_CONFIG_HOME", "relative/ignored");
    TEnv home("HOME", (dir / "home").c_str());
    ASSERT_TRUE(rtl::ForceDirectories(dir / "home"));
    TRun r = Morvane(args);
    EXPECT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_TRUE(rtl::FileExists(dir / "home/.config/morvane/morvane.ini"));
    EXPECT_FALSE(rtl::DirectoryExists("relative"));
  }
}
#endif

namespace {

// A standard output that refuses every byte, as ">/dev/full" does.
class TFullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

std::string TwoRoomLevel() {
  jkl_text::TJklLevel l;
  l.Vertices = {"0 0 0", "1 0 0", "0 1 0"};
  l.Surfaces = {{0, 1, 2}, {2, 1, 0}};
  return l.Text();
}

}  // namespace

// Texture names a face line cannot carry are made one word with one line saying so, an empty one
// is a usage error, as for level names; they used to go into every face line as given.
TEST(CliImport, TextureNamesTheMapCannotCarry) {
  TempDir dir;
  WriteFile(dir / "room.jkl", TwoRoomLevel());
  for (const auto& [option, setting, face, said] : std::vector<std::array<std::string, 4>>{
           {"--default-texture=a\"b c{}", "", "a_b_c__",
            "--default-texture 'a\"b c{}' cannot be one word of a face line; 'a_b_c__' is used"},
           {"--overwrite-textures", "NonVisTex=x y\"z", "x_y_z",
            "(NonVisTex \"x y\"z\" becomes \"x_y_z\")"},
           {"--default-texture=", "", "", "--default-texture needs a texture name"}}) {
    WriteFile(dir / "m.ini", "Scale=256\r\nBrushDepth=8\r\n" + setting + "\r\n");
    const TRun run =
        Morvane({"import", dir / "room.jkl", "--game-dir", dir.Folder("game"), "--settings",
                 dir / "m.ini", "--map", dir / (option.substr(2, 5) + ".map"), option});
    EXPECT_EQ(run.code, face.empty() ? 2 : 0) << run.err;
    EXPECT_NE((run.out + run.err).find(said), std::string::npos) << run.out << run.err;
    const std::string map = face.empty() ? "" : ReadFile(dir / (option.substr(2, 5) + ".map"));
    EXPECT_EQ(map.find('"', map.find("\"worldspawn\"") + 13), std::string::npos) << map;
    EXPECT_EQ(map.find(" ) " + face + " 0 0 0 ") == std::string::npos, face.empty()) << map;
  }
}

// A standard output that cannot be written is a failure; an extract key that names no file and
// an empty --map are usage errors saying which; a container's duplicate entries are marked by
// list, and extract and --entry take the first, saying so.
TEST(CliConventions, FailuresThatUsedToPassUnnoticed) {
  TFullBuffer full;
  std::ostream fullOut(&full);
  TempDir dir;
  const std::string gob = dir / "dup.gob", level = TwoRoomLevel();
  WriteFile(gob, testing_support::MakeGob({{"jkl\\a.jkl", level}, {"JKL\\A.JKL", "second"}}));
  for (const std::string command : {"--version", "--help", "list"}) {
    std::ostringstream err;
    EXPECT_EQ(RunCli({"morvane", command, gob}, fullOut, err), 1);
    EXPECT_EQ(err.str(), "morvane: cannot write to standard output\n") << command;
    fullOut.clear();
  }
  for (const std::string key : {"", "mat/"})
    EXPECT_EQ(Morvane({"extract", gob, key})
                  .err.rfind("morvane extract: KEY '" + key + "' names no file", 0),
              0u);
  const TRun emptyMap = Morvane({"import", gob, "--settings", dir / "m.ini", "--map="});
  EXPECT_EQ(emptyMap.code, 2);
  EXPECT_TRUE(emptyMap.out.empty());  // refused before the import ran
  EXPECT_EQ(Morvane({"list", gob}).out,
            "jkl\\a.jkl\t" + std::to_string(level.size()) +
                "\njkl\\a.jkl\t6\t(duplicate of an earlier entry: not used)\n");
  // An entry whose name holds "/" itself is found as written.
  WriteFile(dir / "slash.gob", testing_support::MakeGob({{"mat/wall.mat", "w"}}));
  EXPECT_EQ(Morvane({"extract", dir / "slash.gob", "mat/wall.mat", "-o", dir / "w.mat"}).code, 0);
  EXPECT_EQ(ReadFile(dir / "w.mat"), "w");
  const TRun extract = Morvane({"extract", gob, "jkl/A.jkl", "-o", dir / "a.jkl"});
  EXPECT_EQ(ReadFile(dir / "a.jkl"), level);
  EXPECT_EQ(extract.err, "morvane extract: " + gob +
                             " holds 2 entries named 'jkl\\A.jkl'; the first is taken\n");
  const TRun import = Morvane({"import", gob, "--entry", "a.jkl", "--game-dir", dir.Folder("game"),
                               "--settings", dir / "m.ini", "--map", dir / "a.map"});
  EXPECT_EQ(import.code, 0) << import.err;
  EXPECT_EQ(import.err.rfind("morvane import: " + gob + " holds 2 entries named 'jkl\\a.jkl'", 0),
            0u)
      << import.err;
}
