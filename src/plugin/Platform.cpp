#include "plugin/Platform.h"

#include "import/SettingsFile.h"
#include "plugin/main.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

IPlatform& Platform() { return ThePlugin().Platform(); }

void SetPlatform(IPlatform* platform) { ThePlugin().SetPlatform(platform); }

IPlatform* CurrentPlatform() { return ThePlugin().CurrentPlatform(); }

std::string IPlatform::SettingsPath() {
  return rtl::ExtractFilePath(LibraryPath()) + SettingsFileName;
}
