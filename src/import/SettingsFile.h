// The settings file around one command: read before it, written back after it when the command
// changed the lines (or the file was missing), problems said on the console rather than raised.
// Both hosts keep their settings so; and, on Windows, both find the game where the registry says.
#pragma once

#include <functional>
#include <string>

#include "level/Progress.h"
#include "rtl/Classes.h"

// The settings file's name: beside the plug-in library, or where morvane looks for it.
extern const char* const SettingsFileName;  // "morvane.ini"

#ifdef _WIN32
// The game's install folder from the registry ("" when absent); raises
// "Invalid data type for 'Install Path'" when the value is not a string.
std::string ReadInstallPathFromRegistry();
#endif

// Path is asked for once; an error there, or in reading the file, is one console line, and the
// command then runs with empty settings that are not saved (saving would replace the user's
// file with an empty one). Command must not raise.
void WithSettingsFile(const std::function<std::string()>& Path, const TConsoleProc& Console,
                      const std::function<void(rtl::TStringList&)>& Command);
