// The import as morvane runs it for import and preview: the settings file read before and
// written back after, as the plug-in does; the answers of the editor's dialogs taken from the
// arguments; the console on standard output; the pipeline's result returned.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "cli/Terminal.h"
#include "import/Pipeline.h"
#include "rtl/Classes.h"

struct THeadlessImport {
  const char* Command = "import";  // names the command in its standard-error lines
  std::string Path;                // the level or container
  std::string SettingsPath;
  std::string InstallPath;
  // --game-dir: InstallPath was given for this run. Otherwise the setting GameFolder, when not
  // empty, names the game's folder instead of InstallPath.
  bool InstallPathGiven = false;
  bool EntryGiven = false;  // --entry: the level of a container, any letter case, folder optional
  std::string Entry;
  // The run's own choices on top of the options the settings give.
  std::function<void(TImportOptions&)> Adjust;
  std::string EditorTexture = "system/caulk";  // the editor's own texture of a new face
  // Reads what else the command needs of the settings, once they are read.
  std::function<void(const rtl::TStringList&)> ReadSettings;
};

// The container's level that Import names, or its single one; otherwise the empty text (the
// import is canceled) with the reason and the container's levels on err.
std::function<std::string(const TJKContainer&, const std::string&)> PickLevel(
    const THeadlessImport& Import, std::ostream& err);

// Runs the import: the console lines (the settings file's, the options', the pipeline's, then
// "Failed: " and the reason, or the closing lines) on Terminal. Used receives the options the
// import ran with (GameReady=1 among the settings turns on every part of --game-ready), and
// InstallUsed, when given, the game's folder it wrote under.
TImportResult RunHeadlessImport(const THeadlessImport& Import, TImportTerminal& Terminal,
                                std::ostream& err, TImportOptions& Used,
                                std::string* InstallUsed = nullptr);
