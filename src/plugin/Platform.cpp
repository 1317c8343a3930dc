#include "plugin/Platform.h"

#include "rtl/SysUtils.h"

namespace {
IPlatform* g_Platform = nullptr;
}

IPlatform& Platform() {
  if (!g_Platform) throw rtl::Exception("No platform is set");
  return *g_Platform;
}

void SetPlatform(IPlatform* platform) { g_Platform = platform; }
