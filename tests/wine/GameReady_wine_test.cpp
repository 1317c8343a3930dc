// A sealed level in the editor: the DLL with GameReady=1 hands the editor the very brushes that
// `morvane import` writes with the same setting: detail slabs and the shell's structural boxes.
#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

#include "WineSupport.h"
#include "cli/Cli.h"
#include "import/MapWriter.h"
#include "support/MapText.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"

using namespace wine_support;

TEST(GameReadyInTheEditor, SettingGivesTheCommandLinesSealedBrushes) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  const std::string level = WinPath(corpus + "/jkl/jmmcjk.jkl");
  const std::string settings = "OutputTexFormat=tga\r\nGameReady=1\r\n";
  Plugin p;
  recording_host::TRecordingHost host;
  host.Install(*p.Table());
  WriteTextFile(p.SettingsFile(), settings);
  bool chosen = false;
  Driver dialogs([&] { chosen = ChooseInFileDialog(level); });
  p.Run("Import Level...");
  dialogs.Join();
  ASSERT_TRUE(chosen);
  int skipped = 0;
  const std::string map = WriteMap(host.Committed, skipped);
  // Every face of a slab is detail; the shell's boxes (six faces each) are not.
  size_t detail = 0, structural = 0;
  for (const auto& brush : host.Committed)
    (brush.Faces.front().Contents == 134217728 ? detail : structural) += 1;
  EXPECT_GT(detail, 1000u);
  EXPECT_GT(structural, 100u);

  const std::string cliMap = p.Folder() + "\\ready-cli.map";
  WriteTextFile(p.Folder() + "\\ready-cli.ini", settings);
  std::ostringstream out, err;
  CreateDirectoryA((p.Folder() + "\\game").c_str(), nullptr);  // an import needs it
  ASSERT_EQ(RunCli({"morvane", "import", level, "--game-dir", p.Folder() + "\\game", "--settings",
                    p.Folder() + "\\ready-cli.ini", "--map", cliMap},
                   out, err),
            0)
      << err.str();
  // The worldspawn's keys (the block size, the fitted light's) are the saved map's alone: the
  // editor's interface cannot set them.
  std::string cli = ReadTextFile(cliMap);
  for (size_t at = cli.find("\n\"_"); at != std::string::npos && at < cli.find("\n{\n");
       at = cli.find("\n\"_"))
    cli.erase(at, cli.find('\n', at + 1) - at);
  EXPECT_NE(ReadTextFile(cliMap), cli) << "the worldspawn carries the block size";
  // GameReady=1 is --game-ready: the entities follow the worldspawn, which the editor's
  // interface cannot take either.
  const size_t entities = cli.find("}\n{\n\"classname\"");
  ASSERT_NE(entities, std::string::npos) << "the setting writes the entities too";
  cli.erase(entities + 2);
  EXPECT_TRUE(cli == map) << "the DLL handed over other brushes";
}
