#include "plugin/Platform.h"

#include "import/SettingsFile.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {
IPlatform* g_Platform = nullptr;
}

IPlatform& Platform() {
  if (!g_Platform) throw rtl::Exception("No platform is set");
  return *g_Platform;
}

void SetPlatform(IPlatform* platform) { g_Platform = platform; }

std::string IPlatform::SettingsPath() {
  return rtl::ExtractFilePath(LibraryPath()) + SettingsFileName;
}
