#include "plugin/SettingsFile.h"

#include <exception>

#include "plugin/SettingsText.h"
#include "rtl/Files.h"

void WithSettingsFile(const std::function<std::string()>& Path, const TConsoleProc& Console,
                      const std::function<void(rtl::TStringList&)>& Command) {
  std::string path;
  bool canSave = true;
  bool existed = false;
  rtl::TStringList settings;
  std::string readText;  // the lines as read, to tell whether the command changed any
  bool utf8Mark = false;
  try {
    path = Path();
    const rtl::TPathKind kind = rtl::PathKind(path);
    if (kind == rtl::TPathKind::File || kind == rtl::TPathKind::Other) {
      existed = true;
      // A FIFO or device is read as it comes, but never written: writing could block for ever
      // or reach somebody else.
      if (kind == rtl::TPathKind::Other) canSave = false;
      try {
        const TSettingsText text = DecodeSettingsText(
            kind == rtl::TPathKind::File ? rtl::ReadFileToString(path, 1 << 20, "a settings file")
                                         : ReadSettingsStream(path));
        if (!text.NotText.empty()) {
          canSave = false;
          Console("Settings file '" + path + "' ignored: " + text.NotText);
        }
        utf8Mark = text.Utf8Mark;
        settings.SetText(text.Text);
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
      rtl::WriteFileAtomic(path, EncodeSettingsText(settings.Text(), utf8Mark));
    } catch (const std::exception& e) {
      Console("Unable to save settings file '" + path + "': " + e.what());
    }
  }
}
