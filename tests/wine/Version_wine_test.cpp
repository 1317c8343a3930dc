// The version resources of the DLL and the exe, read as Explorer's Properties reads them: the
// project's one version, and each file's own name and kind.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "WineSupport.h"

namespace {

// The built file, or the one an environment variable names (an unpacked archive's copy).
std::string Target(const char* variable, const char* built) {
  const char* other = std::getenv(variable);
  return wine_support::WinPath(other && *other ? other : built);
}

std::string StringValue(const std::vector<char>& block, const char* name) {
  void* value = nullptr;
  UINT size = 0;
  std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(block.data(), key.c_str(), &value, &size) || size == 0) return "";
  return static_cast<const char*>(value);
}

}  // namespace

TEST(VersionResource, BothBinariesCarryTheProjectVersion) {
  struct TCase {
    std::string path;
    const char* name;
    DWORD type;
  };
  const TCase cases[] = {{Target("MORVANE_TEST_DLL", MORVANE_DLL_PATH), "morvane.dll", VFT_DLL},
                         {Target("MORVANE_TEST_EXE", MORVANE_EXE_PATH), "morvane.exe", VFT_APP}};
  unsigned major = 0, minor = 0, patch = 0;
  ASSERT_EQ(std::sscanf(MORVANE_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(c.path.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA(c.path.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(minor, major));
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(0, patch));
    EXPECT_EQ(fixed->dwFileType, c.type);
    EXPECT_EQ(StringValue(block, "FileVersion"), MORVANE_VERSION);
    EXPECT_EQ(StringValue(block, "ProductVersion"), MORVANE_VERSION);
    EXPECT_EQ(StringValue(block, "ProductName"), "Morvane");
    EXPECT_EQ(StringValue(block, "OriginalFilename"), c.name);
    EXPECT_NE(StringValue(block, "FileDescription"), "");
    EXPECT_NE(StringValue(block, "LegalCopyright").find("the Morvane authors"), std::string::npos);
  }
}
