// The status window's progress bar: what it shows after every call, and how few messages it
// takes to show it.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <cstdint>
#include <vector>

#include "win32/FStatus.h"

namespace {

// The bar's messages that change what it shows, in order: (message, wParam, lParam).
struct TBarMessage {
  UINT msg;
  WPARAM w;
  LPARAM l;
};
std::vector<TBarMessage> g_sent;
WNDPROC g_barProc = nullptr;

LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  if (msg == PBM_SETRANGE32 || msg == PBM_SETRANGE || msg == PBM_SETPOS || msg == PBM_DELTAPOS ||
      msg == PBM_STEPIT)
    g_sent.push_back({msg, w, l});
  return CallWindowProcA(g_barProc, hwnd, msg, w, l);
}

int Filled(int64_t pos, int64_t max, int width) {
  if (max <= 0 || pos <= 0) return 0;
  if (pos >= max) return width;
  return static_cast<int>(pos * width / max);
}

}  // namespace

TEST(StatusWindow, TheBarIsToldOnlyWhatChangesItsPicture) {
  TfrmStatus status;
  HWND bar = GetDlgItem(status.Handle(), 3);
  ASSERT_NE(bar, nullptr);
  RECT r;
  GetClientRect(bar, &r);
  const int width = r.right - r.left;
  ASSERT_GT(width, 300);
  g_sent.clear();
  g_barProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
  status.Show();

  auto range = [&] { return static_cast<int>(SendMessageA(bar, PBM_GETRANGE, FALSE, 0)); };
  auto pos = [&] { return static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)); };

  // A step of many lines: after every call the bar shows what Max = Count, Position = Index
  // would show, with one range and at most one position per pixel.
  const int count = 50000;
  for (int i = 0; i < count; ++i) {
    status.Progress(i, count);
    ASSERT_EQ(range(), count) << i;
    ASSERT_EQ(Filled(pos(), count, width), Filled(i, count, width)) << i;
  }
  int ranges = 0, positions = 0;
  for (const TBarMessage& m : g_sent) (m.msg == PBM_SETRANGE32 ? ranges : positions)++;
  EXPECT_EQ(ranges, 1);
  EXPECT_LE(positions, width + 1);
  EXPECT_GE(positions, width / 2);

  // The bar is drawn at most so often, its drawing off in between: whatever paints the window
  // next must find it on again, or the form paints over it.
  // (A new range is drawn at once, the positions soon after it are not.)
  for (int i = 0; i < 1000; ++i) status.Progress(i, 1000);
  status.SetStatus("Next");
  EXPECT_TRUE(IsWindowVisible(bar));
  for (int i = 0; i < 1000; ++i) status.Progress(i, 2000);
  status.Show();
  EXPECT_TRUE(IsWindowVisible(bar));

  // A new count: first the range, then the position, at once.
  g_sent.clear();
  status.Progress(3, 7);
  ASSERT_EQ(g_sent.size(), 2u);
  EXPECT_EQ(g_sent[0].msg, static_cast<UINT>(PBM_SETRANGE32));
  EXPECT_EQ(g_sent[0].l, 7);
  EXPECT_EQ(g_sent[1].msg, static_cast<UINT>(PBM_SETPOS));
  EXPECT_EQ(g_sent[1].w, 3u);
  EXPECT_EQ(range(), 7);
  EXPECT_EQ(pos(), 3);

  // The next step of the same count starts from nothing again; the same picture twice is not
  // sent twice.
  g_sent.clear();
  status.Progress(0, 7);
  EXPECT_EQ(pos(), 0);
  status.Progress(0, 7);
  EXPECT_EQ(g_sent.size(), 1u);
  // A step of no items, and the bar's own range of 100 before any step.
  status.Progress(0, 0);
  EXPECT_EQ(range(), 0);
  TfrmStatus fresh;
  HWND freshBar = GetDlgItem(fresh.Handle(), 3);
  fresh.Progress(1, 100);
  EXPECT_EQ(SendMessageA(freshBar, PBM_GETRANGE, FALSE, 0), 100);
  EXPECT_EQ(Filled(SendMessageA(freshBar, PBM_GETPOS, 0, 0), 100, width), Filled(1, 100, width));

  SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_barProc));
}
