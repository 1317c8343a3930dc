#include "import/ResourceIndex.h"

#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

TResourceIndex::TResourceIndex(const std::string& LevelFile, std::vector<std::string> Containers)
    : levelFile_(LevelFile), containers_(std::move(Containers)) {}

std::vector<std::string> TResourceIndex::SearchList(const std::string& ContainerFile,
                                                    const std::string& ResourceGobs) {
  std::vector<std::string> list;
  if (!ContainerFile.empty()) list.push_back(ContainerFile);
  for (const std::string& item : rtl::SplitCommaText(ResourceGobs)) list.push_back(item);
  return list;
}

TJKContainer* TResourceIndex::Container(const std::string& Path, std::string* Error) {
  auto it = opened_.find(Path);
  if (it == opened_.end()) {
    TOpened opened;
    if (!Path.empty() && rtl::FileExists(Path)) {
      opened.Container = std::make_unique<TJKContainer>();
      try {
        opened.Container->Open(Path);
      } catch (const rtl::Exception& e) {
        opened.Container.reset();
        opened.Error = e.what();
      }
    }
    it = opened_.emplace(Path, std::move(opened)).first;
  }
  if (Error) *Error = it->second.Error;
  return it->second.Container.get();
}

TResourceIndex::TEntry TResourceIndex::FindEntry(const std::string& Key) {
  for (const std::string& path : containers_) {
    TJKContainer* container = Container(path);
    if (!container) continue;
    if (const TGobEntry* entry = container->Find(Key)) return TEntry{&path, container, entry};
  }
  return TEntry();
}

std::string TResourceIndex::BesideLevel(const std::vector<std::string>& Sub) {
  if (levelFile_.empty()) return std::string();
  std::string folder = rtl::ExtractFilePath(levelFile_) + ".." + rtl::PathDelim;
  for (const std::string& name : Sub)
    if (!folder.empty()) folder = folders_.FindFolder(folder, name);
  return folder;
}
