#include "plugin/SettingsFile.h"

#include <exception>

#include "rtl/Files.h"

void WithSettingsFile(const std::function<std::string()>& Path, const TConsoleProc& Console,
                      const std::function<void(rtl::TStringList&)>& Command) {
  std::string path;
  bool canSave = true;
  bool existed = false;
  rtl::TStringList settings;
  std::string readText;  // the lines as read, to tell whether the command changed any
  try {
    path = Path();
    if (rtl::FileExists(path)) {
      existed = true;
      try {
        settings.SetText(rtl::ReadFileToString(path));
        readText = settings.Text();
      } catch (const std::exception& e) {
        // Saving now would replace the user's file with an empty one: keep it untouched.
        canSave = false;
        Console("Unable to read settings file '" + path + "': " + e.what());
      }
    }
  } catch (const std::exception& e) {
    canSave = false;
    Console(std::string("Unable to read settings: ") + e.what());
  }

  Command(settings);

  // Lines written back as they were read are the file as it is: left alone it also keeps its
  // time, owner and line ends. A missing file is created, so that "Configure..." finds one.
  if (canSave && (!existed || settings.Text() != readText)) {
    try {
      rtl::WriteFileAtomic(path, settings.Text());
    } catch (const std::exception& e) {
      Console("Unable to save settings file '" + path + "': " + e.what());
    }
  }
}
