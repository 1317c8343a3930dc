#include "cli/Inputs.h"

#include <cstdlib>
#include <ostream>

#include "container/O_jkc.h"
#include "import/SettingsFile.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

bool CheckInputFile(const char* command, const std::string& path, std::ostream& err) {
  std::string problem;
  switch (rtl::PathKind(path)) {
    case rtl::TPathKind::File:
      return true;
    case rtl::TPathKind::Missing:
      problem = "no such file '" + path + "'";
      break;
    case rtl::TPathKind::Directory:
      problem = "'" + path + "' is a directory, not a file";
      break;
    case rtl::TPathKind::Other:
      problem = "'" + path + "' is a device or FIFO, not a file";
      break;
  }
  err << "morvane " << command << ": " << problem << "\n";
  return false;
}

void SayDuplicates(const char* command, const TJKContainer& container, const std::string& key,
                   std::ostream& err) {
  int count = 0;
  for (int i = 0; i < container.Entries.Count(); ++i)
    if (rtl::SameText(container.Entries.Strings(i), key)) ++count;
  if (count > 1)
    err << "morvane " << command << ": " << container.FileName << " holds " << count
        << " entries named '" << key << "'; the first is taken\n";
}

bool OutputIsInput(const char* command, const char* option, const std::string& output,
                   const std::string& input, std::ostream& err) {
  if (!rtl::SameFile(output, input)) return false;
  err << "morvane " << command << ": " << option << " '" << output << "' is the input file '"
      << input << "' itself\n";
  return true;
}

std::string DefaultSettingsPath() {
#ifdef _WIN32
  return rtl::ExtractFilePath(rtl::ExecutablePath()) + SettingsFileName;
#else
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {  // a relative value is to be ignored
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    std::string homeDir = home && home[0] ? home : std::string();
    if (homeDir.empty()) {
      if (const struct passwd* pw = getpwuid(getuid())) homeDir = pw->pw_dir ? pw->pw_dir : "";
    }
    if (homeDir.empty()) return SettingsFileName;  // nowhere better: the current folder
    base = rtl::JoinPath(homeDir, ".config");
  }
  return rtl::JoinPath(rtl::JoinPath(base, "morvane"), SettingsFileName);
#endif
}

std::string CommandSettingsPath(bool Given, const std::string& Path) {
  if (Given) return Path;
  std::string path = DefaultSettingsPath();
  rtl::ForceDirectories(rtl::ExtractFilePath(path));
  return path;
}
