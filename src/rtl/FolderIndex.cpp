#include "rtl/FolderIndex.h"

#include <filesystem>
#include <system_error>

#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "rtl/Utf.h"

namespace fs = std::filesystem;

namespace rtl {

const TFolderIndex::TListing& TFolderIndex::Listing(const std::string& Folder) {
  auto found = listings_.find(Folder);
  if (found != listings_.end()) return found->second;
  TListing& listing = listings_[Folder];
#ifndef _WIN32
  // Windows finds any spelling itself; elsewhere the folder is listed, once.
  std::error_code ec;
  const std::string dir = Folder.empty() ? std::string(".") : NativePath(Folder);
  fs::directory_iterator it(FsPath(dir), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    const std::string name = FsString(it->path().filename());
    if (it->is_regular_file(ec2))
      listing.Files.emplace(LowerCase(name), name);
    else if (it->is_directory(ec2))
      listing.Folders.emplace(LowerCase(name), name);
  }
#endif
  return listing;
}

std::string TFolderIndex::FindFile(const std::string& Folder, const std::string& Name) {
  const std::string exact = Folder + Name;
  if (FileExists(exact)) return exact;
  const TListing& listing = Listing(Folder);
  auto it = listing.Files.find(LowerCase(Name));
  return it == listing.Files.end() ? std::string() : Folder + it->second;
}

std::string TFolderIndex::FindFolder(const std::string& Folder, const std::string& Name) {
  const std::string exact = Folder + Name;
  if (DirectoryExists(exact)) return exact + PathDelim;
  const TListing& listing = Listing(Folder);
  auto it = listing.Folders.find(LowerCase(Name));
  return it == listing.Folders.end() ? std::string() : Folder + it->second + PathDelim;
}

}  // namespace rtl
