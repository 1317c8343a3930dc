#include "import/LevelTextures.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "container/O_jkc.h"
#include "import/ImageNames.h"
#include "import/LevelSearch.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/FolderIndex.h"
#include "rtl/SysUtils.h"
#include "texture/BatchConvert.h"
#include "texture/O_jkt.h"

namespace {

// Loads the palette named by the JKPalette setting: a CMP file, or "container>>entry", read by
// the same parser as the batch converter's palette, so that a text that one of them accepts the
// other accepts too. Whatever goes wrong, the import goes on with the built-in palette.
bool LoadPalette(TColorMap& palette, const std::string& source, const TConsoleProc& Console) {
  try {
    palette.Palette = ReadPaletteSource(source);
    return true;
  } catch (const std::exception&) {
    palette.Palette = DefaultPalette;
    Console("Failed to load palette '" + source + "', using default");
    return false;
  }
}

// The light and transparency tables of the palette that was loaded; none when they cannot be
// read (the palette's own failure was said already).
TColorTables PaletteTables(const std::string& source) {
  try {
    return ReadColorTablesSource(source);
  } catch (const std::exception&) {
    return TColorTables();
  }
}

// An error of an image writer in words: libjpeg's errors carry only a number in their message.
std::string ImageErrorText(const rtl::Exception& e) {
  const EJPEG* jpeg = dynamic_cast<const EJPEG*>(&e);
  if (!jpeg || jpeg->Words.empty()) return e.what();
  std::string text = e.BaseMessage() + ": " + jpeg->Words;
  if (!e.Place().empty()) text += " (" + e.Place() + ")";
  return text;
}

// One run of the texture step over a level's materials.
class TTextureRun {
 public:
  TTextureRun(const TTextureJob& Job, TLevelTextures* Found)
      : job_(Job),
        found_(Found),
        learn_(Found && (Job.Options.TextureSizes || Job.Options.TexturePixels)),
        say_([this](const std::string& Text) { Say(Text); }) {}
  int Run();

 private:
  // Where one material's pixels came from, and whether it was found and decoded.
  struct TLook {
    bool Found = false, Decoded = false;
    std::string Source;
  };
  void Say(const std::string& Text) const {
    if (job_.Console) job_.Console(Text);
  }
  void SayNames() const;
  bool MakeFolder();
  void LoadLevelPalette();
  TLook Look(const std::string& Material);
  bool Known(TLook& Look, const std::string& Key) const;
  bool LookInContainers(const std::string& Material, TLook& Look);
  void Learn(const std::string& Material, const TLook& Look);
  bool Write(const std::string& Material, const std::string& Output, const TLook& Look);

  const TTextureJob& job_;
  TLevelTextures* found_;
  const bool learn_;
  const TConsoleProc say_;  // Say as a console for the helpers
  std::string folder_;
  // One texture and one buffer for every material.
  TJKTexture texture_;
  rtl::TMemoryStream buffer_;
  std::set<std::string> saidContainers_;
};

void TTextureRun::SayNames() const {
  // Face texture names are "level/material" and the images are found by them: the folder and
  // file names change exactly as the hand-off changes the names it gives the editor.
  const TJKLevel& level = job_.Level;
  const std::string& levelName = job_.Names.Folder;
  if (levelName != MapSafeName(level.Name)) {
    Say("Level name '" + level.Name + "' cannot name a texture folder; '" + levelName +
        "/' stands for it");
  } else {
    std::string example = levelName != level.Name ? level.Name + "/" : std::string();
    for (int i = 0; i < level.UsedMaterials.Count() && example.empty(); ++i)
      if (MapSafeName(level.UsedMaterials[i]) != level.UsedMaterials[i])
        example = level.Name + "/" + level.UsedMaterials[i];
    if (!example.empty())
      Say("Texture names cannot hold blanks, quotes or control characters; '_' "
          "stands for them (\"" +
          example + "\" becomes \"" + MapSafeName(example) + "\")");
  }
  for (const TImageNames::TRenamed& r : job_.Names.Images.Renamed())
    Say("Textures '" + r.First + "' and '" + r.Second + "' would share one image name; '" +
        r.Second + "' is named '" + levelName + "/" + r.Name + "'");
}

// The texture folder, under the game's install folder only: without one there is no place to
// write to (the root of the current drive is no texture folder). A run that writes nothing
// decodes all the same. False: said, and nothing is converted.
bool TTextureRun::MakeFolder() {
  const TTextureSettings& settings = job_.Settings;
  if (!settings.InstallPathError.empty()) throw rtl::Exception(settings.InstallPathError);
  const bool write = job_.Options.WriteTextures;
  if (settings.InstallPath.empty() && write) {
    Say("Game install path not found, unable to convert textures.");
    return false;
  }
  // The level's name becomes a folder: its name rules keep it one folder below the texture
  // folder (a container entry can be called anything).
  folder_ = rtl::JoinPath(settings.InstallPath, rtl::NativePath(GameTextureFolder)) +
            job_.Names.Folder + rtl::PathDelim;
  bool created = !write;
  try {
    if (!created) created = rtl::ForceDirectories(folder_);
  } catch (const std::exception&) {
    created = false;
  }
  if (!created)
    Say("Failed to create texture directory '" + folder_ + "', unable to convert textures.");
  return created;
}

// The configured palette, else (when asked) the one the level names.
void TTextureRun::LoadLevelPalette() {
  const TJKLevel& level = job_.Level;
  std::string source = job_.Settings.Palette;
  if (source.empty() && job_.Options.LevelPalette && !level.Colormaps.empty()) {
    source = FindLevelPalette(level.Colormaps[0], job_.Resources);
    if (!source.empty()) Say("Palette '" + level.Colormaps[0] + "' of the level: " + source);
  }
  TColorMap palette;
  const bool own = LoadPalette(palette, source, say_);
  if (found_ && job_.Options.TexturePixels) {
    found_->Palette = palette.Palette;
    if (own) found_->Tables = PaletteTables(source);
  }
  texture_.Palette = palette.Palette;
}

// Where the pixels come from: a file, or a container's entry data by its place, so that entries
// sharing their data (or one file named in any letter case) are decoded once when only the
// pixels are wanted. True when they were decoded already.
bool TTextureRun::Known(TLook& Look, const std::string& Key) const {
  Look.Source = Key;
  if (!learn_ || !job_.Options.TexturePixels || job_.Options.WriteTextures) return false;
  auto it = found_->Sources.find(Key);
  return it != found_->Sources.end() && it->second.Width > 0;
}

// The files first: beside the level, in its "mat" folder, in the "mat" folder beside the
// level's (a level unpacked from its container), then the containers. Errors name their file
// (or container and entry) themselves.
TTextureRun::TLook TTextureRun::Look(const std::string& Material) {
  const TImportOptions& options = job_.Options;
  TResourceIndex& resources = job_.Resources;
  rtl::TFolderIndex& folders = resources.Folders();
  const std::string levelFolder = rtl::ExtractFilePath(resources.LevelFile());
  const std::string matFolder = folders.FindFolder(levelFolder, "mat");
  std::string file = folders.FindFile(levelFolder, Material);
  if (file.empty() && !matFolder.empty()) file = folders.FindFile(matFolder, Material);
  if (file.empty() && options.SearchParentMat) file = FindParentMat(Material, resources);
  if (file.empty() && options.SearchParentMat && options.ImportModels)
    file = FindParentMat(Material, resources, {"3do", "mat"});
  TLook look;
  if (!file.empty()) {
    look.Found = true;
    look.Decoded = Known(look, file) || texture_.LoadFromFile(file);
    return look;
  }
  LookInContainers(Material, look);
  return look;
}

bool TTextureRun::LookInContainers(const std::string& Material, TLook& Look) {
  TResourceIndex& resources = job_.Resources;
  for (const std::string& path : resources.Containers()) {
    std::string error;
    TJKContainer* container = resources.Container(path, &error);
    // One bad item of the search list must not cost the level its other textures: it is said
    // once, where it is first needed.
    if (!error.empty() && saidContainers_.insert(path).second)
      Say("Container '" + path + "' skipped: " + error);
    if (!container) continue;
    std::string key = "mat\\" + Material;
    const TGobEntry* entry = container->Find(key);
    // The game finds its models' materials in "3do\mat" too.
    if (!entry && job_.Options.ImportModels) entry = container->Find(key = "3do\\" + key);
    if (!entry) continue;
    Look.Found = true;
    if (Known(Look,
              path + ">>@" + std::to_string(entry->Offset) + "+" + std::to_string(entry->Length)))
      return Look.Decoded = true;
    if (entry->Length > MaxMatBytes)
      throw rtl::EFileTooLarge(path + ">>" + key, entry->Length, MaxMatBytes, "a texture");
    buffer_.Clear();
    container->ExtractToStream(buffer_, key);
    buffer_.SetPosition(0);
    try {
      return Look.Decoded = texture_.LoadFromStream(buffer_);
    } catch (rtl::Exception& e) {
      e.SetPlace(rtl::InFile(path + ">>" + key));
      throw;
    }
  }
  return false;
}

void TTextureRun::Learn(const std::string& Material, const TLook& Look) {
  TMaterialImage& image = found_->Materials[Material];
  if (!job_.Options.TexturePixels) {
    image.Width = texture_.Width();
    image.Height = texture_.Height();
    return;
  }
  TSourcePixels& pixels = found_->Sources[Look.Source];
  if (pixels.Width == 0) {
    pixels.Width = texture_.Width();
    pixels.Height = texture_.Height();
    pixels.Indices = texture_.Indices();
    if (pixels.Indices.empty()) pixels.BGRA = texture_.Bitmap();
  }
  image.Source = Look.Source;
  image.Width = pixels.Width;
  image.Height = pixels.Height;
}

// The image of a material that was looked for; true when it counts as converted. The image
// format was checked before the run: every writer knows it.
bool TTextureRun::Write(const std::string& Material, const std::string& Output, const TLook& Look) {
  if (Look.Decoded && !job_.Options.WriteTextures) return true;
  if (Look.Decoded) {
    try {
      texture_.SaveToFile(Output);
    } catch (const rtl::Exception& e) {
      // An image that cannot be written (too large for its format, say) costs only its own
      // material.
      Say("Texture '" + Material + "' not written: " + ImageErrorText(e));
      return false;
    }
    Say("Saved: " + Output);
    return true;
  }
  if (Look.Found)
    Say("Texture '" + Material + "' holds no image that can be converted");
  else
    Say("Texture '" + Material + "' not found");
  return false;
}

int TTextureRun::Run() {
  SayNames();
  if (!MakeFolder()) return 0;
  LoadLevelPalette();
  const TImportOptions& options = job_.Options;
  int count = 0;
  const TJKLevel& level = job_.Level;
  const int total = level.UsedMaterials.Count();
  for (int i = 0; i < total; ++i) {
    if (job_.Progress) job_.Progress(i, total);
    const std::string& material = level.UsedMaterials[i];
    if (MaterialNameLeavesFolder(material)) {
      Say("Texture '" + material + "' refused: its name points outside the texture folders");
      continue;
    }
    const std::string output = folder_ + job_.Names.ImageFile(material);
    const bool exists =
        options.WriteTextures && !options.OverwriteTextures && rtl::FileExists(output);
    if (exists && !learn_) continue;
    TLook look;
    // A material that cannot be read or decoded is said and passed over; the others, and the
    // level's brushes, still come.
    try {
      look = Look(material);
    } catch (const rtl::Exception& e) {
      if (!exists) Say("Texture '" + material + "' skipped: " + e.what());
      continue;
    }
    if (look.Decoded && learn_) Learn(material, look);
    if (!exists && Write(material, output, look)) ++count;
  }
  return count;
}

}  // namespace

int ConvertLevelTextures(const TTextureJob& Job, TLevelTextures* Found) {
  return TTextureRun(Job, Found).Run();
}
