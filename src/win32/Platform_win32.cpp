#include "win32/Platform_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <vector>

#include "import/SettingsFile.h"
#include "plugin/Platform.h"
#include "rtl/SysUtils.h"
#include "win32/FConvTex.h"
#include "win32/FGobDlg.h"
#include "win32/FStatus.h"

namespace {

class Win32Platform : public IPlatform {
 public:
  explicit Win32Platform(HMODULE module) : module_(module) {}

  std::string LibraryPath() override {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(module_, path, MAX_PATH);
    return std::string(path, n);
  }

  std::string OpenFileDialog(const std::string& filter) override {
    // "Text|pattern|Text|pattern" becomes the double-NUL-terminated list Windows wants.
    std::string f = filter;
    for (char& c : f)
      if (c == '|') c = '\0';
    f.append(2, '\0');
    char file[MAX_PATH * 4] = {};
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GetActiveWindow();
    ofn.lpstrFilter = f.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.Flags = OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST |
                OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameA(&ofn)) return std::string();
    return file;
  }

  std::string SelectEntry(const TJKContainer& container, const std::string& folder) override {
    return TfrmDlgGob::SelectEntry(container, folder);
  }

  std::string BrowseFolder(const std::string& title) override {
    char display[MAX_PATH] = {};
    BROWSEINFOA bi = {};
    bi.hwndOwner = GetActiveWindow();
    bi.pidlRoot = nullptr;  // the desktop
    bi.pszDisplayName = display;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    HRESULT co = CoInitialize(nullptr);
    std::string result;
    if (LPITEMIDLIST pidl = SHBrowseForFolderA(&bi)) {
      char path[MAX_PATH] = {};
      if (SHGetPathFromIDListA(pidl, path)) result = path;
      CoTaskMemFree(pidl);
    }
    if (SUCCEEDED(co)) CoUninitialize();
    return result;
  }

  void ShowMessage(const std::string& text, const std::string& caption) override {
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK);
  }

  void ShellOpen(const std::string& path) override {
    ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOW);
  }

  std::string GetInstallPath() override { return ReadInstallPathFromRegistry(); }

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
  static Win32Platform platform(module);
  SetPlatform(&platform);
}
