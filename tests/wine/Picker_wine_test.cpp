// The entry picker, shown on the test's main thread and driven from a second one the way a user
// would: select, OK, Enter, double-click, Cancel, Esc and the close box.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "WineSupport.h"
#include "container/O_jkc.h"
#include "support/TestSupport.h"
#include "win32/FGobDlg.h"

using namespace wine_support;

namespace {

// What the driver saw of the dialog; checked on the main thread after it closed.
struct Seen {
  bool shown = false;
  std::string caption, label, nameHeader, sizeHeader;
  std::vector<std::string> rows;  // "name|size", in the order the list shows them
  RECT window = {}, client = {};
  bool stillOpenAfterEsc = false;
};

std::string MakeGob() {
  return testing_support::MakeGob({{"jkl\\zeta.jkl", std::string(7, 'x')},
                                   {"JKL\\Alpha.jkl", std::string(1234, 'x')},
                                   {"mat\\jkl\\x.mat", std::string(3, 'x')}});
}

std::string ItemText(HWND list, int row, int column) {
  char buf[256] = {};
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = sizeof buf;
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buf;
}

std::string ColumnText(HWND list, int column) {
  char buf[64] = {};
  LVCOLUMNA c = {};
  c.mask = LVCF_TEXT;
  c.pszText = buf;
  c.cchTextMax = sizeof buf;
  SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
  return buf;
}

void Select(HWND list, int row) {
  LVITEMA state = {};
  state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

// Opens a container file named x.gob in a folder, shows the picker for folder, lets act drive
// it once it is up, and returns the choice.
std::string RunPicker(const std::string& folder, Seen& seen,
                      const std::function<void(HWND form, HWND list)>& act) {
  testing_support::TempDir dir;
  const std::string path = dir / "x.gob";
  testing_support::WriteFile(path, MakeGob());
  TJKContainer gob;
  EXPECT_TRUE(gob.Open(path));
  Driver d([&] {
    HWND form = WaitForWindow("TfrmDlgGob", "Container - x.gob");
    if (!form) return;
    seen.shown = true;
    seen.caption = WindowText(form);
    GetWindowRect(form, &seen.window);
    GetClientRect(form, &seen.client);
    HWND list = FindChild(form, WC_LISTVIEWA, nullptr);
    if (HWND label = FindChild(form, "Static", nullptr)) seen.label = WindowText(label);
    if (!list) {
      PostMessageA(form, WM_CLOSE, 0, 0);
      return;
    }
    seen.nameHeader = ColumnText(list, 0);
    seen.sizeHeader = ColumnText(list, 1);
    int n = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i)
      seen.rows.push_back(ItemText(list, i, 0) + "|" + ItemText(list, i, 1));
    act(form, list);
    if (!WaitForWindowGone(form, 5000)) PostMessageA(form, WM_CLOSE, 0, 0);
  });
  std::string chosen = TfrmDlgGob::SelectEntry(gob, folder);
  d.Join();
  return chosen;
}

void PressText(HWND form, const char* text) {
  if (HWND b = FindChild(form, "Button", text)) PostMessageA(b, BM_CLICK, 0, 0);
}

}  // namespace

TEST(PickerDialog, ShowsTheFolderAndReturnsTheSelectedKeyOnOK) {
  Seen seen;
  std::string chosen = RunPicker("jkl\\", seen, [](HWND form, HWND list) {
    Select(list, 0);
    PressText(form, "&OK");
  });
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(chosen, "jkl\\alpha.jkl");
  EXPECT_EQ(seen.caption, "Container - x.gob");
  EXPECT_EQ(seen.label, "Files in jkl\\");
  EXPECT_EQ(seen.nameHeader, "Name");
  EXPECT_EQ(seen.sizeHeader, "Size ");
  // Whole keys, sorted; the key with "jkl\" later on is not listed.
  EXPECT_EQ(seen.rows, (std::vector<std::string>{"jkl\\alpha.jkl|1234", "jkl\\zeta.jkl|7"}));
  EXPECT_EQ(seen.window.left, 336);
  EXPECT_EQ(seen.window.top, 193);
  EXPECT_EQ(seen.client.right, 290);
  EXPECT_EQ(seen.client.bottom, 310);
}

TEST(PickerDialog, EnterAndDoubleClickChooseLikeOK) {
  Seen enter;
  EXPECT_EQ(RunPicker("jkl\\", enter,
                      [](HWND, HWND list) {
                        Select(list, 1);
                        PostMessageA(list, WM_KEYDOWN, VK_RETURN, 0);
                      }),
            "jkl\\zeta.jkl");
  Seen dbl;
  EXPECT_EQ(RunPicker("jkl\\", dbl,
                      [](HWND, HWND list) {
                        Select(list, 1);
                        RECT r = {};
                        r.left = LVIR_BOUNDS;
                        SendMessageA(list, LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
                        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
                        PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                        PostMessageA(list, WM_LBUTTONUP, 0, at);
                      }),
            "jkl\\zeta.jkl");
  EXPECT_TRUE(enter.shown && dbl.shown);
}

TEST(PickerDialog, CancelCloseBoxAndEmptyChoicesGiveNothing) {
  Seen cancel, close, none, empty;
  EXPECT_EQ(RunPicker("jkl\\", cancel,
                      [](HWND form, HWND list) {
                        Select(list, 0);
                        PressText(form, "&Cancel");
                      }),
            "");
  EXPECT_EQ(RunPicker("jkl\\", close,
                      [](HWND form, HWND list) {
                        Select(list, 0);
                        PostMessageA(form, WM_CLOSE, 0, 0);
                      }),
            "");
  // OK with nothing selected.
  EXPECT_EQ(RunPicker("jkl\\", none, [](HWND form, HWND) { PressText(form, "&OK"); }), "");
  // No entry in the folder: an empty list.
  EXPECT_EQ(RunPicker("misc\\cmp\\", empty, [](HWND form, HWND) { PressText(form, "&OK"); }), "");
  EXPECT_TRUE(cancel.shown && close.shown && none.shown && empty.shown);
  EXPECT_TRUE(empty.rows.empty());
  EXPECT_EQ(empty.label, "Files in misc\\cmp\\");
}

TEST(PickerDialog, EscDoesNotCloseIt) {
  Seen seen;
  std::string chosen = RunPicker("jkl\\", seen, [&](HWND form, HWND list) {
    Select(list, 1);
    PostMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(list, WM_KEYUP, VK_ESCAPE, 0);
    seen.stillOpenAfterEsc = !WaitForWindowGone(form, 700);
    PressText(form, "&OK");
  });
  EXPECT_TRUE(seen.stillOpenAfterEsc);
  EXPECT_EQ(chosen, "jkl\\zeta.jkl");
}
