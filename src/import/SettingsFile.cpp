#include "import/SettingsFile.h"

#include <exception>

#include "import/SettingsText.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

const char* const SettingsFileName = "morvane.ini";

#ifdef _WIN32
std::string ReadInstallPathFromRegistry() {
  const char* const keyPath =
      "Software\\LucasArts Entertainment Company LLC\\Star Wars JK II Jedi Outcast\\1.0";
  const char* const valueName = "Install Path";
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::string();
  struct TClose {
    HKEY Key;
    ~TClose() { RegCloseKey(Key); }
  } close{key};
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::string();
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw rtl::Exception(rtl::Format("Invalid data type for '%s'", valueName));
  std::vector<char> buf(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) !=
      ERROR_SUCCESS)
    return std::string();
  return std::string(buf.data());  // stored text up to its NUL, nothing expanded
}
#endif

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
            kind == rtl::TPathKind::File ? rtl::ReadFileToString(path) : ReadSettingsStream(path));
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
