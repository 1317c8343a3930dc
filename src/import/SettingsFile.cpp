#include "import/SettingsFile.h"

#include <exception>

#include "import/SettingsText.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "rtl/Utf.h"

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

const char* const SettingsFileName = "morvane.ini";

#ifdef _WIN32
std::string ReadInstallPathFromRegistry() {
  // Wide characters: a game installed under a name outside the ANSI code page is still found.
  const wchar_t* const keyPath =
      L"Software\\LucasArts Entertainment Company LLC\\Star Wars JK II Jedi Outcast\\1.0";
  const wchar_t* const valueName = L"Install Path";
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::string();
  struct TClose {
    HKEY Key;
    ~TClose() { RegCloseKey(Key); }
  } close{key};
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::string();
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw rtl::Exception("Invalid data type for 'Install Path'");
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = size;
  if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &got) !=
      ERROR_SUCCESS)
    return std::string();
  return rtl::Utf8(buf.data());  // stored text up to its NUL, nothing expanded
}
#endif

// "Scale = 256", as an .ini file may be written: the blanks around the name and the value are
// no part of them (the lines read so; the file keeps them until the command changes a setting).
namespace {

void TrimSettingLines(rtl::TStringList& Settings) {
  for (int i = 0; i < Settings.Count(); ++i) {
    const std::string& line = Settings[i];
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = rtl::Trim(line.substr(0, eq));
    const std::string value = rtl::Trim(line.substr(eq + 1));
    if (name.empty() || name.size() + value.size() + 1 == line.size()) continue;
    Settings.Put(i, name + "=" + value);
  }
}

}  // namespace

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
        TrimSettingLines(settings);
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
