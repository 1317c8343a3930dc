// What the plug-in's three forms (status window, entry picker, batch converter) share: their
// module, their window class, their font, and the disabling of the thread's other windows while
// one of them runs modally.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The module (the DLL, or a test program that links the forms) that holds a window procedure.
HINSTANCE FormModule(WNDPROC proc);

// Registers a form's window class once per module: button-face background, arrow cursor.
void RegisterFormClass(HINSTANCE instance, const char* className, WNDPROC proc);

// The forms' font: "MS Sans Serif", height -11, default character set. The caller deletes it.
HFONT CreateFormFont();

// The width in pixels of a text drawn in a font on a control, for labels that fit their text.
int TextWidth(HWND control, HFONT font, const std::string& text);

// While it lives, the thread's other visible windows (the editor's among them) are disabled, as
// a modal form wants; they are enabled again with it.
class TDisabledWindows {
 public:
  explicit TDisabledWindows(HWND except);
  ~TDisabledWindows();
  TDisabledWindows(const TDisabledWindows&) = delete;
  TDisabledWindows& operator=(const TDisabledWindows&) = delete;

 private:
  static BOOL CALLBACK Collect(HWND w, LPARAM self);
  HWND except_;
  std::vector<HWND> windows_;
};
