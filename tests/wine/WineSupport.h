// The test host's view of the plug-in: load a fresh copy of morvane.dll from its own folder, fill
// its function table with recording slots, and find and drive its windows from a second thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "plugin/QERadiant_Plugins.h"

namespace wine_support {

// Unix paths from the build become Windows paths on Wine's Z: drive.
std::string WinPath(const std::string& path);
// A file of the corpus as a Windows path: under MORVANE_CORPUS_DIR when set, else the build's.
std::string CorpusPath(const std::string& sub);

// Console lines that the plug-in printed, in order, each as received.
std::vector<std::string>& ConsoleLines();

// One loaded copy of the DLL, in a scratch folder of its own (so that its settings file lies
// there); unloaded with the object.
class Plugin {
 public:
  Plugin();
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  const std::string& Folder() const { return folder_; }
  std::string SettingsFile() const { return folder_ + "\\morvane.ini"; }

  LPCSTR(WINAPI* Init)(HMODULE, HWND) = nullptr;
  LPCSTR(WINAPI* GetName)() = nullptr;
  LPCSTR(WINAPI* GetCommandList)() = nullptr;
  LPVOID(WINAPI* GetFuncTable)() = nullptr;
  void(WINAPI* Dispatch)(LPCSTR, float*, float*, BOOL) = nullptr;

  // Fills the table with the recording console (and whatever else the caller set in table).
  THostFuncTable* Table();
  void Run(const char* command);

 private:
  template <class F>
  void Resolve(F& f, const char* name);
  std::string folder_;
  HMODULE module_ = nullptr;
};

// A thread that runs a driver function and is joined with the object.
class Driver {
 public:
  explicit Driver(std::function<void()> body);
  ~Driver();
  void Join();

 private:
  HANDLE thread_ = nullptr;
  std::function<void()> body_;
  static DWORD WINAPI Main(LPVOID self);
};

// Waits up to timeoutMs for a visible top-level window of this process with that class (or any
// class when null) and caption; null when none appeared.
HWND WaitForWindow(const char* className, const char* caption, DWORD timeoutMs = 15000);
// Waits until the window is gone.
bool WaitForWindowGone(HWND hwnd, DWORD timeoutMs = 15000);
// The text of a window or control.
std::string WindowText(HWND hwnd);
// A child control by its identifier, searched through all descendants.
HWND FindChildById(HWND parent, int id);
// A child control by class and text.
HWND FindChild(HWND parent, const char* className, const char* text);
// Presses a button of a dialog (posted, so that a modal loop behind it does not block us).
void PressButton(HWND dialog, int id);

// Answers the common file-open dialog of this process: types the path into its file-name field
// and confirms. Wine's dialog may take the text before it is ready for it, so the answer is given
// again a few times; a dialog that never takes it is cancelled. True when it took the answer.
bool ChooseInFileDialog(const std::string& path);

// Writes a value into the registry; used to set up the game's install path and regional settings.
void SetRegistryString(HKEY root, const char* key, const char* name, const char* value);
void SetRegistryDword(HKEY root, const char* key, const char* name, DWORD value);
void DeleteRegistryValue(HKEY root, const char* key, const char* name);

std::string ReadTextFile(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);

}  // namespace wine_support
