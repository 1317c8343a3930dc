// Running another program (the map compiler) and waiting for it, on POSIX systems: its output goes
// to a log file, never to Morvane's own console, and it reads nothing from the user's terminal.
#pragma once

#include <string>
#include <vector>

namespace package {

// Runs Program with Args and waits for it. Its standard output and error are appended to
// LogPath (created when missing); its standard input is empty. The exit status, or -1 when the
// program could not be started or ended by a signal (Error then says which).
int RunProgram(const std::string& Program, const std::vector<std::string>& Args,
               const std::string& LogPath, std::string& Error);

// The first executable file called Name in the folders of a PATH-like list (":" between them;
// an empty part is the current folder); empty when there is none.
std::string FindOnPath(const std::string& Name, const std::string& PathList);

// Whether Path names a file this user may run.
bool IsExecutable(const std::string& Path);

}  // namespace package
