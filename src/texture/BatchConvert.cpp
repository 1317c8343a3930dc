#include "texture/BatchConvert.h"

#include <exception>
#include <unordered_map>
#include <vector>

#include "container/O_jkc.h"
#include "rtl/Classes.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"
#include "texture/ColorTables.h"
#include "texture/O_jkt.h"
#include "texture/Palette.h"

namespace {

const char* const ContainerTextureFolder = "mat\\";
const char* const ContainerPaletteFolder = "misc\\cmp\\";

void Status(const TBatchCallbacks& cb, const std::string& text) {
  if (cb.Status) cb.Status(text);
}

void Progress(const TBatchCallbacks& cb, int index, int count) {
  if (cb.Progress) cb.Progress(index, count);
}

void Failure(const TBatchCallbacks& cb, const std::string& name, const std::string& reason) {
  if (cb.Failure) cb.Failure(name, reason);
}

std::string ProgressText(int number, const std::string& name) {
  return rtl::Format(" Status: (%d) %s...", number, name.c_str());
}

std::string DoneText(const TBatchResult& r) {
  if (r.Failed == 0) return rtl::Format(" Status: Done, converted %d textures", r.Converted);
  return rtl::Format(" Status: Done, converted %d textures, %d failed", r.Converted, r.Failed);
}

void MakeOutputDir(const std::string& dir) {
  // An empty text would send the images into whatever the current folder happens to be.
  if (dir.empty() || !rtl::ForceDirectories(dir)) {
    rtl::Exception e("Unable to create directory");
    e.SetPlace(dir.empty() ? std::string("no output folder given") : "folder '" + dir + "'");
    throw e;
  }
}

void Save(const TJKTexture& texture, const std::string& file, TBatchFormat format) {
  if (format == TBatchFormat::JPEG)
    texture.SaveToJPEG(file);
  else
    texture.SaveToTGA(file);
}

// One texture, start to end; the reason when it failed, empty when the image was written.
template <class Load>
std::string ConvertOne(const TBatchOptions& options, const std::string& imageFile, Load load) {
  try {
    TJKTexture texture;
    texture.Palette = options.Palette;
    // Writing the empty image of a file that holds no texture would pass a failure off as a
    // converted texture.
    if (!load(texture)) return "not a texture";
    Save(texture, imageFile, options.Format);
    return std::string();
  } catch (const std::exception& e) {
    std::string reason = e.what();
    return reason.empty() ? std::string("unknown error") : reason;
  }
}

}  // namespace

std::string BatchImageName(const std::string& matName, TBatchFormat format) {
  return rtl::ChangeFileExt(matName, format == TBatchFormat::JPEG ? ".jpg" : ".tga");
}

namespace {

// Counts one texture: converted when there is no reason against it, else failed and reported.
void Tally(TBatchResult& result, const TBatchCallbacks& callbacks, const std::string& name,
           const std::string& reason) {
  if (reason.empty()) {
    ++result.Converted;
  } else {
    ++result.Failed;
    Failure(callbacks, name, reason);
  }
}

}  // namespace

TBatchResult ConvertFromDir(const TBatchOptions& options, const TBatchCallbacks& callbacks) {
  // The input folder is only ever read: a typing error must not leave a new empty folder behind
  // or list whatever the current folder holds.
  if (options.Source.empty()) throw rtl::Exception("No input directory given");
  if (!rtl::DirectoryExists(options.Source))
    throw rtl::Exception(
        rtl::Format("Input directory '%s' does not exist", options.Source.c_str()));
  MakeOutputDir(options.OutputDir);

  TBatchResult result;
  result.Ran = true;
  const std::vector<std::string> names = rtl::FindFiles(options.Source, "*.mat");
  const int count = static_cast<int>(names.size());
  for (int i = 0; i < count; ++i) {
    const std::string& name = names[static_cast<size_t>(i)];
    Status(callbacks, ProgressText(i + 1, name));
    Progress(callbacks, i, count);
    const std::string matFile = rtl::NativePath(rtl::JoinPath(options.Source, name));
    const std::string imageFile =
        rtl::NativePath(rtl::JoinPath(options.OutputDir, BatchImageName(name, options.Format)));
    std::string reason = ConvertOne(options, imageFile, [&](TJKTexture& t) {
      if (!rtl::FileExists(matFile)) throw rtl::EFOpenError(matFile);
      return t.LoadFromFile(matFile);
    });
    Tally(result, callbacks, name, reason);
  }
  Status(callbacks, DoneText(result));
  return result;
}

TBatchResult ConvertFromContainer(const TBatchOptions& options, const TBatchCallbacks& callbacks) {
  TBatchResult result;
  if (!rtl::FileExists(options.Source)) return result;
  // The directory first: a file that is no container leaves no new output folder behind.
  TJKContainer container;
  container.Open(options.Source);
  MakeOutputDir(options.OutputDir);
  result.Ran = true;
  std::vector<std::string> keys;
  for (int i = 0; i < container.Entries.Count(); ++i) {
    const std::string& key = container.Entries.Strings(i);
    if (rtl::LowerCase(key).compare(0, 4, ContainerTextureFolder) == 0) keys.push_back(key);
  }

  // One open handle for the whole run instead of one per entry.
  rtl::TFileStream source(options.Source, rtl::TFileMode::OpenRead);
  rtl::TMemoryStream buffer;
  // Entries in different folders, or in different letter case, can give the same image name;
  // the image written first in this run stays, with the entry that wrote it.
  std::unordered_map<std::string, std::string> written;
  const int count = static_cast<int>(keys.size());
  for (int i = 0; i < count; ++i) {
    const std::string& key = keys[static_cast<size_t>(i)];
    Progress(callbacks, i, count);
    // Only the file-name part: a key cannot lead a write out of the output folder.
    const std::string name = rtl::LowerCase(rtl::ExtractFileName(key));
    std::string reason;
    if (name.empty()) {
      Status(callbacks, ProgressText(result.Converted + result.Failed, key));
      reason = "entry has no file name";
    } else {
      buffer.Clear();
      bool extracted = false;
      try {
        const TGobEntry* entry = container.Find(key);
        if (entry && entry->Length > MaxMatBytes)
          throw rtl::EFileTooLarge(options.Source + ">>" + key, entry->Length, MaxMatBytes,
                                   "a texture");
        extracted = container.ExtractToStream(source, buffer, key);
      } catch (const std::exception& e) {
        reason = e.what();
      }
      if (!extracted && reason.empty()) continue;  // no such entry after all: nothing to convert
      Status(callbacks, ProgressText(result.Converted + result.Failed, key));
      const std::string image = BatchImageName(name, options.Format);
      auto first = written.find(rtl::LowerCase(image));
      if (reason.empty() && first != written.end())
        reason = "its image " + image + " was written from " + first->second +
                 " already in this run; not written over";
      if (reason.empty()) {
        const std::string imageFile = rtl::NativePath(rtl::JoinPath(options.OutputDir, image));
        reason =
            ConvertOne(options, imageFile, [&](TJKTexture& t) { return t.LoadFromStream(buffer); });
        if (reason.empty()) written.emplace(rtl::LowerCase(image), key);
      }
    }
    Tally(result, callbacks, key, reason);
  }
  Status(callbacks, DoneText(result));
  return result;
}

TBatchResult RunBatchConversion(const TBatchOptions& options, const TBatchCallbacks& callbacks) {
  return options.Input == TBatchInput::Directory ? ConvertFromDir(options, callbacks)
                                                 : ConvertFromContainer(options, callbacks);
}

namespace {

TPaletteRGB PaletteFromEntry(const TJKContainer& container, const std::string& key) {
  const TGobEntry* entry = container.Find(key);
  if (entry && entry->Length > MaxColormapBytes)
    throw rtl::EFileTooLarge(container.FileName + ">>" + key, entry->Length, MaxColormapBytes,
                             "a palette");
  rtl::TMemoryStream data;
  if (!container.ExtractToStream(data, key))
    throw rtl::Exception(
        rtl::Format("Palette entry '%s' not found in %s", key.c_str(), container.FileName.c_str()));
  TColorMap map;
  map.LoadFromStream(data);
  return map.Palette;
}

TPaletteRGB PaletteFromFile(const std::string& file) {
  TColorMap map;
  if (!map.LoadFromFile(file)) throw rtl::EFOpenError(file);
  return map.Palette;
}

}  // namespace

TPaletteRGB ReadPaletteSource(const std::string& source) {
  std::string file, key;
  // A file whose folder has ">>" in its name (found beside a level) is a file all the same.
  if (rtl::PathKind(source) == rtl::TPathKind::File || !SplitPaletteSource(source, file, key))
    return PaletteFromFile(source);
  if (!rtl::FileExists(file)) throw rtl::EFOpenError(file);
  TJKContainer container;
  container.Open(file);
  return PaletteFromEntry(container, key);
}

bool PickPalette(const std::string& file, const TEntrySelector& select, TPaletteRGB& palette,
                 std::string& shown) {
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(file));
  if (ext == ".cmp") {
    palette = PaletteFromFile(file);
    shown = file;
    return true;
  }
  if (ext != ".gob" && ext != ".goo") return false;
  TJKContainer container;
  container.Open(file);
  const std::string key = select ? select(container, ContainerPaletteFolder) : std::string();
  if (key.empty()) return false;
  palette = PaletteFromEntry(container, key);
  shown = file + ">>" + key;
  return true;
}
