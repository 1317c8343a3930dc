#include "import/LevelSearch.h"

#include "container/O_jkc.h"
#include "import/LevelTextures.h"
#include "rtl/Files.h"

namespace {

// <LevelFile's folder>/../<Sub>/, or empty without a level file: a level read from a container
// has no folder of its own, and the current folder is no place to guess in.
std::string BesideLevel(const std::string& LevelFile, const std::string& Sub) {
  if (LevelFile.empty()) return std::string();
  const std::string d(1, rtl::PathDelim);
  return rtl::ExtractFilePath(LevelFile) + ".." + d + rtl::NativePath(Sub) + d;
}

}  // namespace

std::string FindLevelPalette(const std::string& Colormap,
                             const std::vector<std::string>& Containers,
                             const std::string& LevelFile) {
  if (MaterialNameLeavesFolder(Colormap)) return std::string();
  const std::string key = "misc\\cmp\\" + Colormap;
  for (const std::string& path : Containers) {
    if (path.empty() || !rtl::FileExists(path)) continue;
    TJKContainer container;
    try {
      container.Open(path);
    } catch (const std::exception&) {
      continue;  // the texture search names a container it cannot read
    }
    const int index = container.IndexOfKey(key);
    if (index >= 0) return path + ">>" + key;
  }
  const std::string folder = BesideLevel(LevelFile, "misc\\cmp");
  return folder.empty() ? std::string() : rtl::FindFileNoCase(folder, Colormap);
}

std::string FindParentMat(const std::string& LevelFile, const std::string& Material,
                          const std::string& Folder) {
  const std::string folder = BesideLevel(LevelFile, Folder);
  if (folder.empty() || MaterialNameLeavesFolder(Material)) return std::string();
  return rtl::FindFileNoCase(folder, Material);
}
