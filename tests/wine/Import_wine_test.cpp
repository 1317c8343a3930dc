// "Import Level..." as the editor runs it: dispatched to the DLL, Wine's own file-open dialog and
// the entry picker driven from a second thread, the status window watched while it works, and
// what reached the editor compared with the native command-line host.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <sstream>

#include "WineSupport.h"
#include "cli/Cli.h"
#include "import/MapWriter.h"
#include "rtl/Files.h"
#include "support/AlignImport.h"
#include "support/MapText.h"
#include "support/RecordingHost.h"
#include "support/SampleImport.h"
#include "support/TestSupport.h"

using namespace wine_support;

namespace {

const char* const InstallKey =
    "Software\\LucasArts Entertainment Company LLC\\Star Wars JK II Jedi Outcast\\1.0";

// Selects the first row of the picker and presses OK.
bool PickFirst(const char* caption) {
  HWND dlg = WaitForWindow(nullptr, caption);
  if (!dlg) return false;
  HWND list = FindChild(dlg, WC_LISTVIEWA, nullptr);
  if (!list) return false;
  LVITEMA item = {};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
  PressButton(dlg, IDOK);
  return true;
}

// Watches the status window until it goes, collecting every distinct step text it showed.
struct StatusWatch {
  bool seen = false;
  bool closeBox = true;
  std::string caption;
  std::vector<std::string> texts;
  void Run(std::atomic<bool>& done) {
    HWND w = nullptr;
    while (!done && !w) {
      w = WaitForWindow(nullptr, "Status", 50);
    }
    if (!w) return;
    seen = true;
    caption = WindowText(w);
    closeBox = (GetWindowLongA(w, GWL_STYLE) & WS_SYSMENU) != 0;
    HWND label = nullptr;
    while (IsWindow(w)) {
      if (!label) label = FindChildById(w, 2);
      if (label) {
        std::string t = WindowText(label);
        if (!t.empty() && (texts.empty() || texts.back() != t)) texts.push_back(t);
      }
      Sleep(1);
    }
  }
};

}  // namespace

TEST(ImportInTheEditor, SampleFromAContainerThroughTheDialogs) {
  Plugin p;
  recording_host::TRecordingHost host;
  host.RecordCalls = true;  // the calls per brush are checked below
  host.Install(*p.Table());
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string game = p.Folder() + "\\game";
  SetRegistryString(HKEY_LOCAL_MACHINE, InstallKey, "Install Path", game.c_str());
  std::string sample = WinPath(std::string(MORVANE_SOURCE_DIR) + "/examples/sample/sample.gob");
  WriteTextFile(p.SettingsFile(), sample_import::Settings(sample));

  bool chosen = false, picked = false;
  StatusWatch watch;
  std::atomic<bool> done{false};
  Driver dialogs([&] {
    chosen = ChooseInFileDialog(sample);
    picked = chosen && PickFirst("Container - sample.gob");
  });
  Driver status([&] { watch.Run(done); });
  p.Run("Import Level...");
  done = true;
  dialogs.Join();
  status.Join();
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, InstallKey, "Install Path");

  EXPECT_TRUE(chosen);
  EXPECT_TRUE(picked);
  std::string tex = game + "\\GameData\\base\\Textures\\sample\\";
  std::vector<std::string> expected = {
      "Morvane: Saved: " + tex + "floor.tga\n",
      "Morvane: Saved: " + tex + "sky.tga\n",
      "Morvane: Saved: " + tex + "wall.tga\n",
      "Morvane: Error reading scale factor setting, using default: 256\n",
      "Morvane: Error reading brush depth setting, using default: 8\n",
      "Morvane: sample.jkl imported succesfully\n",
      "Morvane: 1 sectors converted to 6 brushes, 3 textures converted\n"};
  EXPECT_EQ(host.Console, expected);

  // The status window: no close box, and only the import's own step texts, in their order.
  EXPECT_TRUE(watch.seen);
  EXPECT_EQ(watch.caption, "Status");
  EXPECT_FALSE(watch.closeBox);
  const std::vector<std::string> steps = {"Idle",
                                          "Status: Extracting JKL...",
                                          "Status: Parsing JKL...",
                                          "Status: Converting Textures...",
                                          "Status: Converting Sectors to Brushes...",
                                          "Status: Loading Brushes into Radiant..."};
  size_t at = 0;
  for (const std::string& t : watch.texts) {
    auto it = std::find(steps.begin() + static_cast<long>(at), steps.end(), t);
    ASSERT_NE(it, steps.end()) << "unexpected or out-of-order status text '" << t << "'";
    at = static_cast<size_t>(it - steps.begin());
  }
  EXPECT_FALSE(watch.texts.empty());

  // The calls per brush that the editor saw.
  ASSERT_EQ(host.Committed.size(), 6u);
  std::vector<std::string> slots;
  for (const auto& call : host.Calls)
    if (call.Slot != "ConsolePrint") slots.push_back(call.Slot);
  ASSERT_GE(slots.size(), 8u);
  EXPECT_EQ(slots[0], "NewBrush");
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(slots[static_cast<size_t>(i)], "AddFace") << i;
  EXPECT_EQ(slots[7], "GetFaceCount");

  // The same brushes and texture files as the native command-line host.
  int skipped = 0;
  std::string map = WriteMap(host.Committed, skipped);
  EXPECT_EQ(skipped, 0);
  EXPECT_EQ(sample_import::Digest(map, tex), sample_import::ExpectedDigest)
      << sample_import::Differences(map, tex);
}

// A comma for the user's decimal separator changes nothing: Scale=2.5 still reads as 2.5.
TEST(ImportInTheEditor, ScaleReadsWithAPointWhateverTheRegionalSettings) {
  SetRegistryString(HKEY_CURRENT_USER, "Control Panel\\International", "sDecimal", ",");
  Plugin p;
  recording_host::TRecordingHost host;
  host.Install(*p.Table());
  std::string sample = WinPath(std::string(MORVANE_SOURCE_DIR) + "/examples/sample/sample.gob");
  WriteTextFile(p.SettingsFile(), "Scale=2.5\r\nBrushDepth=0.5\r\n");
  Driver dialogs([&] {
    if (ChooseInFileDialog(sample)) PickFirst("Container - sample.gob");
  });
  p.Run("Import Level...");
  dialogs.Join();
  SetRegistryString(HKEY_CURRENT_USER, "Control Panel\\International", "sDecimal", ".");
  ASSERT_EQ(host.Committed.size(), 6u);
  // The floor's corner (2, 2, 0) in level units lies at (5, 5, 0) in the editor.
  bool found = false;
  for (const auto& face : host.Committed[0].Faces)
    for (const float* pt : {face.P1, face.P2})
      if (pt[0] == 5.0f && pt[1] == 5.0f && pt[2] == 0.0f) found = true;
  EXPECT_TRUE(found);
  for (const std::string& line : host.Console)
    EXPECT_EQ(line.find("Error reading"), std::string::npos) << line;
}

// With AlignTextures=1 the editor receives, for every face, the shifts, rotation and scales that
// `morvane import --align` writes: the map made from what reached it has the native digest.
TEST(ImportInTheEditor, AlignedTexturesMatchTheCommandLineHost) {
  const std::string corpus = testing_support::CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no corpus";
  Plugin p;
  recording_host::TRecordingHost host;
  host.Install(*p.Table());
  const std::string level = WinPath(corpus + "/" + align_import::Level);
  WriteTextFile(p.SettingsFile(), align_import::Settings);
  SetRegistryString(HKEY_LOCAL_MACHINE, InstallKey, "Install Path",
                    (p.Folder() + "\\game").c_str());
  bool chosen = false;
  Driver dialogs([&] { chosen = ChooseInFileDialog(level); });
  p.Run("Import Level...");
  dialogs.Join();
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, InstallKey, "Install Path");
  EXPECT_TRUE(chosen);
  ASSERT_FALSE(host.Committed.empty());
  // Some front faces did change: the setting was read.
  int fitted = 0;
  for (const auto& brush : host.Committed)
    fitted += brush.Faces.back().ScaleS != 0.5f || brush.Faces.back().ShiftS != 0;
  EXPECT_GT(fitted, 0);
  int skipped = 0;
  EXPECT_EQ(align_import::Digest(WriteMap(host.Committed, skipped)), align_import::ExpectedDigest);
}

// The largest corpus level through the editor's dialogs gives the very brushes that the
// command-line host writes. The time of each is printed for the benchmarks' record; speed is
// measured there, not asserted here.
TEST(ImportInTheEditor, LargestCorpusLevelGivesTheCommandLinesBrushes) {
  const std::string level = CorpusPath("jkl/vanilla.jkl");
  if (GetFileAttributesA(level.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no corpus";
  Plugin p;
  recording_host::TRecordingHost host;
  host.Install(*p.Table());
  WriteTextFile(p.SettingsFile(), "OutputTexFormat=tga\r\n");
  bool chosen = false;
  std::atomic<DWORD> dialogGone{0};
  Driver dialogs([&] {
    chosen = ChooseInFileDialog(level);
    dialogGone = GetTickCount();
  });
  const DWORD start = GetTickCount();
  p.Run("Import Level...");
  const DWORD dll = GetTickCount() - start;
  dialogs.Join();
  ASSERT_TRUE(chosen);
  EXPECT_EQ(host.Committed.size(), 5060u);
  int skipped = 0;
  const std::string map = WriteMap(host.Committed, skipped);

  const std::string cliMap = p.Folder() + "\\cli.map";
  std::ostringstream out, err;
  const DWORD cliStart = GetTickCount();
  CreateDirectoryA((p.Folder() + "\\game").c_str(), nullptr);  // an import needs it
  const int rc = RunCli({"morvane", "import", level, "--game-dir", p.Folder() + "\\game",
                         "--settings", p.Folder() + "\\cli.ini", "--map", cliMap},
                        out, err);
  const DWORD cli = GetTickCount() - cliStart;
  ASSERT_EQ(rc, 0) << err.str();
  EXPECT_TRUE(ReadTextFile(cliMap) == map) << "the DLL handed over other brushes";
  std::printf(
      "vanilla.jkl: Import Level... through the DLL %lu ms (%lu ms after the file dialog "
      "closed); the command-line import in the same process %lu ms\n",
      static_cast<unsigned long>(dll), static_cast<unsigned long>(start + dll - dialogGone.load()),
      static_cast<unsigned long>(cli));
}
