// Clean slabs in the editor: the DLL with CleanSlabs=1 hands the editor the very brushes that
// `morvane import --clean` writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <sstream>

#include "WineSupport.h"
#include "cli/Cli.h"
#include "import/MapWriter.h"
#include "support/CleanImport.h"
#include "support/MapText.h"
#include "support/RecordingHost.h"
#include "support/TestSupport.h"

using namespace wine_support;

TEST(CleanSlabsInTheEditor, SettingGivesTheCommandLinesCleanBrushes) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  const std::string level = WinPath(corpus + "/" + clean_import::Level);
  Plugin p;
  recording_host::TRecordingHost host;
  host.Install(*p.Table());
  WriteTextFile(p.SettingsFile(), std::string(clean_import::Settings) + "CleanSlabs=1\r\n");
  bool chosen = false;
  Driver dialogs([&] { chosen = ChooseInFileDialog(level); });
  p.Run("Import Level...");
  dialogs.Join();
  ASSERT_TRUE(chosen);
  EXPECT_EQ(host.Committed.size(), static_cast<size_t>(clean_import::Brushes));
  EXPECT_NE(std::find(host.Console.begin(), host.Console.end(), clean_import::LeftOutLine),
            host.Console.end());
  int skipped = 0;
  const std::string map = WriteMap(host.Committed, skipped);
  EXPECT_EQ(clean_import::Digest(map), clean_import::ExpectedDigest);

  // The command-line host of this build, in the same process, with --clean.
  const std::string cliMap = p.Folder() + "\\clean-cli.map";
  WriteTextFile(p.Folder() + "\\clean-cli.ini", clean_import::Settings);
  std::ostringstream out, err;
  CreateDirectoryA((p.Folder() + "\\game").c_str(), nullptr);  // an import needs it
  ASSERT_EQ(RunCli({"morvane", "import", level, "--clean", "--game-dir", p.Folder() + "\\game",
                    "--settings", p.Folder() + "\\clean-cli.ini", "--map", cliMap},
                   out, err),
            0)
      << err.str();
  EXPECT_TRUE(ReadTextFile(cliMap) == map) << "the DLL handed over other brushes";
}
