#include "win32/Forms_win32.h"

HINSTANCE FormModule(WNDPROC proc) {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char*>(reinterpret_cast<void*>(proc)), &module);
  return module;
}

void RegisterFormClass(HINSTANCE instance, const char* className, WNDPROC proc) {
  WNDCLASSA wc = {};
  if (GetClassInfoA(instance, className, &wc)) return;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
}

HFONT CreateFormFont() {
  return CreateFontA(-11, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                     "MS Sans Serif");
}

int TextWidth(HWND control, HFONT font, const std::string& text) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size = {0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

TDisabledWindows::TDisabledWindows(HWND except) : except_(except) {
  EnumThreadWindows(GetCurrentThreadId(), Collect, reinterpret_cast<LPARAM>(this));
  for (HWND w : windows_) EnableWindow(w, FALSE);
}

TDisabledWindows::~TDisabledWindows() {
  for (HWND w : windows_) EnableWindow(w, TRUE);
}

BOOL CALLBACK TDisabledWindows::Collect(HWND w, LPARAM self) {
  auto* me = reinterpret_cast<TDisabledWindows*>(self);
  if (w != me->except_ && IsWindowVisible(w) && IsWindowEnabled(w)) me->windows_.push_back(w);
  return TRUE;
}
