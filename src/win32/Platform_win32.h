// The Win32 side of the platform seam, used by the DLL.
#pragma once

#include <windows.h>

#include <string>

// Makes the Win32 platform the current one; module is the DLL (or executable) whose folder holds
// the settings file.
void InstallWin32Platform(HMODULE module);
