#include "win32/FStatus.h"

#include <commctrl.h>

#include <cstdint>

#include "win32/Forms_win32.h"

namespace {

const char* const ClassName = "TfrmStatus";

LRESULT CALLBACK StatusProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CLOSE:
      return 0;  // only the import ends the window
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

TfrmStatus::TfrmStatus() {
  HINSTANCE instance = FormModule(StatusProc);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&icc);
  RegisterFormClass(instance, ClassName, StatusProc);

  // A dialog frame with a caption and no system menu: no close box. Client area 421 x 70,
  // centred on the desktop.
  DWORD style = WS_POPUP | WS_CAPTION | WS_DLGFRAME;
  DWORD exStyle = WS_EX_DLGMODALFRAME;
  RECT r = {0, 0, 421, 70};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  int w = r.right - r.left, h = r.bottom - r.top;
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + ((work.right - work.left) - w) / 2;
  int y = work.top + ((work.bottom - work.top) - h) / 2;
  form_ = CreateWindowExA(exStyle, ClassName, "Status", style, x, y, w, h, nullptr, nullptr,
                          instance, nullptr);
  font_ = CreateFormFont();
  lblCaption_ = CreateWindowExA(0, "STATIC", "Status:", WS_CHILD | WS_VISIBLE | SS_LEFT, 8, 8, 33,
                                13, form_, reinterpret_cast<HMENU>(1), instance, nullptr);
  lblStatus_ = CreateWindowExA(0, "STATIC", "Idle", WS_CHILD | WS_VISIBLE | SS_LEFT, 48, 8, 17, 13,
                               form_, reinterpret_cast<HMENU>(2), instance, nullptr);
  bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 8, 40, 401, 16, form_,
                         reinterpret_cast<HMENU>(3), instance, nullptr);
  SendMessageA(bar_, PBM_SETRANGE32, 0, 100);
  RECT inside;
  GetClientRect(bar_, &inside);
  barWidth_ = inside.right - inside.left;
  for (HWND c : {lblCaption_, lblStatus_})
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

TfrmStatus::~TfrmStatus() {
  if (form_) DestroyWindow(form_);
  if (font_) DeleteObject(font_);
}

void TfrmStatus::Show() {
  ThawBar();
  ShowWindow(form_, SW_SHOWNORMAL);
  RedrawWindow(form_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void TfrmStatus::SetStatus(const std::string& text) {
  ThawBar();
  std::string caption = "Status: " + text;
  SetWindowTextA(lblStatus_, caption.c_str());
  // The label is sized to its text, as an auto-sizing label would be.
  SetWindowPos(lblStatus_, nullptr, 0, 0, TextWidth(lblStatus_, font_, caption), 13,
               SWP_NOMOVE | SWP_NOZORDER);
  // No messages are pumped during an import: paint now.
  RedrawWindow(form_, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

int TfrmStatus::FilledWidth(int Index, int Count) const {
  // As the bar draws itself: the position held within the range, the filled part in
  // proportion of the bar's inner width.
  if (Count <= 0 || Index <= 0) return 0;
  if (Index >= Count) return barWidth_;
  return static_cast<int>(static_cast<int64_t>(Index) * barWidth_ / Count);
}

void TfrmStatus::Progress(int Index, int Count) {
  // A step reports every line or brush: only what would change the picture is sent. Max = Count
  // first, then Position = Index, as always; a new step is drawn at once.
  if (Count != shownCount_) {
    SendMessageA(bar_, PBM_SETRANGE32, 0, Count);
    SendPosition(Index, true);
    shownCount_ = Count;
    shownFilled_ = FilledWidth(Index, Count);
    return;
  }
  const int filled = FilledWidth(Index, Count);
  if (filled == shownFilled_) return;
  SendPosition(Index, false);
  shownFilled_ = filled;
}

void TfrmStatus::SendPosition(int Index, bool DrawNow) {
  // The bar repaints itself on every new position, and a paint costs milliseconds under Wine: a
  // bar of 400 pixels took seconds per step, far longer than the step itself. The bar is told
  // every position, but drawn at most once per PaintIntervalMs; in between its drawing is off,
  // and a paint draws all of it, as the bar does not know what changed since the last one.
  const DWORD now = GetTickCount();
  if (!DrawNow && now - paintedAt_ < PaintIntervalMs) {
    if (!barFrozen_) SendMessageA(bar_, WM_SETREDRAW, FALSE, 0);
    barFrozen_ = true;
    SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(Index), 0);
    return;
  }
  ThawBar();
  InvalidateRect(bar_, nullptr, FALSE);
  SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(Index), 0);
  UpdateWindow(bar_);
  paintedAt_ = now;
}

void TfrmStatus::ThawBar() {
  // A frozen bar counts as hidden: the form would paint over it.
  if (barFrozen_) SendMessageA(bar_, WM_SETREDRAW, TRUE, 0);
  barFrozen_ = false;
}
