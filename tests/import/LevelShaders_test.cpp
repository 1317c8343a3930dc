// The level's shader script in the game's shaders folder, which the game's own scripts, other
// levels and other tools share: links, stock scripts, lists in other encodings, imports at once,
// and scripts that cannot be written.
#include "import/LevelShaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <sstream>

#include "brush/BrushConvert.h"
#include "cli/Cli.h"
#include "import/BrushStages.h"
#include "import/Pipeline.h"
#include "rtl/Files.h"
#include "support/TestSupport.h"

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

// One sector: a sky ceiling (material 0) over a floor; the sky needs a shader entry.
const char* const SkyLevel =
    "SECTION: MATERIALS\nWorld materials 2\n0: sky.mat\n1: floor.mat\nend\n"
    "SECTION: GEORESOURCE\n"
    "World vertices 4\n0: 0 0 0\n1: 1 0 0\n2: 1 1 0\n3: 0 1 0\n"
    "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 2\n"
    "0: 0 0x200 0x0 4 0 0 -1 0 4 3,0 2,0 1,0 0,0\n"
    "1: 1 0x4 0x0 4 3 0 -1 0 4 0,0 1,0 2,0 3,0\n"
    "0: 0 0 -1\n1: 0 0 1\n"
    "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 2\n"
    "SECTION: THINGS\nWorld things 0\nend\n";

struct TShadersFolder {
  TempDir dir;
  std::string Shaders() const { return dir / "GameData/base/shaders/"; }
  std::string List() const { return Shaders() + "shaderlist.txt"; }
  TShadersFolder() { rtl::ForceDirectories(Shaders()); }

  // Writes the level's script as an import with --shaders does; the console lines said.
  std::vector<std::string> Write(const std::string& levelName,
                                 const std::string& text = SkyLevel) const {
    TJKLevel level;
    rtl::TStringList lines;
    lines.SetText(text);
    level.LoadFromStrings(lines);
    level.Name = levelName;
    TTextureSettings settings;
    settings.InstallPath = dir.Path();
    settings.OutputTexFormat = "tga";
    std::vector<std::string> said;
    // The faces' roles come from the conversion.
    TBrushLevel brushes;
    TImportOptions options;
    options.Shaders = true;
    MakeBrushLevel(level, brushes, nullptr, options);
    WriteLevelShaders(brushes, MakeLevelNames(level, "tga"), settings,
                      [&said](const std::string& line) { said.push_back(line); });
    return said;
  }
};

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

}  // namespace

#ifndef _WIN32
// A link planted at the list or at the script leads nowhere the import writes: the file it
// leads to keeps its bytes, the link stays, and one line says so.
TEST(LevelShaders, NeverWritesThroughALink) {
  TShadersFolder game;
  TempDir outside;
  const std::string victim = outside / "victim";
  WriteFile(victim, "precious\n");
  ASSERT_EQ(symlink(victim.c_str(), game.List().c_str()), 0);
  std::string said = Joined(game.Write("lvl"));
  EXPECT_NE(said.find("is a link; not written through it"), std::string::npos) << said;
  EXPECT_FALSE(rtl::FileExists(game.Shaders() + "lvl.shader"));  // not listed: not written

  ASSERT_EQ(unlink(game.List().c_str()), 0);
  WriteFile(game.List(), "common\n");
  ASSERT_EQ(symlink(victim.c_str(), (game.Shaders() + "lvl.shader").c_str()), 0);
  said = Joined(game.Write("lvl"));
  EXPECT_NE(said.find("lvl.shader' is no script Morvane wrote; left alone"), std::string::npos)
      << said;
  EXPECT_EQ(ReadFile(victim), "precious\n");
  EXPECT_TRUE(rtl::IsLink(game.Shaders() + "lvl.shader"));
  EXPECT_EQ(ReadFile(game.List()), "common\nlvl_2\n");
}

// Imports into one game folder at once: every line of the list survives. Real processes,
// started together, each adding its level to a list large enough that reading and rewriting it
// would take long enough to lose lines.
TEST(LevelShaders, ImportsAtOnceKeepEveryListLine) {
  TShadersFolder game;
  std::string list;
  for (int i = 0; list.size() < (4 << 20) - 100000; ++i) list += "stock" + std::to_string(i) + "\n";
  WriteFile(game.List(), list);
  constexpr int Processes = 6;
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < Processes; ++p) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(3);  // every child starts when the pipe closes
      game.Write("level" + std::to_string(p));
      _exit(0);
    }
    children.push_back(child);
  }
  close(go[0]);
  close(go[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  const std::string after = ReadFile(game.List());
  ASSERT_EQ(after.compare(0, list.size(), list), 0);  // nothing that was there rewritten
  std::set<std::string> added;
  for (size_t start = list.size(); start < after.size();) {
    const size_t end = after.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    added.insert(after.substr(start, end - start));
    start = end + 1;
  }
  EXPECT_EQ(added.size(), size_t{Processes});
  for (int p = 0; p < Processes; ++p) EXPECT_EQ(added.count("level" + std::to_string(p)), 1u);
}
#endif

// A stock script of the level's name is the game's, not Morvane's: it stays, and the level's
// script takes the next free name, which the next import replaces again.
TEST(LevelShaders, AScriptMorvaneDidNotWriteIsLeftAlone) {
  TShadersFolder game;
  WriteFile(game.List(), "common\n");
  WriteFile(game.Shaders() + "common.shader", "textures/common/caulk\n{\n}\n");
  for (int run = 0; run < 2; ++run) {
    const std::string said = Joined(game.Write("common"));
    EXPECT_NE(said.find("common.shader' is no script Morvane wrote; left alone"), std::string::npos)
        << said;
  }
  EXPECT_EQ(ReadFile(game.Shaders() + "common.shader"), "textures/common/caulk\n{\n}\n");
  const std::string script = ReadFile(game.Shaders() + "common_2.shader");
  EXPECT_EQ(script.rfind("// Morvane shader script of level common", 0), 0u);
  EXPECT_NE(script.find("textures/common/sky"), std::string::npos);
  EXPECT_FALSE(rtl::FileExists(game.Shaders() + "common_3.shader"));
  EXPECT_EQ(ReadFile(game.List()), "common\ncommon_2\n");
}

// A script that cannot be written costs only itself: no script, no list line, one line why.
// Then a level that needs no script any more empties the one its last import wrote.
TEST(LevelShaders, WhatCannotBeWrittenCostsOnlyTheScript) {
  struct TCase {
    std::string level, expected;
    std::function<void(const TShadersFolder&)> prepare;
  } cases[] = {
      {std::string(249, 'n'), "No shader script written: ", nullptr},
      {"lvl", "No shader script written: no free name",
       [](const TShadersFolder& g) {
         WriteFile(g.Shaders() + "lvl.shader", "");  // empty: not Morvane's
         for (int n = 2; n <= 100; ++n)              // folders
           rtl::ForceDirectories(g.Shaders() + "lvl_" + std::to_string(n) + ".shader");
       }},
      {"lvl", "shaderlist.txt' left alone, File too large for a shader list",
       [](const TShadersFolder& g) { std::filesystem::resize_file(g.List(), 5 << 20); }},
  };
  for (const TCase& c : cases) {
    TShadersFolder game;
    WriteFile(game.List(), "common\n");
    if (c.prepare) c.prepare(game);
    const std::string said = Joined(game.Write(c.level));
    EXPECT_NE(said.find(c.expected), std::string::npos) << said;
    EXPECT_EQ(said.find("Saved: "), std::string::npos) << said;
    EXPECT_EQ(said.find("Listed "), std::string::npos) << said;
    EXPECT_EQ(ReadFile(game.List()).substr(0, 7), "common\n");
  }

#ifndef _WIN32  // a path that long is beyond Windows' own limit for the level file too
  // Through the whole import: a level whose name is too long for its script is imported.
  TShadersFolder game;
  const std::string longName(249, 'n');
  WriteFile(game.dir / (longName + ".jkl"), SkyLevel);
  TImportRequest request;
  request.Path = game.dir / (longName + ".jkl");
  request.Textures.InstallPath = game.dir.Path();
  request.Options.Shaders = true;
  const TImportResult result = RunImport(request);
  EXPECT_TRUE(result.Succeeded()) << result.Message;
  EXPECT_NE(Joined(result.Console).find("No shader script written: "), std::string::npos);
  EXPECT_EQ(rtl::FindFiles(game.Shaders(), "*"), std::vector<std::string>{});
#endif

  // The sky gone, the script of the last import stays listed but holds nothing.
  TShadersFolder again;
  again.Write("lvl");
  std::string noSky = SkyLevel;
  noSky.replace(noSky.find("0x200"), 5, "0x004");
  const std::string said = Joined(again.Write("lvl", noSky));
  EXPECT_NE(said.find("Emptied: "), std::string::npos) << said;
  EXPECT_EQ(ReadFile(again.Shaders() + "lvl.shader"),
            "// Morvane shader script of level lvl, replaced when it is imported\n");
}

// The list's own encoding: a line added to a UTF-16 list is UTF-16 too, and a byte-order mark
// does not hide a line that names the script already.
TEST(ShaderList, AdditionSpeaksTheListsEncoding) {
  struct {
    std::string list, added;
  } cases[] = {
      {"\xEF\xBB\xBFlvl\n", ""},
      {"\xEF\xBB\xBF"
       "common\r\n",
       "lvl\r\n"},
      {std::string("\xFF\xFE"
                   "c\0o\0\n\0",
                   8),
       std::string("l\0v\0l\0\n\0", 8)},
      {std::string("\xFE\xFF\0c\0\r\0\n", 8), std::string("\0l\0v\0l\0\r\0\n", 10)},
      {std::string("\xFF\xFEl\0V\0L\0\n\0", 10), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ShaderListAddition(c.list, "lvl"), c.added) << c.list;
  EXPECT_THROW(ShaderListAddition(std::string("c\0o\0", 4), "lvl"), rtl::Exception);
}

// a.mat as floor and sky and a material a_sky.mat on a wall: the sky's shader may not take the
// name the wall's faces show ("lvl/a_sky"), or the wall becomes a hole to the sky.
TEST(LevelShaders, ARolesShaderNeverTakesAnotherMaterialsName) {
  TempDir dir;
  WriteFile(dir / "lvl.jkl",
            "SECTION: MATERIALS\nWorld materials 2\n0: a.mat\n1: a_sky.mat\nend\n"
            "SECTION: GEORESOURCE\n"
            "World vertices 4\n0: 0 0 0\n1: 1 0 0\n2: 1 1 0\n3: 0 1 0\n"
            "World texture vertices 1\n0: 0 0\nWorld adjoins 0\nWorld surfaces 3\n"
            "0: 0 0x200 0x0 4 0 0 -1 0 4 3,0 2,0 1,0 0,0\n"
            "1: 0 0x4 0x0 4 3 0 -1 0 4 0,0 1,0 2,0 3,0\n"
            "2: 1 0x4 0x0 4 3 0 -1 0 4 0,0 1,0 2,0 3,0\n"
            "0: 0 0 -1\n1: 0 0 1\n2: 0 0 1\n"
            "SECTION: SECTORS\nWorld sectors 1\nSECTOR 0\nSURFACES 0 3\n"
            "SECTION: THINGS\nWorld things 0\nend\n");
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"morvane", "import", dir / "lvl.jkl", "--game-dir", dir.Folder("game"),
                    "--settings", dir / "m.ini", "--map", dir / "lvl.map", "--shaders"},
                   out, err),
            0)
      << err.str();
  const std::string map = ReadFile(dir / "lvl.map");
  const std::string script = ReadFile(dir / "game/GameData/base/shaders/lvl.shader");
  // The sky's faces and shader take a name of their own; the wall keeps its image's.
  EXPECT_NE(map.find(" lvl/a_sky_2 "), std::string::npos) << map;
  EXPECT_NE(map.find(" lvl/a_sky "), std::string::npos) << map;
  EXPECT_NE(script.find("textures/lvl/a_sky_2\n"), std::string::npos) << script;
  EXPECT_EQ(script.find("textures/lvl/a_sky\n"), std::string::npos) << script;
}
