#include "import/LevelCogs.h"

#include <vector>

#include "import/LevelNames.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

bool TLevelCogs::Read(const std::string& File, std::string& Text) {
  if (MaterialNameLeavesFolder(File)) return false;
  const std::string& levelFile = resources_.LevelFile();
  if (!levelFile.empty()) {
    const std::string folder = rtl::ExtractFilePath(levelFile);
    std::vector<std::string> folders{folder, folder + "cog" + rtl::PathDelim};
    // A level unpacked from its container keeps "jkl" and "cog" side by side.
    if (parentFolder_) folders.push_back(folder + ".." + rtl::PathDelim + "cog" + rtl::PathDelim);
    for (const std::string& f : folders) {
      const std::string file = resources_.Folders().FindFile(f, File);
      if (file.empty()) continue;
      Text = rtl::ReadFileToString(file, MaxCogBytes, "a cog");
      return true;
    }
  }
  const std::string key = "cog\\" + File;
  const TResourceIndex::TEntry found = resources_.FindEntry(key);
  if (!found.Entry || found.Entry->Length > MaxCogBytes) return false;
  rtl::TMemoryStream data;
  found.Container->ExtractToStream(data, key);
  const std::vector<uint8_t>& bytes = data.Bytes();
  Text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return true;
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
