#include "import/LevelTextures.h"

#include <algorithm>
#include <map>
#include <memory>

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

// The containers of the search list, each opened once for the whole run: a directory does not
// change while a level is imported, and re-reading it for every material costs time in
// proportion to materials x entries.
class TContainerCache {
 public:
  explicit TContainerCache(const TConsoleProc& Console) : console_(Console) {}
  // The container at path, opened on first use; null when no such file exists, or when it
  // cannot be read, which is said once on the console: one bad item of the search list must not
  // cost the level its other textures.
  TJKContainer* Get(const std::string& path) {
    auto it = open_.find(path);
    if (it != open_.end()) return it->second.get();
    if (!rtl::FileExists(path)) return nullptr;
    auto container = std::make_unique<TJKContainer>();
    try {
      container->Open(path);
    } catch (const rtl::Exception& e) {
      console_("Container '" + path + "' skipped: " + e.what());
      container.reset();
    }
    return (open_[path] = std::move(container)).get();
  }

 private:
  const TConsoleProc& console_;
  std::map<std::string, std::unique_ptr<TJKContainer>> open_;
};

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

}  // namespace

int ConvertLevelTextures(const TJKLevel& Level, const TLevelNames& Names,
                         const std::string& LevelFile, const std::string& ContainerFile,
                         TProgressProc Progress, const TTextureSettings& Settings,
                         const TConsoleProc& Console, const TImportOptions& Options,
                         TLevelTextures* Found) {
  // Every line goes through here, so that a caller may leave Console empty.
  const TConsoleProc ConsoleMessage = [&Console](const std::string& Text) {
    if (Console) Console(Text);
  };
  const bool learn = Found && (Options.TextureSizes || Options.TexturePixels);
  // Face texture names are "level/material" and the images are found by them: the folder and
  // file names change exactly as the hand-off changes the names it gives the editor.
  const std::string& levelName = Names.Folder;
  if (levelName != MapSafeName(Level.Name)) {
    ConsoleMessage("Level name '" + Level.Name + "' cannot name a texture folder; '" + levelName +
                   "/' stands for it");
  } else {
    std::string example = levelName != Level.Name ? Level.Name + "/" : std::string();
    for (int i = 0; i < Level.UsedMaterials.Count() && example.empty(); ++i)
      if (MapSafeName(Level.UsedMaterials[i]) != Level.UsedMaterials[i])
        example = Level.Name + "/" + Level.UsedMaterials[i];
    if (!example.empty())
      ConsoleMessage(
          "Texture names cannot hold blanks, quotes or control characters; '_' "
          "stands for them (\"" +
          example + "\" becomes \"" + MapSafeName(example) + "\")");
  }
  for (const TImageNames::TRenamed& r : Names.Images.Renamed())
    ConsoleMessage("Textures '" + r.First + "' and '" + r.Second +
                   "' would share one image name; '" + r.Second + "' is named '" + levelName + "/" +
                   r.Name + "'");
  // 1. The texture folder, under the game's install folder only: without one there is no place
  // to write to (the root of the current drive is no texture folder). A run that writes nothing
  // decodes all the same.
  if (!Settings.InstallPathError.empty()) throw rtl::Exception(Settings.InstallPathError);
  const std::string& install = Settings.InstallPath;
  if (install.empty() && Options.WriteTextures) {
    ConsoleMessage("Game install path not found, unable to convert textures.");
    return 0;
  }
  // The level's name becomes a folder: LevelFolderName keeps it one folder below the texture
  // folder (a container entry can be called anything).
  std::string folder =
      rtl::JoinPath(install, rtl::NativePath(GameTextureFolder)) + levelName + rtl::PathDelim;
  bool created = !Options.WriteTextures;
  try {
    if (!created) created = rtl::ForceDirectories(folder);
  } catch (const std::exception&) {
    created = false;
  }
  if (!created) {
    ConsoleMessage("Failed to create texture directory '" + folder +
                   "', unable to convert textures.");
    return 0;
  }

  // 2. Palette: the configured one, else (when asked) the one the level names.
  TColorMap palette;
  std::string paletteSource = Settings.Palette;
  if (paletteSource.empty() && Options.LevelPalette && !Level.Colormaps.empty()) {
    std::vector<std::string> boxes{ContainerFile};
    for (const std::string& item : rtl::SplitCommaText(Settings.ResourceGobs))
      boxes.push_back(item);
    paletteSource = FindLevelPalette(Level.Colormaps[0], boxes, LevelFile);
    if (!paletteSource.empty())
      ConsoleMessage("Palette '" + Level.Colormaps[0] + "' of the level: " + paletteSource);
  }
  const bool ownPalette = LoadPalette(palette, paletteSource, ConsoleMessage);
  if (Found && Options.TexturePixels) {
    Found->Palette = palette.Palette;
    if (ownPalette) Found->Tables = PaletteTables(paletteSource);
  }

  // 3. Output extension, its letter case kept.
  const std::string& ext = Names.Extension;
  const std::string lowerExt = rtl::LowerCase(ext);
  const bool knownFormat = lowerExt == ".jpg" || lowerExt == ".jpeg" || lowerExt == ".tga";

  // 4, 5. One texture, one buffer; the level's own container first, then ResourceGobs.
  TJKTexture texture;
  texture.Palette = palette.Palette;
  rtl::TMemoryStream buffer;
  std::vector<std::string> search;
  if (!ContainerFile.empty()) search.push_back(ContainerFile);
  // Items that do not exist are passed over silently: they are looked for once, here, rather
  // than once per material (a long list of missing items cost seconds).
  for (const std::string& item : rtl::SplitCommaText(Settings.ResourceGobs))
    if (rtl::FileExists(item)) search.push_back(item);
  TContainerCache containers(ConsoleMessage);

  std::string levelFolder = rtl::ExtractFilePath(LevelFile);
  // Each folder looked in is listed once for the run, its "mat" folder in any letter case.
  rtl::TFolderIndex folders;
  const std::string matFolder = folders.FindFolder(levelFolder, "mat");
  int count = 0;
  const int total = Level.UsedMaterials.Count();
  for (int i = 0; i < total; ++i) {
    if (Progress) Progress(i, total);
    const std::string& material = Level.UsedMaterials[i];
    if (MaterialNameLeavesFolder(material)) {
      ConsoleMessage("Texture '" + material +
                     "' refused: its name points outside the texture folders");
      continue;
    }
    std::string output = folder + Names.ImageFile(material);
    const bool exists =
        Options.WriteTextures && !Options.OverwriteTextures && rtl::FileExists(output);
    if (exists && !learn) continue;

    bool found = false, decoded = false;
    // Where the pixels come from: a file, or a container's entry data by its place, so that
    // entries sharing their data (or one file named in any letter case) are decoded once when
    // only the pixels are wanted.
    std::string source;
    auto known = [&](const std::string& key) {
      source = key;
      if (!learn || !Options.TexturePixels || Options.WriteTextures) return false;
      auto it = Found->Sources.find(key);
      return it != Found->Sources.end() && it->second.Width > 0;
    };
    // A material that cannot be read or decoded is said and passed over; the others, and the
    // level's brushes, still come. Errors name their file (or container and entry) themselves.
    try {
      std::string beside = folders.FindFile(levelFolder, material);
      std::string inMat = matFolder.empty() ? std::string() : folders.FindFile(matFolder, material);
      // A level unpacked from its container keeps "jkl" and "mat" side by side.
      std::string parentMat = beside.empty() && inMat.empty() && Options.SearchParentMat
                                  ? FindParentMat(LevelFile, material, folders)
                                  : std::string();
      if (parentMat.empty() && beside.empty() && inMat.empty() && Options.SearchParentMat &&
          Options.ImportModels)
        parentMat = FindParentMat(LevelFile, material, folders, {"3do", "mat"});
      if (!beside.empty()) {
        found = true;
        decoded = known(beside) || texture.LoadFromFile(beside);
      } else if (!inMat.empty()) {
        found = true;
        decoded = known(inMat) || texture.LoadFromFile(inMat);
      } else if (!parentMat.empty()) {
        found = true;
        decoded = known(parentMat) || texture.LoadFromFile(parentMat);
      } else {
        for (const std::string& path : search) {
          TJKContainer* container = containers.Get(path);
          if (!container) continue;
          std::string key = "mat\\" + material;
          const TGobEntry* entry = container->Find(key);
          // The game finds its models' materials in "3do\mat" too.
          if (!entry && Options.ImportModels) entry = container->Find(key = "3do\\" + key);
          if (!entry) continue;
          found = true;
          if (known(path + ">>@" + std::to_string(entry->Offset) + "+" +
                    std::to_string(entry->Length))) {
            decoded = true;
            break;
          }
          if (entry->Length > MaxMatBytes)
            throw rtl::EFileTooLarge(path + ">>" + key, entry->Length, MaxMatBytes, "a texture");
          buffer.Clear();
          container->ExtractToStream(buffer, key);
          buffer.SetPosition(0);
          try {
            decoded = texture.LoadFromStream(buffer);
          } catch (rtl::Exception& e) {
            e.SetPlace(rtl::InFile(path + ">>" + key));
            throw;
          }
          break;
        }
      }
    } catch (const rtl::Exception& e) {
      if (!exists) ConsoleMessage("Texture '" + material + "' skipped: " + e.what());
      continue;
    }

    if (decoded && learn) {
      TMaterialImage& image = Found->Materials[material];
      if (Options.TexturePixels) {
        TSourcePixels& pixels = Found->Sources[source];
        if (pixels.Width == 0) {
          pixels.Width = texture.Width();
          pixels.Height = texture.Height();
          pixels.Indices = texture.Indices();
          if (pixels.Indices.empty()) pixels.BGRA = texture.Bitmap();
        }
        image.Source = source;
        image.Width = pixels.Width;
        image.Height = pixels.Height;
      } else {
        image.Width = texture.Width();
        image.Height = texture.Height();
      }
    }
    if (exists) continue;
    if (decoded && !Options.WriteTextures) {
      // A run that writes nothing fails where the writing run would: with a format no writer
      // knows, at the first image it would write.
      if (!knownFormat) {
        rtl::Exception e("Unsupported file extension: '" +
                         rtl::LowerCase(rtl::ExtractFileExt(output)) + "'");
        e.SetPlace("setting OutputTexFormat=" + Settings.OutputTexFormat);
        throw e;
      }
      ++count;
    } else if (decoded) {
      try {
        texture.SaveToFile(output);
      } catch (rtl::Exception& e) {
        // The writer's "Unsupported file extension" concerns every texture: it ends the run,
        // told which setting to mend. An image of a known format that cannot be written (too
        // large for its format, say) costs only its own material.
        if (!knownFormat) {
          e.SetPlace("setting OutputTexFormat=" + Settings.OutputTexFormat);
          throw;
        }
        ConsoleMessage("Texture '" + material + "' not written: " + ImageErrorText(e));
        continue;
      }
      ConsoleMessage("Saved: " + output);
      ++count;
    } else if (found) {
      ConsoleMessage("Texture '" + material + "' holds no image that can be converted");
    } else {
      ConsoleMessage("Texture '" + material + "' not found");
    }
  }
  return count;
}
