// Where one import finds the level's resources: the files beside the level (its folder, the
// folders below it and beside it) and the containers, the level's own first and then those of
// the ResourceGobs setting. Each folder is listed and each container's directory read once per
// import, however many textures, palettes and models ask.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "container/O_jkc.h"
#include "rtl/FolderIndex.h"

class TResourceIndex {
 public:
  // LevelFile: the .jkl file read, empty for a level from a container. Containers: searched in
  // this order; empty names and files that do not exist are passed over.
  TResourceIndex(const std::string& LevelFile, std::vector<std::string> Containers);
  TResourceIndex(const TResourceIndex&) = delete;
  TResourceIndex& operator=(const TResourceIndex&) = delete;

  // The search list of an import: the level's container (if any), then ResourceGobs' items.
  static std::vector<std::string> SearchList(const std::string& ContainerFile,
                                             const std::string& ResourceGobs);

  const std::string& LevelFile() const { return levelFile_; }
  rtl::TFolderIndex& Folders() { return folders_; }
  const std::vector<std::string>& Containers() const { return containers_; }

  // The container at Path with its directory read, or null: no such file, or one that cannot be
  // read (the reason in *Error when asked for).
  TJKContainer* Container(const std::string& Path, std::string* Error = nullptr);

  // The first container of the list that holds Key (letter case ignored), or null.
  struct TEntry {
    const std::string* Path = nullptr;
    TJKContainer* Container = nullptr;
    const TGobEntry* Entry = nullptr;
  };
  TEntry FindEntry(const std::string& Key);

  // <LevelFile's folder>/../<Sub>/ (each folder of Sub in any letter case), or empty without a
  // level file or such a folder: a level read from a container has no folder of its own, and
  // the current folder is no place to guess in.
  std::string BesideLevel(const std::vector<std::string>& Sub);

 private:
  struct TOpened {
    std::unique_ptr<TJKContainer> Container;  // null when it could not be read
    std::string Error;
  };
  std::string levelFile_;
  std::vector<std::string> containers_;
  std::map<std::string, TOpened> opened_;
  rtl::TFolderIndex folders_;
};
