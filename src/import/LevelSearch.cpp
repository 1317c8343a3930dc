#include "import/LevelSearch.h"

#include "container/O_jkc.h"
#include "import/SafeNames.h"
#include "rtl/Files.h"
#include "rtl/FolderIndex.h"

namespace {

// <LevelFile's folder>/../<Sub>/ (each folder of Sub in any letter case, as a level unpacked
// from its container may spell them "MAT" or "MISC\CMP"), or empty without a level file or such
// a folder: a level read from a container has no folder of its own, and the current folder is no
// place to guess in.
std::string BesideLevel(const std::string& LevelFile, const std::vector<std::string>& Sub,
                        rtl::TFolderIndex& Folders) {
  if (LevelFile.empty()) return std::string();
  std::string folder = rtl::ExtractFilePath(LevelFile) + ".." + rtl::PathDelim;
  for (const std::string& name : Sub)
    if (!folder.empty()) folder = Folders.FindFolder(folder, name);
  return folder;
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
  rtl::TFolderIndex folders;
  const std::string folder = BesideLevel(LevelFile, {"misc", "cmp"}, folders);
  return folder.empty() ? std::string() : folders.FindFile(folder, Colormap);
}

std::string FindParentMat(const std::string& LevelFile, const std::string& Material,
                          rtl::TFolderIndex& Folders, const std::vector<std::string>& Sub) {
  if (MaterialNameLeavesFolder(Material)) return std::string();
  const std::string folder = BesideLevel(LevelFile, Sub, Folders);
  return folder.empty() ? std::string() : Folders.FindFile(folder, Material);
}
