// The five entry points that the editor finds by name. No exception may leave them: Dispatch
// catches everything itself, and the others cannot fail.
#include <windows.h>

#include "plugin/main.h"
#include "win32/Platform_win32.h"

extern "C" {

LPCSTR WINAPI QERPlug_Init(HMODULE, HWND) { return PluginDescription; }

LPCSTR WINAPI QERPlug_GetName() { return PluginName; }

LPCSTR WINAPI QERPlug_GetCommandList() { return PluginCommandList; }

LPVOID WINAPI QERPlug_GetFuncTable() { return GetFuncTable(); }

void WINAPI QERPlug_Dispatch(LPCSTR command, float* vMin, float* vMax, BOOL) {
  // The selection bounds are copied and not used.
  float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  if (vMin) CopyMemory(lo, vMin, sizeof lo);
  if (vMax) CopyMemory(hi, vMax, sizeof hi);
  (void)lo;
  (void)hi;
  try {
    Dispatch(command);
  } catch (...) {
    // Dispatch reports every error itself; nothing may reach the editor.
  }
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    InstallWin32Platform(instance);
  }
  return TRUE;
}
