#include "import/LevelCogs.h"

#include "import/LevelNames.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

const std::vector<std::unique_ptr<TJKContainer>>& TLevelCogs::Containers() {
  if (openedAll_) return opened_;
  openedAll_ = true;
  for (const std::string& path : containers_) {
    auto container = std::make_unique<TJKContainer>();
    try {
      if (path.empty() || !rtl::FileExists(path) || !container->Open(path)) container.reset();
    } catch (const rtl::Exception&) {
      container.reset();  // the texture search says which containers it cannot read
    }
    opened_.push_back(std::move(container));
  }
  return opened_;
}

bool TLevelCogs::Read(const std::string& File, std::string& Text) {
  if (MaterialNameLeavesFolder(File)) return false;
  if (!levelFile_.empty()) {
    const std::string folder = rtl::ExtractFilePath(levelFile_);
    std::vector<std::string> folders{folder, folder + "cog" + rtl::PathDelim};
    // A level unpacked from its container keeps "jkl" and "cog" side by side.
    if (parentFolder_) folders.push_back(folder + ".." + rtl::PathDelim + "cog" + rtl::PathDelim);
    for (const std::string& f : folders) {
      const std::string file = rtl::FindFileNoCase(f, File);
      if (file.empty()) continue;
      Text = rtl::ReadFileToString(file, MaxCogBytes, "a cog");
      return true;
    }
  }
  const std::string key = "cog\\" + File;
  for (const std::unique_ptr<TJKContainer>& container : Containers()) {
    const TGobEntry* entry = container ? container->Find(key) : nullptr;
    if (!entry || entry->Length > MaxCogBytes) continue;
    rtl::TMemoryStream data;
    container->ExtractToStream(data, key);
    const std::vector<uint8_t>& bytes = data.Bytes();
    Text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
  }
  return false;
}

const TCogScript* TLevelCogs::Find(const std::string& File) {
  const std::string key = rtl::LowerCase(File);
  auto it = scripts_.find(key);
  if (it == scripts_.end()) {
    std::string text;
    bool found = false;
    try {
      found = Read(File, text);
    } catch (const rtl::Exception&) {
      found = false;  // unreadable: decided by the frames alone, as when not found
    }
    it = scripts_.emplace(key, std::make_pair(found, found ? ParseCogScript(text) : TCogScript()))
             .first;
  }
  return it->second.first ? &it->second.second : nullptr;
}

int TLevelCogs::Found() const {
  int n = 0;
  for (const auto& item : scripts_) n += item.second.first;
  return n;
}
