// The batch converter dialog, opened through the plug-in's menu command and driven like a user.
#include <gtest/gtest.h>

#include "WineSupport.h"
// windows.h (through WineSupport.h) first
#include <commctrl.h>

#include "support/TestSupport.h"
#include "texture/MatFixture.h"
#include "win32/FConvTex.h"

using namespace wine_support;
namespace ids = conv_tex_ids;
using testing_support::Bytes;
using testing_support::TempDir;

namespace {

const char* const DialogClass = "TfrmConvTex";
const char* const DialogCaption = "Batch Convert Textures";

std::string Mat(int32_t w, int32_t h, uint8_t index) {
  return mat_fixture::TextureMat({{w, h, std::string(static_cast<size_t>(w * h), char(index))}});
}

// Palette entry i = (i, 255 - i, i / 2) behind a 64-byte header.
std::string Cmp() {
  Bytes b;
  b.zeros(64);
  for (int i = 0; i < 256; ++i) b.u8(uint8_t(i)).u8(uint8_t(255 - i)).u8(uint8_t(i / 2));
  return b.data;
}

// Asks the control itself (an edit keeps its text apart from the window's title).
std::string Text(HWND dlg, int id) {
  char buf[1024] = {};
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutA(FindChildById(dlg, id), WM_GETTEXT, sizeof buf,
                           reinterpret_cast<LPARAM>(buf), SMTO_NORMAL, 10000, &got))
    return "<no answer>";
  return std::string(buf, got);
}
bool Enabled(HWND dlg, int id) { return IsWindowEnabled(FindChildById(dlg, id)) != FALSE; }
bool Checked(HWND dlg, int id) {
  return SendMessageA(FindChildById(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
void SetText(HWND w, const std::string& text) {
  SendMessageA(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
// Clicks and waits until the dialog has handled the click (a conversion runs inside it).
void Click(HWND dlg, int id) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(FindChildById(dlg, id), BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &ignored);
}

// "rbtDir/rbtContainer checked; edtDir, btnDir, edtContainer, btnContainer enabled" as letters.
std::string InputState(HWND dlg) {
  std::string s;
  for (int id : {ids::rbtDir, ids::rbtContainer}) s += Checked(dlg, id) ? 'x' : '-';
  s += ' ';
  for (int id : {ids::edtDir, ids::btnDir, ids::edtContainer, ids::btnContainer})
    s += Enabled(dlg, id) ? 'e' : '-';
  return s;
}

}  // namespace

TEST(BatchDialog, ShowsRememberedFoldersAndStoresThemBack) {
  Plugin p;
  p.Table();
  WriteTextFile(
      p.SettingsFile(),
      "ConvTexDir=C:\\in\r\nother=1\r\nConvTexGob=C:\\tex.gob\r\nConvTexOutputDir=C:\\out\r\n");
  struct Seen {
    bool found = false;
    std::string dir, gob, out, pal, status, states[3];
    bool tga = false, jpeg = true;
    RECT client = {};
  } seen;
  Driver d([&] {
    HWND dlg = WaitForWindow(DialogClass, DialogCaption);
    if (!dlg) return;
    seen.found = true;
    GetClientRect(dlg, &seen.client);
    seen.dir = Text(dlg, ids::edtDir);
    seen.gob = Text(dlg, ids::edtContainer);
    seen.out = Text(dlg, ids::edtOutDir);
    seen.pal = Text(dlg, ids::edtPal);
    seen.status = Text(dlg, ids::pnlStatus);
    seen.tga = Checked(dlg, ids::rbtTGA);
    seen.jpeg = Checked(dlg, ids::rbtJPEG);
    seen.states[0] = InputState(dlg);
    Click(dlg, ids::rbtContainer);
    seen.states[1] = InputState(dlg);
    Click(dlg, ids::rbtDir);
    seen.states[2] = InputState(dlg);
    SetText(FindChildById(dlg, ids::edtDir), "D:\\new");
    SetText(FindChildById(dlg, ids::edtOutDir), "");
    PostMessageA(dlg, WM_CLOSE, 0, 0);
  });
  p.Run("Batch Convert Textures...");
  d.Join();

  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.client.right, 357);
  EXPECT_EQ(seen.client.bottom, 291);
  EXPECT_EQ(seen.dir, "C:\\in");
  EXPECT_EQ(seen.gob, "C:\\tex.gob");
  EXPECT_EQ(seen.out, "C:\\out");
  EXPECT_EQ(seen.pal, "dflt.cmp");
  EXPECT_EQ(seen.status, " Status: Idle");
  EXPECT_TRUE(seen.tga);
  EXPECT_FALSE(seen.jpeg);
  EXPECT_EQ(seen.states[0], "x- ee--");
  EXPECT_EQ(seen.states[1], "-x -eee");
  EXPECT_EQ(seen.states[2], "x- ee--");
  // The edited folder replaces its line, the emptied one is gone, the rest stays.
  EXPECT_EQ(ReadTextFile(p.SettingsFile()),
            "ConvTexDir=D:\\new\r\nother=1\r\nConvTexGob=C:\\tex.gob\r\n");
  EXPECT_TRUE(ConsoleLines().empty());
}

TEST(BatchDialog, ConvertsShowsStatusAndReportsErrorsInABox) {
  TempDir t;
  const std::string in = t / "in", out = t / "out\\sub";
  CreateDirectoryA(in.c_str(), nullptr);
  testing_support::WriteFile(in + "\\a.mat", Mat(2, 2, 1));
  testing_support::WriteFile(in + "\\b.mat", Mat(1, 3, 2));
  testing_support::WriteFile(in + "\\broken.mat", "MAT ");
  testing_support::WriteFile(t / "blocker", "a file, not a folder");

  Plugin p;
  p.Table();
  WriteTextFile(p.SettingsFile(), "ConvTexDir=" + in + "\r\nConvTexOutputDir=" + out + "\r\n");
  struct Seen {
    bool found = false;
    std::string done, afterMissingContainer, box, afterError;
    bool buttonBack = false, stillOpen = false;
  } seen;
  Driver d([&] {
    HWND dlg = WaitForWindow(DialogClass, DialogCaption);
    if (!dlg) return;
    seen.found = true;
    Click(dlg, ids::rbtJPEG);
    Click(dlg, ids::btnConvert);
    seen.done = Text(dlg, ids::pnlStatus);

    // A container that does not exist: nothing happens at all.
    SetText(FindChildById(dlg, ids::edtContainer), t / "none.gob");
    Click(dlg, ids::rbtContainer);
    Click(dlg, ids::btnConvert);
    seen.afterMissingContainer = Text(dlg, ids::pnlStatus);

    // An output folder that cannot be made: a message box, and the dialog carries on.
    Click(dlg, ids::rbtDir);
    SetText(FindChildById(dlg, ids::edtOutDir), t / "blocker\\sub");
    PostMessageA(FindChildById(dlg, ids::btnConvert), BM_CLICK, 0, 0);
    if (HWND box = WaitForWindow("#32770", "Morvane")) {
      seen.box = WindowText(FindChildById(box, 0xFFFF));
      PressButton(box, IDOK);
      WaitForWindowGone(box);
    }
    Sleep(200);
    seen.buttonBack = Enabled(dlg, ids::btnConvert);
    seen.stillOpen = IsWindowVisible(dlg) != FALSE;
    seen.afterError = Text(dlg, ids::pnlStatus);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
  });
  p.Run("Batch Convert Textures...");
  d.Join();

  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.done, " Status: Done, converted 2 textures, 1 failed");
  EXPECT_EQ(seen.afterMissingContainer, seen.done);
  EXPECT_EQ(seen.box, "Unable to create directory (folder '" + (t / "blocker\\sub") + "')");
  EXPECT_TRUE(seen.buttonBack);
  EXPECT_TRUE(seen.stillOpen);
  EXPECT_EQ(seen.afterError, seen.done);
  EXPECT_NE(GetFileAttributesA((out + "\\a.jpg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA((out + "\\b.jpg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((out + "\\broken.jpg").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA((t / "none.gob").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(ConsoleLines().empty());
  // The output folder the user last used is remembered.
  EXPECT_NE(ReadTextFile(p.SettingsFile()).find("ConvTexOutputDir=" + t / "blocker\\sub" + "\r\n"),
            std::string::npos);
}

namespace {

// Types a file name into the common file dialog and confirms it. The dialog may show before it
// has finished setting itself up (and reset the field), so the typing is tried again; in the end
// the dialog is cancelled rather than left open to hang the test.
}  // namespace

TEST(BatchDialog, PaletteFromAContainerEntryIsShownAndUsed) {
  TempDir t;
  const std::string gob = t / "res.gob", in = t / "in", out = t / "out";
  testing_support::WriteFile(
      gob, testing_support::MakeGob({{"misc\\cmp\\pal.cmp", Cmp()}, {"jkl\\x.jkl", "x"}}));
  CreateDirectoryA(in.c_str(), nullptr);
  testing_support::WriteFile(in + "\\p.mat", Mat(1, 1, 200));

  Plugin p;
  p.Table();
  WriteTextFile(p.SettingsFile(), "ConvTexDir=" + in + "\r\nConvTexOutputDir=" + out + "\r\n");
  struct Seen {
    bool found = false, fileChosen = false, picker = false;
    std::string pal, pickerLabel, done;
  } seen;
  Driver d([&] {
    HWND dlg = WaitForWindow(DialogClass, DialogCaption);
    if (!dlg) return;
    seen.found = true;
    PostMessageA(FindChildById(dlg, ids::btnPalette), BM_CLICK, 0, 0);
    seen.fileChosen = ChooseInFileDialog(gob);
    if (HWND picker = WaitForWindow("TfrmDlgGob", "Container - res.gob")) {
      seen.picker = true;
      seen.pickerLabel = WindowText(FindChildById(picker, 100));
      HWND list = FindChildById(picker, 101);
      LVITEMA item = {};
      item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
      item.state = LVIS_SELECTED | LVIS_FOCUSED;
      SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
      PressButton(picker, IDOK);
      WaitForWindowGone(picker);
    }
    for (int i = 0; i < 100 && Text(dlg, ids::edtPal) == "dflt.cmp"; ++i) Sleep(50);
    seen.pal = Text(dlg, ids::edtPal);
    Click(dlg, ids::btnConvert);
    seen.done = Text(dlg, ids::pnlStatus);
    PostMessageA(dlg, WM_CLOSE, 0, 0);
  });
  p.Run("Batch Convert Textures...");
  d.Join();

  ASSERT_TRUE(seen.found);
  EXPECT_TRUE(seen.fileChosen);
  ASSERT_TRUE(seen.picker);
  EXPECT_EQ(seen.pickerLabel, "Files in misc\\cmp\\");
  EXPECT_EQ(seen.pal, gob + ">>misc\\cmp\\pal.cmp");
  EXPECT_EQ(seen.done, " Status: Done, converted 1 textures");
  // Pixel 200 through the picked palette: red 200, green 55, blue 100, stored blue first.
  std::string tga = testing_support::ReadFile(out + "\\p.tga");
  ASSERT_EQ(tga.size(), 48u);
  EXPECT_EQ(tga.substr(18, 4), std::string("\x64\x37\xc8\xff", 4));
  EXPECT_TRUE(ConsoleLines().empty());
}
