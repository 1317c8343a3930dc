// The Win32 side of the platform seam, used by the DLL.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Makes the Win32 platform the current one; module is the DLL (or executable) whose folder holds
// the settings file.
void InstallWin32Platform(HMODULE module);

// The program's arguments in UTF-8, from the wide command line: main's own are in the ANSI code
// page, which cannot spell every file name.
std::vector<std::string> CommandLineArguments();
