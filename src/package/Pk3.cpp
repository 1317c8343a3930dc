#include "package/Pk3.h"

#include <zip.h>

#include <memory>
#include <set>

#include "rtl/AtomicFile.h"
#include "rtl/FolderIndex.h"
#include "rtl/Paths.h"
#include "rtl/SysUtils.h"

namespace package {

namespace {

// Files read whole into an archive: a BSP of the largest levels is some tens of MB.
constexpr int64_t MaxEntryBytes = int64_t{512} << 20;

// Shader scripts stay small; one larger is nobody's level script.
constexpr int64_t MaxScriptBytes = int64_t{4} << 20;

std::string ZipError(zip_error_t* Error) {
  const std::string text = zip_error_strerror(Error);
  zip_error_fini(Error);
  return text;
}

// The whole of a libzip source, read after the archive was closed into it.
std::string ReadSource(zip_source_t* Source) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_stat(Source, &st) < 0 || zip_source_open(Source) < 0)
    throw rtl::Exception("The archive could not be read back: " +
                         std::string(zip_error_strerror(zip_source_error(Source))));
  std::string bytes(static_cast<size_t>(st.size), '\0');
  const zip_int64_t got = zip_source_read(Source, bytes.data(), st.size);
  zip_source_close(Source);
  if (got < 0 || static_cast<zip_uint64_t>(got) != st.size)
    throw rtl::Exception("The archive could not be read back whole");
  return bytes;
}

}  // namespace

std::vector<TPk3Entry> LevelFiles(const std::string& Base, const std::string& Level) {
  std::vector<TPk3Entry> entries;
  rtl::TFolderIndex folders;
  const std::string base = rtl::IncludeTrailingPathDelimiter(Base);
  const std::string maps = folders.FindFolder(base, "maps");
  const std::string bsp = maps.empty() ? std::string() : folders.FindFile(maps, Level + ".bsp");
  if (bsp.empty()) throw rtl::Exception("No compiled level maps/" + Level + ".bsp in " + Base);
  entries.push_back({"maps/" + Level + ".bsp", rtl::ReadFileToString(bsp, MaxEntryBytes, "a BSP")});
  const std::string textures = folders.FindFolder(base, "textures");
  const std::string own = textures.empty() ? std::string() : folders.FindFolder(textures, Level);
  if (!own.empty())
    for (const std::string& name : rtl::FindFiles(own, "*"))
      entries.push_back(
          {"textures/" + Level + "/" + name,
           rtl::ReadFileToString(rtl::JoinPath(own, name), MaxEntryBytes, "a texture")});
  const std::string shaders = folders.FindFolder(base, "shaders");
  const std::string mark = "// Morvane shader script of level " + Level + ",";
  if (!shaders.empty())
    for (const std::string& name : rtl::FindFiles(shaders, "*.shader")) {
      std::string text =
          rtl::ReadFileToString(rtl::JoinPath(shaders, name), MaxScriptBytes, "a shader script");
      if (text.rfind(mark, 0) == 0) entries.push_back({"shaders/" + name, std::move(text)});
    }
  return entries;
}

std::string EncodePk3(const std::vector<TPk3Entry>& Entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* target = zip_source_buffer_create(nullptr, 0, 0, &error);
  if (!target) throw rtl::Exception("Cannot make an archive: " + ZipError(&error));
  zip_t* archive = zip_open_from_source(target, ZIP_TRUNCATE, &error);
  if (!archive) {
    zip_source_free(target);
    throw rtl::Exception("Cannot make an archive: " + ZipError(&error));
  }
  // The target outlives the archive: its bytes are read once the archive is closed into it.
  zip_source_keep(target);
  std::unique_ptr<zip_source_t, void (*)(zip_source_t*)> keep(target, zip_source_free);
  std::set<std::string> names;
  for (const TPk3Entry& entry : Entries) {
    const std::string name = rtl::LowerCase(entry.Name);
    if (!names.insert(name).second) continue;
    zip_source_t* data = zip_source_buffer(archive, entry.Bytes.data(), entry.Bytes.size(), 0);
    const zip_int64_t index =
        data ? zip_file_add(archive, name.c_str(), data, ZIP_FL_ENC_UTF_8) : -1;
    // Images already compressed are stored: deflating them again costs time and saves nothing.
    // The rest at zlib's usual level: the best one took eight times as long on a level's BSP
    // for 3 % less.
    const std::string ext = rtl::ExtractFileExt(name);
    const bool packed = ext == ".jpg" || ext == ".jpeg" || ext == ".png";
    if (index >= 0)
      zip_set_file_compression(archive, static_cast<zip_uint64_t>(index),
                               packed ? ZIP_CM_STORE : ZIP_CM_DEFLATE, packed ? 0 : 6);
    if (index < 0) {
      if (data) zip_source_free(data);
      const std::string text = zip_strerror(archive);
      zip_discard(archive);
      throw rtl::Exception("Cannot add '" + name + "' to the archive: " + text);
    }
  }
  if (zip_close(archive) < 0) {
    const std::string text = zip_strerror(archive);
    zip_discard(archive);
    throw rtl::Exception("Cannot make the archive: " + text);
  }
  return ReadSource(target);
}

void WritePk3(const std::string& Path, const std::vector<TPk3Entry>& Entries) {
  rtl::WriteFileAtomic(Path, EncodePk3(Entries));
}

}  // namespace package
