// The entry picker as a plain Win32 window with a modal loop of its own. Positions are pixels:
// the form is not scaled and not centred.
#include "win32/FGobDlg.h"

#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <vector>

#include "container/O_jkc.h"
#include "rtl/Paths.h"
#include "win32/Forms_win32.h"

namespace {

const char* const ClassName = "TfrmDlgGob";

// The Cancel button deliberately does not use IDCANCEL: Esc, which dialogs turn into IDCANCEL,
// must not close the picker.
enum : int { IdLabel = 100, IdList = 101, IdCancel = 102 };

struct PickerState {
  std::vector<TPickerItem> items;
  HWND list = nullptr;
  bool done = false;
  std::string result;
};

void Finish(PickerState& state, bool ok) {
  if (state.done) return;
  state.done = true;
  if (!ok) return;
  int index = static_cast<int>(SendMessageA(state.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                            MAKELPARAM(LVNI_SELECTED, 0)));
  if (index < 0) return;  // OK with nothing selected chooses nothing
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = index;
  if (!SendMessageA(state.list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return;
  size_t at = static_cast<size_t>(item.lParam);
  if (at < state.items.size()) state.result = state.items[at].Caption;
}

LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<PickerState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_NCCREATE: {
      auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      break;
    }
    case DM_GETDEFID:
      return MAKELRESULT(IDOK, DC_HASDEFID);
    case WM_COMMAND:
      if (!state) break;
      if (LOWORD(wParam) == IDOK) Finish(*state, true);
      if (LOWORD(wParam) == IdCancel) Finish(*state, false);
      return 0;  // IDCANCEL (Esc) is ignored on purpose
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (state && header->idFrom == IdList &&
          (header->code == NM_DBLCLK || header->code == NM_RETURN))
        Finish(*state, true);
      return 0;
    }
    case WM_CLOSE:
      if (state) Finish(*state, false);
      return 0;  // the caller destroys the window
    case WM_DESTROY:
      if (state) Finish(*state, false);
      break;
    case WM_CTLCOLORSTATIC:
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK PickerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  // Nothing may unwind into the system's frames.
  try {
    return HandleMessage(hwnd, msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

struct WindowGuard {
  HWND hwnd = nullptr;
  ~WindowGuard() {
    if (hwnd) DestroyWindow(hwnd);
  }
};

struct FontGuard {
  HFONT font = nullptr;
  ~FontGuard() {
    if (font) DeleteObject(font);
  }
};

HWND Child(HWND parent, HINSTANCE instance, const char* cls, const char* text, DWORD style,
           DWORD exStyle, int x, int y, int w, int h, int id, HFONT font) {
  HWND c = CreateWindowExA(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (c) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return c;
}

void AddColumn(HWND list, int index, const char* text, int width, int format) {
  LVCOLUMNA column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
  column.fmt = format;
  column.cx = width;
  column.pszText = const_cast<char*>(text);
  SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index),
               reinterpret_cast<LPARAM>(&column));
}

void FillList(HWND list, const std::vector<TPickerItem>& items) {
  for (size_t i = 0; i < items.size(); ++i) {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<char*>(items[i].Caption.c_str());
    item.lParam = static_cast<LPARAM>(i);
    // The list sorts itself: the row it lands in is what the insert returns.
    int row =
        static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    LVITEMA size = {};
    size.iSubItem = 1;
    size.pszText = const_cast<char*>(items[i].SizeText.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&size));
  }
}

}  // namespace

std::string TfrmDlgGob::SelectEntry(const TJKContainer& Container, const std::string& Folder) {
  PickerState state;
  state.items = PickerItems(Container, Folder);

  HINSTANCE instance = FormModule(PickerProc);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterFormClass(instance, ClassName, PickerProc);

  // A fixed dialog frame with only a close box; client area 290 x 310, at its designed place.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT r = {0, 0, 290, 310};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  const std::string caption = "Container - " + rtl::ExtractFileName(Container.FileName);
  WindowGuard form;
  form.hwnd =
      CreateWindowExA(exStyle, ClassName, caption.c_str(), style, 336, 193, r.right - r.left,
                      r.bottom - r.top, nullptr, nullptr, instance, &state);
  if (!form.hwnd) return std::string();

  FontGuard font;
  font.font = CreateFormFont();

  // Creation order is the tab order: list, OK, Cancel.
  const std::string path = "Files in " + Folder;
  HWND label = Child(form.hwnd, instance, "STATIC", path.c_str(), SS_LEFT | SS_NOPREFIX, 0, 8, 8,
                     32, 13, IdLabel, font.font);
  if (label) {
    // Sized to its text, as an auto-sizing label is.
    HDC dc = GetDC(label);
    HGDIOBJ old = SelectObject(dc, font.font);
    SIZE extent = {32, 13};
    GetTextExtentPoint32A(dc, path.c_str(), static_cast<int>(path.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(label, dc);
    SetWindowPos(label, nullptr, 0, 0, extent.cx, 13, SWP_NOMOVE | SWP_NOZORDER);
  }
  state.list =
      Child(form.hwnd, instance, WC_LISTVIEWA, "",
            WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_SORTASCENDING,
            WS_EX_CLIENTEDGE, 8, 32, 273, 241, IdList, font.font);
  Child(form.hwnd, instance, "BUTTON", "&OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 119, 280, 75, 25,
        IDOK, font.font);
  Child(form.hwnd, instance, "BUTTON", "&Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 207, 280, 75, 25,
        IdCancel, font.font);
  if (!state.list) return std::string();
  AddColumn(state.list, 0, "Name", 150, LVCFMT_LEFT);
  AddColumn(state.list, 1, "Size ", 80, LVCFMT_RIGHT);
  FillList(state.list, state.items);

  {
    TDisabledWindows modal(form.hwnd);
    ShowWindow(form.hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(form.hwnd);
    SetFocus(state.list);
    MSG msg;
    while (!state.done) {
      BOOL got = GetMessageA(&msg, nullptr, 0, 0);
      if (got == 0) {
        // The application is quitting: leave, and let the outer loop see the quit too.
        PostQuitMessage(static_cast<int>(msg.wParam));
        Finish(state, false);
        break;
      }
      if (got == -1) break;
      if (!IsDialogMessageA(form.hwnd, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    // The other windows come back before this one goes, so that activation returns to them.
  }
  ShowWindow(form.hwnd, SW_HIDE);
  return state.done ? state.result : std::string();
}
