// What the commands of morvane share about their inputs: checks of the paths given, and where
// the settings live.
#pragma once

#include <iosfwd>
#include <string>

class TJKContainer;

// Checks that an input path names a file that can be read as one: a folder, a device or a FIFO
// each get their own message rather than "no such file". The message goes to err.
bool CheckInputFile(const char* command, const std::string& path, std::ostream& err);

// True (with a usage message) when an output path reaches the input file itself, under any
// spelling or through a link: writing it would destroy what is being read.
bool OutputIsInput(const char* command, const char* option, const std::string& output,
                   const std::string& input, std::ostream& err);

// A container may hold two entries of one name (in any letter case): the first is the one read.
// Says so on err when Key names more than one.
void SayDuplicates(const char* command, const TJKContainer& container, const std::string& key,
                   std::ostream& err);

// Where the settings live when no --settings is given. A program installed for every user sits
// in a folder its users cannot (and should not) write to, so on Linux each user keeps a file of
// their own in the configuration folder; on Windows it stays beside the program, as the
// plug-in's own does.
std::string DefaultSettingsPath();

// The settings file of a command: Given when not empty, else DefaultSettingsPath(), whose
// folder is made when missing (when it cannot be, saving the settings says so in one line).
std::string CommandSettingsPath(bool Given, const std::string& Path);
