// The batch converter as a plain Win32 window. Positions and sizes are pixels at 96 DPI; the
// controls of the input frame are children of the form, placed at the frame's origin plus their
// offset inside it, so that their notifications reach the form directly.
#include "win32/FConvTex.h"

#include <windows.h>
// windows.h first
#include <commctrl.h>

#include <exception>
#include <vector>

#include "plugin/Platform.h"
#include "rtl/Paths.h"
#include "rtl/Utf.h"
#include "texture/BatchConvert.h"
#include "texture/O_jkt.h"
#include "win32/Forms_win32.h"

namespace {

const char* const ClassName = "TfrmConvTex";
const char* const ErrorCaption = "Morvane";
const char* const ContainerFilter = "Jedi Knight Container files (*.gob, *.goo)|*.gob;*.goo|";
const char* const PaletteFilter =
    "All supported files (*.cmp, *.gob, *.goo)|*.cmp;*.gob;*.goo|Jedi Knight Container files "
    "(*.gob, *.goo)|*.gob;*.goo|Jedi Knight Palette files (*.cmp)|*.cmp";

}  // namespace

class TfrmConvTex {
 public:
  TfrmConvTex();
  ~TfrmConvTex();
  TfrmConvTex(const TfrmConvTex&) = delete;
  TfrmConvTex& operator=(const TfrmConvTex&) = delete;

  // False: it closed through its close box (nothing gives OK).
  bool ShowModal();

  std::string Text(int id) const;
  void SetText(int id, const std::string& text);

  void rbtDirClick();
  void btnDirClick();
  void btnOutDirClick();
  void btnContainerClick();
  void btnPaletteClick();
  void btnConvertClick();
  void ConvertFromDir(const std::string& folder);
  void ConvertFromContainer(const std::string& file);

  TPaletteRGB FPalette = DefaultPalette;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void Command(int id);
  HWND Control(int id) const { return GetDlgItem(form_, id); }
  bool Checked(int id) const { return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  void Check(int on, int off);
  void FitToText(int id);
  void Add(const char* cls, const char* text, DWORD style, DWORD exStyle, int x, int y, int w,
           int h, int id);
  void Convert(TBatchInput input, const std::string& source);
  void SetStatus(const std::string& text);

  HINSTANCE instance_ = nullptr;
  HWND form_ = nullptr;
  HFONT font_ = nullptr;
  bool done_ = false;
};

TfrmConvTex::TfrmConvTex() {
  using namespace conv_tex_ids;
  instance_ = FormModule(Proc);
  RegisterFormClass(instance_, ClassName, Proc);

  // Fixed dialog frame with only a close box; client 357 x 291, centred on the screen.
  // No WS_CLIPCHILDREN: the input group box does not paint its inside, the form does.
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT r = {0, 0, 357, 291};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  form_ = CreateWindowExA(exStyle, ClassName, "Batch Convert Textures", style, x, y, w, h, nullptr,
                          nullptr, instance_, this);
  if (!form_) throw rtl::Exception("Unable to create the Batch Convert Textures window");
  font_ = CreateFormFont();

  // Creation order is the tab order: btnConvert, edtPal, edtOutDir, then the input frame
  // (rbtDir, edtDir, rbtContainer, edtContainer), then rbtJPEG, rbtTGA. The "..." buttons take
  // no focus, as speed buttons do not.
  const DWORD edit = WS_TABSTOP | ES_AUTOHSCROLL;
  const DWORD dots = BS_PUSHBUTTON;
  const DWORD radio = WS_TABSTOP | BS_RADIOBUTTON;
  const DWORD label = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
  Add("BUTTON", "&Convert", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, 0, 264, 240, 75, 25, btnConvert);
  Add("EDIT", "dflt.cmp", edit | ES_READONLY, WS_EX_CLIENTEDGE, 8, 138, 313, 21, edtPal);
  Add("BUTTON", "...", dots, 0, 326, 138, 23, 22, btnPalette);
  Add("STATIC", " Status: Idle", SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | SS_NOPREFIX | SS_SUNKEN, 0, 0,
      273, 357, 18, pnlStatus);
  Add("EDIT", "", edit, WS_EX_CLIENTEDGE, 8, 186, 313, 21, edtOutDir);
  Add("BUTTON", "...", dots, 0, 326, 186, 23, 22, btnOutDir);
  Add("BUTTON", " Input textures ", BS_GROUPBOX | WS_GROUP, 0, 8, 8, 341, 109, gbxInput);
  const int gx = 8, gy = 8;  // the input frame's origin
  Add("BUTTON", "Directory (*.mat)", radio | WS_GROUP, 0, gx + 8, gy + 16, 169, 17, rbtDir);
  Add("EDIT", "", edit, WS_EX_CLIENTEDGE, gx + 8, gy + 33, 297, 21, edtDir);
  Add("BUTTON", "...", dots, 0, gx + 310, gy + 33, 23, 22, btnDir);
  Add("BUTTON", "Container (mat\\)", radio, 0, gx + 8, gy + 60, 169, 17, rbtContainer);
  Add("EDIT", "", edit, WS_EX_CLIENTEDGE, gx + 8, gy + 77, 297, 21, edtContainer);
  Add("BUTTON", "...", dots, 0, gx + 310, gy + 77, 23, 22, btnContainer);
  Add("BUTTON", "JPEG", radio | WS_GROUP, 0, 128, 216, 49, 17, rbtJPEG);
  Add("BUTTON", "TGA", radio, 0, 72, 216, 49, 17, rbtTGA);
  Add("STATIC", "Palette file", label | WS_GROUP, 0, 8, 122, 49, 13, Label3);
  Add("STATIC", "Output dir", label, 0, 8, 170, 46, 13, Label1);
  Add("STATIC", "Output as", label, 0, 8, 216, 46, 13, Label2);
  // Labels size themselves to their text, so that a wider font never cuts them off.
  for (int id : {Label3, Label1, Label2}) FitToText(id);
  Check(rbtDir, rbtContainer);
  Check(rbtTGA, rbtJPEG);
}

void TfrmConvTex::FitToText(int id) {
  HWND c = Control(id);
  RECT r;
  GetWindowRect(c, &r);
  SetWindowPos(c, nullptr, 0, 0, TextWidth(c, font_, Text(id)), r.bottom - r.top,
               SWP_NOMOVE | SWP_NOZORDER);
}

TfrmConvTex::~TfrmConvTex() {
  if (form_) {
    SetWindowLongPtrA(form_, GWLP_USERDATA, 0);
    DestroyWindow(form_);
  }
  if (font_) DeleteObject(font_);
}

void TfrmConvTex::Add(const char* cls, const char* text, DWORD style, DWORD exStyle, int x, int y,
                      int w, int h, int id) {
  // Wide controls: the folders they show and take may have names outside the ANSI code page.
  HWND c = CreateWindowExW(exStyle, rtl::Wide(cls).c_str(), rtl::Wide(text).c_str(),
                           WS_CHILD | WS_VISIBLE | style, x, y, w, h, form_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
  if (c) SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
}

std::string TfrmConvTex::Text(int id) const {
  HWND c = Control(id);
  int n = GetWindowTextLengthW(c);
  if (n <= 0) return std::string();
  std::vector<wchar_t> buf(static_cast<size_t>(n) + 1, L'\0');
  int got = GetWindowTextW(c, buf.data(), n + 1);
  buf[static_cast<size_t>(got > 0 ? got : 0)] = L'\0';
  return rtl::Utf8(buf.data());
}

void TfrmConvTex::SetText(int id, const std::string& text) {
  SetWindowTextW(Control(id), rtl::Wide(text).c_str());
}

void TfrmConvTex::Check(int on, int off) {
  SendMessageA(Control(on), BM_SETCHECK, BST_CHECKED, 0);
  SendMessageA(Control(off), BM_SETCHECK, BST_UNCHECKED, 0);
}

void TfrmConvTex::SetStatus(const std::string& text) {
  HWND panel = Control(conv_tex_ids::pnlStatus);
  SetWindowTextW(panel, rtl::Wide(text).c_str());
  // A conversion pumps no messages: paint now.
  RedrawWindow(panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool TfrmConvTex::ShowModal() {
  done_ = false;
  {
    TDisabledWindows modal(form_);
    ShowWindow(form_, SW_SHOWNORMAL);
    SetForegroundWindow(form_);
    SetFocus(Control(conv_tex_ids::btnConvert));
    MSG msg;
    while (!done_) {
      BOOL got = GetMessageA(&msg, nullptr, 0, 0);
      if (got == 0) {
        // The application is quitting: leave, and let the outer loop see the quit too.
        PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      if (got == -1) break;
      if (!IsDialogMessageA(form_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
    // The other windows come back before this one goes, so that activation returns to them.
  }
  ShowWindow(form_, SW_HIDE);
  return false;
}

LRESULT CALLBACK TfrmConvTex::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TfrmConvTex*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!self || !self->form_) return DefWindowProcA(hwnd, msg, wParam, lParam);
  // Nothing may unwind into the system's frames.
  try {
    return self->Handle(msg, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT TfrmConvTex::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0) Command(LOWORD(wParam));
      return 0;  // IDOK (Enter) and IDCANCEL (Esc) close nothing
    case WM_CLOSE:
      done_ = true;
      return 0;  // the owner destroys the window
    case WM_CTLCOLORSTATIC: {
      // Labels, radio buttons, the panel and the read-only palette edit all sit on button face.
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
  }
  return DefWindowProcA(form_, msg, wParam, lParam);
}

void TfrmConvTex::Command(int id) {
  using namespace conv_tex_ids;
  try {
    switch (id) {
      case rbtDir:
        Check(rbtDir, rbtContainer);
        rbtDirClick();
        break;
      case rbtContainer:
        Check(rbtContainer, rbtDir);
        rbtDirClick();
        break;
      case rbtTGA:
        Check(rbtTGA, rbtJPEG);
        break;
      case rbtJPEG:
        Check(rbtJPEG, rbtTGA);
        break;
      case btnDir:
        btnDirClick();
        break;
      case btnOutDir:
        btnOutDirClick();
        break;
      case btnContainer:
        btnContainerClick();
        break;
      case btnPalette:
        btnPaletteClick();
        break;
      case btnConvert:
        btnConvertClick();
        break;
    }
  } catch (const std::exception& e) {
    MessageBoxA(form_, e.what(), ErrorCaption, MB_OK | MB_ICONERROR);
  } catch (...) {
    MessageBoxA(form_, "Unknown error", ErrorCaption, MB_OK | MB_ICONERROR);
  }
}

void TfrmConvTex::rbtDirClick() {
  using namespace conv_tex_ids;
  const bool dir = Checked(rbtDir), container = Checked(rbtContainer);
  EnableWindow(Control(edtDir), dir);
  EnableWindow(Control(edtContainer), container);
  EnableWindow(Control(btnContainer), container);
}

void TfrmConvTex::btnDirClick() {
  std::string folder = Platform().BrowseFolder("Select Directory");
  if (!folder.empty()) SetText(conv_tex_ids::edtDir, folder);
}

void TfrmConvTex::btnOutDirClick() {
  std::string folder = Platform().BrowseFolder("Select Directory");
  if (!folder.empty()) SetText(conv_tex_ids::edtOutDir, folder);
}

void TfrmConvTex::btnContainerClick() {
  std::string file = Platform().OpenFileDialog(ContainerFilter);
  if (!file.empty()) SetText(conv_tex_ids::edtContainer, file);
}

void TfrmConvTex::btnPaletteClick() {
  std::string file = Platform().OpenFileDialog(PaletteFilter);
  if (file.empty()) return;
  TPaletteRGB palette = FPalette;
  std::string shown;
  auto select = [](const TJKContainer& container, const std::string& folder) {
    return Platform().SelectEntry(container, folder);
  };
  if (!PickPalette(file, select, palette, shown)) return;
  FPalette = palette;
  SetText(conv_tex_ids::edtPal, shown);
}

void TfrmConvTex::btnConvertClick() {
  using namespace conv_tex_ids;
  HWND button = Control(btnConvert);
  EnableWindow(button, FALSE);
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  struct Restore {
    HWND button;
    HCURSOR cursor;
    ~Restore() {
      SetCursor(cursor);
      EnableWindow(button, TRUE);
    }
  } restore{button, previous};
  if (Checked(rbtDir)) {
    ConvertFromDir(Text(edtDir));
  } else if (Checked(rbtContainer)) {
    const std::string file = Text(edtContainer);
    if (rtl::FileExists(file)) ConvertFromContainer(file);
  }
}

void TfrmConvTex::ConvertFromDir(const std::string& folder) {
  Convert(TBatchInput::Directory, folder);
}

void TfrmConvTex::ConvertFromContainer(const std::string& file) {
  Convert(TBatchInput::Container, file);
}

void TfrmConvTex::Convert(TBatchInput input, const std::string& source) {
  TBatchOptions options;
  options.Input = input;
  options.Source = source;
  options.OutputDir = Text(conv_tex_ids::edtOutDir);
  options.Palette = FPalette;
  options.Format = Checked(conv_tex_ids::rbtJPEG) ? TBatchFormat::JPEG : TBatchFormat::TGA;
  TBatchCallbacks callbacks;
  callbacks.Status = [this](const std::string& text) { SetStatus(text); };
  RunBatchConversion(options, callbacks);
}

bool ShowConvTexDialog(rtl::TStringList& settings) {
  using namespace conv_tex_ids;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  TfrmConvTex form;
  form.SetText(edtDir, settings.Values("ConvTexDir"));
  form.SetText(edtContainer, settings.Values("ConvTexGob"));
  form.SetText(edtOutDir, settings.Values("ConvTexOutputDir"));
  form.FPalette = DefaultPalette;
  form.rbtDirClick();
  const bool result = form.ShowModal();
  settings.SetValue("ConvTexDir", form.Text(edtDir));
  settings.SetValue("ConvTexGob", form.Text(edtContainer));
  settings.SetValue("ConvTexOutputDir", form.Text(edtOutDir));
  return result;
}
