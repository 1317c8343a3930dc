#include "import/LevelSearch.h"

#include "import/SafeNames.h"

std::string FindLevelPalette(const std::string& Colormap, TResourceIndex& Resources) {
  if (MaterialNameLeavesFolder(Colormap)) return std::string();
  const std::string key = "misc\\cmp\\" + Colormap;
  const TResourceIndex::TEntry found = Resources.FindEntry(key);
  if (found.Entry) return *found.Path + ">>" + key;
  const std::string folder = Resources.BesideLevel({"misc", "cmp"});
  return folder.empty() ? std::string() : Resources.Folders().FindFile(folder, Colormap);
}

std::string FindParentMat(const std::string& Material, TResourceIndex& Resources,
                          const std::vector<std::string>& Sub) {
  if (MaterialNameLeavesFolder(Material)) return std::string();
  const std::string folder = Resources.BesideLevel(Sub);
  return folder.empty() ? std::string() : Resources.Folders().FindFile(folder, Material);
}
