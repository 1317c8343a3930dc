#include "win32/Platform_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "import/SettingsFile.h"
#include "plugin/Platform.h"
#include "plugin/main.h"
#include "rtl/SysUtils.h"
#include "rtl/Utf.h"
#include "win32/FConvTex.h"
#include "win32/FGobDlg.h"
#include "win32/FStatus.h"

namespace {

class Win32Platform : public IPlatform {
 public:
  explicit Win32Platform(HMODULE module) : module_(module) {}

  std::string LibraryPath() override {
    // Wide: the editor may lie in a folder whose name the ANSI code page cannot spell, and the
    // settings beside the DLL must still be found.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD n = GetModuleFileNameW(module_, &path[0], static_cast<DWORD>(path.size()));
      if (n == 0) return std::string();
      if (n < path.size()) return rtl::Utf8(path.substr(0, n).c_str());
      path.resize(path.size() * 2);
    }
  }

  std::string OpenFileDialog(const std::string& filter) override {
    // "Text|pattern|Text|pattern" becomes the double-NUL-terminated list Windows wants.
    std::wstring f = rtl::Wide(filter);
    for (wchar_t& c : f)
      if (c == L'|') c = L'\0';
    f.append(2, L'\0');
    wchar_t file[MAX_PATH * 4] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = f.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file / sizeof file[0];
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&ofn)) return std::string();
    return rtl::Utf8(file);
  }

  std::string SelectEntry(const TJKContainer& container, const std::string& folder) override {
    return TfrmDlgGob::SelectEntry(container, folder);
  }

  std::string BrowseFolder(const std::string& title) override {
    wchar_t display[MAX_PATH] = {};
    const std::wstring wideTitle = rtl::Wide(title);
    BROWSEINFOW bi = {};
    bi.hwndOwner = GetActiveWindow();
    bi.pidlRoot = nullptr;  // the desktop
    bi.pszDisplayName = display;
    bi.lpszTitle = wideTitle.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    HRESULT co = CoInitialize(nullptr);
    std::string result;
    if (LPITEMIDLIST pidl = SHBrowseForFolderW(&bi)) {
      wchar_t path[MAX_PATH] = {};
      if (SHGetPathFromIDListW(pidl, path)) result = rtl::Utf8(path);
      CoTaskMemFree(pidl);
    }
    if (SUCCEEDED(co)) CoUninitialize();
    return result;
  }

  void ShowMessage(const std::string& text, const std::string& caption) override {
    MessageBoxW(nullptr, rtl::Wide(text).c_str(), rtl::Wide(caption).c_str(), MB_OK);
  }

  void ShellOpen(const std::string& path) override {
    ShellExecuteW(nullptr, L"open", rtl::Wide(path).c_str(), nullptr, nullptr, SW_SHOW);
  }

  std::string GetInstallPath() override { return ReadInstallPathFromRegistry(); }

  std::string EditorText(const std::string& Utf8) override {
    // Characters the code page lacks become its default character: the line still reads.
    const std::wstring wide = rtl::Wide(Utf8);
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    if (n <= 0) return Utf8;
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
  }

  std::unique_ptr<IStatusWindow> CreateStatusWindow() override {
    return std::make_unique<TfrmStatus>();
  }

  bool ShowConvTexDialog(rtl::TStringList& settings) override {
    return ::ShowConvTexDialog(settings);
  }

 private:
  HMODULE module_;
};

}  // namespace

void InstallWin32Platform(HMODULE module) {
  ThePlugin().SetPlatform(std::make_unique<Win32Platform>(module));
}
