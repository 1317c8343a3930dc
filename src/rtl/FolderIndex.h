// Finding files by name without regard to letter case, as level files name their textures and
// folders in any case, where the file system tells case apart. Each folder is listed once for
// the life of the index (one import): looking up thousands of missing materials otherwise lists
// the same folders of thousands of files once per name.
#pragma once

#include <map>
#include <string>
#include <unordered_map>

namespace rtl {

class TFolderIndex {
 public:
  // As FindFileNoCase: Folder + Name when a plain file of that name exists as written, else
  // Folder + the first plain file in the folder's listing whose name differs from Name in
  // letter case only; empty when there is none. An empty Folder is the current folder.
  std::string FindFile(const std::string& Folder, const std::string& Name);
  // The same for a subfolder, with a delimiter after it: "<Folder>MAT/" for "mat".
  std::string FindFolder(const std::string& Folder, const std::string& Name);

 private:
  struct TListing {
    // Lower-cased name -> the first name of that spelling in the listing.
    std::unordered_map<std::string, std::string> Files, Folders;
  };
  const TListing& Listing(const std::string& Folder);
  std::map<std::string, TListing> listings_;
};

}  // namespace rtl
