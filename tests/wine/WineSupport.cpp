#include "WineSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace wine_support {

std::string WinPath(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '/') c = '\\';
  if (!p.empty() && p[0] == '\\') p = "Z:" + p;
  return p;
}

std::string CorpusPath(const std::string& sub) {
  const char* env = std::getenv("MORVANE_CORPUS_DIR");
  return WinPath((env && *env ? std::string(env) : std::string(MORVANE_CORPUS_DIR)) + "/" + sub);
}

std::vector<std::string>& ConsoleLines() {
  static std::vector<std::string> lines;
  return lines;
}

static void WINAPI RecordConsole(const char* text) {
  ConsoleLines().push_back(text ? text : "<null>");
}

Plugin::Plugin() {
  static std::atomic<unsigned> counter{0};
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  // Wine hands out the same process ids run after run: the tick count keeps folders apart.
  folder_ = std::string(temp) + "morvane-host-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(GetTickCount()) + "-" + std::to_string(counter++);
  CreateDirectoryA(folder_.c_str(), nullptr);
  std::string dll = folder_ + "\\morvane.dll";
  // MORVANE_TEST_DLL names another build to load, so that one test host can time two builds.
  const char* other = std::getenv("MORVANE_TEST_DLL");
  const std::string source = other && *other ? other : MORVANE_DLL_PATH;
  if (!CopyFileA(WinPath(source).c_str(), dll.c_str(), FALSE))
    ADD_FAILURE() << "cannot copy " << source;
  module_ = LoadLibraryA(dll.c_str());
  if (!module_) {
    ADD_FAILURE() << "LoadLibrary failed for " << dll;
    return;
  }
  Resolve(Init, "QERPlug_Init");
  Resolve(GetName, "QERPlug_GetName");
  Resolve(GetCommandList, "QERPlug_GetCommandList");
  Resolve(GetFuncTable, "QERPlug_GetFuncTable");
  Resolve(Dispatch, "QERPlug_Dispatch");
  ConsoleLines().clear();
}

template <class F>
void Plugin::Resolve(F& f, const char* name) {
  // GetProcAddress hands out a generic pointer; go through void* to give it its real type.
  void* p = reinterpret_cast<void*>(GetProcAddress(module_, name));
  std::memcpy(&f, &p, sizeof f);
}

Plugin::~Plugin() {
  if (module_) FreeLibrary(module_);
  // Remove the scratch folder and everything the plug-in left in it.
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

THostFuncTable* Plugin::Table() {
  auto* table = static_cast<THostFuncTable*>(GetFuncTable());
  table->ConsolePrint = RecordConsole;
  return table;
}

void Plugin::Run(const char* command) {
  float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  Dispatch(command, lo, hi, FALSE);
}

Driver::Driver(std::function<void()> body) : body_(std::move(body)) {
  thread_ = CreateThread(nullptr, 0, &Driver::Main, this, 0, nullptr);
}

Driver::~Driver() { Join(); }

void Driver::Join() {
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
}

DWORD WINAPI Driver::Main(LPVOID self) {
  static_cast<Driver*>(self)->body_();
  return 0;
}

namespace {
struct FindData {
  const char* className;
  const char* caption;
  HWND found;
};
BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
  auto* d = reinterpret_cast<FindData*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
  char cls[256] = {};
  GetClassNameA(hwnd, cls, sizeof cls);
  if (d->className && lstrcmpA(cls, d->className) != 0) return TRUE;
  if (d->caption && WindowText(hwnd) != d->caption) return TRUE;
  d->found = hwnd;
  return FALSE;
}
}  // namespace

HWND WaitForWindow(const char* className, const char* caption, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    FindData d{className, caption, nullptr};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&d));
    if (d.found) return d.found;
    Sleep(50);
  }
  return nullptr;
}

bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < timeoutMs) {
    if (!IsWindow(hwnd)) return true;
    Sleep(50);
  }
  return false;
}

std::string WindowText(HWND hwnd) {
  // Reads the stored text without sending a message, so it works while the window's thread is
  // busy (an import pumps no messages).
  WCHAR wide[2048] = {};
  int n = InternalGetWindowText(hwnd, wide, 2048);
  if (n <= 0) return std::string();
  char buf[4096] = {};
  int m = WideCharToMultiByte(CP_ACP, 0, wide, n, buf, sizeof buf - 1, nullptr, nullptr);
  return std::string(buf, m > 0 ? static_cast<size_t>(m) : 0);
}

namespace {
struct ChildFind {
  int id;
  const char* cls;
  const char* text;
  HWND found;
};
BOOL CALLBACK ChildProc(HWND hwnd, LPARAM lParam) {
  auto* d = reinterpret_cast<ChildFind*>(lParam);
  if (d->cls) {
    char cls[256] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (lstrcmpiA(cls, d->cls) != 0) return TRUE;
    if (d->text && WindowText(hwnd) != d->text) return TRUE;
  } else if (GetDlgCtrlID(hwnd) != d->id) {
    return TRUE;
  }
  d->found = hwnd;
  return FALSE;
}
}  // namespace

HWND FindChildById(HWND parent, int id) {
  ChildFind d{id, nullptr, nullptr, nullptr};
  EnumChildWindows(parent, ChildProc, reinterpret_cast<LPARAM>(&d));
  return d.found;
}

HWND FindChild(HWND parent, const char* className, const char* text) {
  ChildFind d{0, className, text, nullptr};
  EnumChildWindows(parent, ChildProc, reinterpret_cast<LPARAM>(&d));
  return d.found;
}

void PressButton(HWND dialog, int id) {
  // Tell the dialog the button was clicked, as the button itself would: this needs neither the
  // focus nor the mouse, which a test thread cannot rely on.
  HWND button = GetDlgItem(dialog, id);
  if (!button) button = FindChildById(dialog, id);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool ChooseInFileDialog(const std::string& path) {
  HWND dlg = WaitForWindow("#32770", nullptr);
  if (!dlg) return false;
  for (int attempt = 0; attempt < 5; ++attempt) {
    Sleep(200);
    HWND name = FindChildById(dlg, 0x47c);  // the file-name field, a combo box with an edit
    if (!name) continue;
    if (HWND edit = FindChild(name, "Edit", nullptr)) name = edit;
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PressButton(dlg, IDOK);
    if (WaitForWindowGone(dlg, 3000)) return true;
  }
  PressButton(dlg, IDCANCEL);
  WaitForWindowGone(dlg);
  return false;
}

void SetRegistryString(HKEY root, const char* key, const char* name, const char* value) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                 static_cast<DWORD>(lstrlenA(value) + 1));
  RegCloseKey(k);
}

void SetRegistryDword(HKEY root, const char* key, const char* name, DWORD value) {
  HKEY k;
  ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(k);
}

void DeleteRegistryValue(HKEY root, const char* key, const char* name) {
  HKEY k;
  if (RegOpenKeyExA(root, key, 0, KEY_WRITE, &k) == ERROR_SUCCESS) {
    RegDeleteValueA(k, name);
    RegCloseKey(k);
  }
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

}  // namespace wine_support

// A stuck dialog must never hang CI: end the whole test program after a few minutes
// (MORVANE_WATCHDOG_SECONDS overrides it).
namespace {
DWORD MorvaneWatchdogMs() {
  const char* env = getenv("MORVANE_WATCHDOG_SECONDS");
  int seconds = env ? atoi(env) : 0;
  return static_cast<DWORD>(seconds > 0 ? seconds : 300) * 1000;
}
DWORD WINAPI Watchdog(LPVOID) {
  Sleep(MorvaneWatchdogMs());
  fprintf(stderr, "watchdog: the test host ran too long, ending it\n");
  fflush(stderr);
  ExitProcess(99);
}
}  // namespace

int main(int argc, char** argv) {
  CreateThread(nullptr, 0, Watchdog, nullptr, 0, nullptr);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
