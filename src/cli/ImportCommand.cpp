// morvane import: a level into a Radiant .map file and the game's texture folder.
#include <array>
#include <memory>
#include <ostream>

#include "brush/BrushConvert.h"
#include "brush/Reach.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/HeadlessImport.h"
#include "cli/ImportFlags.h"
#include "cli/Inputs.h"
#include "import/ImportSettings.h"
#include "import/LevelTextures.h"
#include "import/MapEntities.h"
#include "import/MapLayout.h"
#include "import/MapWriter.h"
#include "import/MarkedMap.h"
#include "import/SettingsFile.h"
#include "import/WholeMap.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "seal/Seal.h"

namespace {

// The help is made from the option table, so that a new option's flag, key and paragraph appear
// with it.
std::string ImportSynopsis() {
  std::vector<std::string> words = {
      "[--entry KEY]", "[--game-dir DIR]",         "[--settings FILE]",
      "[--map FILE]",  "[--default-texture NAME]", "[--map-format quake3|brushdef]"};
  for (const std::string& flag : ImportFlagWords(false)) words.push_back(flag);
  return WrapWords(words, "  morvane import PATH", std::string(22, ' '), 98);
}

std::string ImportDetails() {
  const std::string column(23, ' ');
  std::vector<std::string> keys = {"Keys:",         "Scale,",     "BrushDepth,",
                                   "NonVisTex,",    "JKPalette,", "OutputTexFormat,",
                                   "ResourceGobs,", "GameFolder,"};
  for (const std::string& key : OnOffKeys()) keys.push_back(key + ",");
  keys.back().back() = '.';
  std::vector<std::string> gameReady = {"all a map for the game needs:"};
  for (const std::string& flag : GameReadyFlags()) gameReady.push_back(flag);
  gameReady.back() += '.';
  return std::string(
             "import  brings a Jedi Knight level into Radiant form, as the editor's \"Import "
             "Level...\"\n"
             "        does: PATH is a .jkl level or a .gob/.goo container (any letter case). "
             "The level's\n"
             "        textures are converted into DIR/GameData/base/textures/<level>/ and its "
             "solid\n"
             "        surfaces become slab brushes, written as a Radiant .map file.\n"
             "  --entry KEY          the level inside a container, under \"jkl\\\" (any "
             "letter case; the\n"
             "                       folder and the .jkl may be left out). Without it a "
             "container's\n"
             "                       single level is taken; with several, the import is "
             "canceled and\n"
             "                       they are listed.\n"
             "  --game-dir DIR       the game's install folder (default: the setting "
             "GameFolder, else\n"
             "                       "
#ifdef _WIN32
             "the one in the registry"
#else
             "the current folder"
#endif
             ").\n"
             "  --settings FILE      the settings file (default: "
#ifdef _WIN32
             "morvane.ini beside this program"
#else
             "$XDG_CONFIG_HOME/morvane/morvane.ini,\n"
             "                       else ~/.config/morvane/morvane.ini"
#endif
             "); read before and\n"
             "                       written back after the import when the import changed "
             "it, as the\n"
             "                       plug-in does.\n") +
         WrapWords(keys, column, column, 96) +
         "  --map FILE           the .map file to write (default: <level>.map in the current "
         "folder;\n"
         "                       ready for the game, DIR/GameData/base/maps/<level>.map); it "
         "may\n"
         "                       not be PATH itself.\n"
         "  --default-texture N  the texture of faces the plug-in leaves as the editor made "
         "them\n"
         "                       (default: system/caulk).\n"
         "  --map-format F       quake3 (default): classic face lines; brushdef: every brush "
         "becomes\n"
         "                       a brushDef block with a texture matrix per face (exact for "
         "any\n"
         "                       affine texture map with --align); a brush whose front "
         "face's image\n"
         "                       size is unknown gets the matrices of a 64 x 64 image.\n" +
         ImportFlagParagraphs() + WrapWords(gameReady, "  --game-ready        ", column, 96) +
         "        Standard output carries the console lines the editor would show "
         "(\"Morvane: ...\").\n";
}

// The standard-error line when the map passes the world's edge, where a compiler drops
// brushes without a word; empty when it does not.
std::string WorldEdgeWarning(const TBrushLevel& BrushLevel, bool Entities) {
  if (BrushLevel.FittingScale == 0) return std::string();
  const double reach = WrittenReach(BrushLevel, Entities), fits = BrushLevel.FittingScale;
  const std::string head = "the map reaches " + rtl::FloatToStr(reach) +
                           " units from the centre, beyond the world's edge at " +
                           rtl::FloatToStr(WorldEdge) + "; ";
  if (BrushLevel.NoScaleFits)
    return head + "no Scale fits: even at " + rtl::FloatToStr(fits) +
           ", the smallest tried, a point of the level lies beyond the edge, as far from the " +
           "rest as no level reaches";
  return head + "the largest Scale that fits is " + rtl::FloatToStr(fits) + " (--fit-world)";
}

// Writes the map in one step as Path; Marked: as a map Morvane names itself (SaveMarkedMap),
// Path then receiving the file written.
TWholeMap WriteMap(const TImportResult& Result, TMapLayout& Layout, bool WithEntities, bool Marked,
                   std::string& Path, TImportTerminal& Terminal) {
  if (!Marked) {
    rtl::TAtomicFile mapFile(Path);
    const TWholeMap whole =
        WriteWholeMap(mapFile.Stream(), Result, Layout, WithEntities, TImportTerminal::Progress);
    Terminal.Clear();
    mapFile.Commit();
    return whole;
  }
  rtl::TMemoryStream body;
  const TWholeMap whole =
      WriteWholeMap(body, Result, Layout, WithEntities, TImportTerminal::Progress);
  Terminal.Clear();
  Path = SaveMarkedMap(std::string(), Path, std::string(body.Bytes().begin(), body.Bytes().end()),
                       [&Terminal](const std::string& Line) { Terminal.Console(Line); });
  return whole;
}

// The game-ready map in the game's maps folder, where the plug-in saves it; Path receives the
// file written.
TWholeMap WriteGameFolderMap(const TImportResult& Result, TMapLayout& Layout,
                             const std::string& Install, std::string& Path,
                             TImportTerminal& Terminal) {
  TWholeMap whole;
  Path = WriteGameMap(
      Install, Result, Layout, whole,
      [&Terminal](const std::string& Line) { Terminal.Console(Line); }, TImportTerminal::Progress);
  Terminal.Clear();
  return whole;
}

// The folders the import writes into, checked before anything is written: a --game-dir that
// does not exist is a typo, not a new game tree (nothing is created), and the game's GameData
// folder itself would get a GameData of its own; a --map in a folder that does not exist would
// fail only after the textures and the shader script were written.
bool CheckOutputFolders(TArgs& a, std::ostream& err) {
  if (a.Has("--game-dir")) {
    const std::string dir = a.Get("--game-dir");
    if (rtl::PathKind(dir) != rtl::TPathKind::Directory) {
      err << "morvane import: --game-dir '" << dir
          << "' is no folder; name the game's install folder (nothing was created)\n";
      return false;
    }
    const std::string name = rtl::ExtractFileName(rtl::ExcludeTrailingPathDelimiter(dir));
    if (rtl::SameText(name, "GameData")) {
      err << "morvane import: --game-dir '" << dir
          << "' is the game's GameData folder itself; name the folder that holds it\n";
      return false;
    }
  }
  if (a.Has("--map")) {
    const std::string folder = rtl::ExtractFilePath(a.Get("--map"));
    if (!folder.empty() && rtl::PathKind(folder) != rtl::TPathKind::Directory) {
      err << "morvane import: the folder of --map '" << a.Get("--map")
          << "' does not exist; nothing was written\n";
      return false;
    }
  }
  return true;
}

int Import(TArgs& a, std::ostream& out, std::ostream& err) {
  const TCommandDef& def = ImportCommand();
  if (a.positional.size() != 1) {
    err << "morvane import: expects exactly one PATH\n" << ShortUsage(def);
    return 2;
  }
  const std::string path = a.positional[0];
  if (!CheckInputFile("import", path, err)) return 2;
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(path));
  const bool container = ext == ".gob" || ext == ".goo";
  if (ext != ".jkl" && !container)
    err << "morvane import: '" << path << "' is not a .jkl, .gob or .goo file\n";
  if (a.Has("--entry") && !container) {
    err << "morvane import: --entry names a level inside a container; '" << path
        << "' is no .gob or .goo container\n"
        << ShortUsage(def);
    return 2;
  }
  if (a.Has("--map") && a.Get("--map").empty()) {
    err << "morvane import: --map needs a file name\n" << ShortUsage(def);
    return 2;
  }
  if (a.Has("--map") && OutputIsInput("import", "--map", a.Get("--map"), path, err)) return 2;
  // The texture of the faces the plug-in leaves as the editor made them: one word of a face line.
  std::string defaultTexture = "system/caulk";
  if (a.Has("--default-texture")) {
    const std::string given = a.Get("--default-texture");
    if (given.empty()) {
      err << "morvane import: --default-texture needs a texture name\n" << ShortUsage(def);
      return 2;
    }
    defaultTexture = MapSafeName(given);
    // Braces open and close blocks of a map whatever word they stand in.
    for (char& c : defaultTexture)
      if (c == '{' || c == '}') c = '_';
    if (defaultTexture != given)
      err << "morvane import: --default-texture '" << given
          << "' cannot be one word of a face line; '" << defaultTexture << "' is used\n";
  }
  const std::string mapFormat = rtl::LowerCase(a.Get("--map-format", "quake3"));
  if (mapFormat != "quake3" && mapFormat != "brushdef") {
    err << "morvane import: unknown map format '" << a.Get("--map-format")
        << "' (quake3 or brushdef)\n"
        << ShortUsage(def);
    return 2;
  }
  const bool brushDef = mapFormat == "brushdef";

  if (!CheckOutputFolders(a, err)) return 1;

  THeadlessImport run;
  run.Command = "import";
  run.Path = path;
  run.SettingsPath = CommandSettingsPath(a.Has("--settings"), a.Get("--settings"));
  run.InstallPathGiven = a.Has("--game-dir");
  if (a.Has("--game-dir")) {
    run.InstallPath = a.Get("--game-dir");
  } else {
#ifdef _WIN32
    try {
      run.InstallPath = ReadInstallPathFromRegistry();
    } catch (const std::exception& e) {
      err << "morvane import: " << e.what() << "\n";
    }
#else
    run.InstallPath = ".";
#endif
  }
  run.EditorTexture = defaultTexture;
  run.EntryGiven = a.Has("--entry");
  run.Entry = a.Get("--entry");
  run.Adjust = [&a, brushDef](TImportOptions& options) {
    ApplyImportFlags(a, false, options);
    // The .map is the only reader of the faces: they are made as each brush is written.
    options.KeepFaces = false;
    // A brushDef matrix is in repeats of the image: every found material's size is needed.
    if (brushDef) options.TextureSizes = true;
  };

  TImportTerminal terminal(out, err, true);
  TImportOptions used;
  std::string installUsed;
  const TImportResult result = RunHeadlessImport(run, terminal, err, used, &installUsed);
  if (!result.Succeeded()) return 1;
  // --entities, --game-ready or GameReady=1 among the settings: a sealed map without its
  // entities would leak.
  const bool withEntities = used.WritesEntities;

  // The map holds what the editor now has, the brushes in the order the editor got them; it
  // replaces the target only when complete. Alignment may also come from the settings file.
  TMapLayout layout(brushDef, used.AlignTextures);
  layout.Converted(TImportContext{*result.Level, *result.BrushLevel, result.Textures, used,
                                  result.Names.FacePrefix});
  const std::string levelName =
      rtl::ChangeFileExt(rtl::ExtractFileName(result.Entry.empty() ? path : result.Entry), "");
  // A map ready for the game goes where the plug-in saves it, into the game's maps folder; a
  // game-ready map named by Morvane replaces only a map Morvane wrote that nobody changed.
  const bool gameReady = !a.Has("--map") && IsGameReady(used);
  const bool gameMap = gameReady && !installUsed.empty();
  std::string mapPath = a.Has("--map") ? a.Get("--map") : levelName + ".map";
  int written = 0, writtenBrushDef = 0, skipped = 0;
  try {
    terminal.Status("Loading Brushes into Radiant...");
    const TWholeMap whole =
        gameMap ? WriteGameFolderMap(result, layout, installUsed, mapPath, terminal)
                : WriteMap(result, layout, withEntities, gameReady, mapPath, terminal);
    written = whole.Written, writtenBrushDef = whole.WrittenBrushDef, skipped = whole.Skipped;
    // Beside a map file only: a map written to a device or pipe has no folder of its own.
    if (rtl::PathKind(mapPath) == rtl::TPathKind::File) {
      const std::string light = WriteGameLightFile(mapPath, result);
      if (!light.empty()) err << "morvane import: wrote the game's light to " << light << "\n";
    }
  } catch (const std::exception& e) {
    terminal.Clear();
    // The unfinished file was removed with its writer.
    err << "morvane import: " << e.what() << "\n";
    return 1;
  }
  const int unsized = layout.Report().BrushDefUnsized;
  if (unsized > 0)
    terminal.Console(rtl::Format(
        "%d brushes of unknown image size written as brushDef for a 64 x 64 image", unsized));
  const std::string edge = WorldEdgeWarning(*result.BrushLevel, withEntities);
  if (!edge.empty()) err << "morvane import: " << edge << "\n";
  const std::string report = layout.ReportLine();
  if (!report.empty()) err << "morvane import: " << report << "\n";
  err << "morvane import: wrote " << written << " brushes to " << mapPath << "\n";
  if (brushDef)
    err << "morvane import: " << (writtenBrushDef == written ? "all" : "not all")
        << " of them as brushDef, " << unsized
        << " sized as 64 x 64 (their front face's image size is unknown)\n";
  if (skipped > 0) err << "morvane import: " << skipped << " brushes without faces left out\n";
  return 0;
}

}  // namespace

const TCommandDef& ImportCommand() {
  static const std::string synopsis = ImportSynopsis(), details = ImportDetails();
  static const TCommandDef command = [] {
    TCommandDef def{"import",
                    synopsis.c_str(),
                    details.c_str(),
                    {{"--entry", true},
                     {"--game-dir", true},
                     {"--settings", true},
                     {"--map", true},
                     {"--default-texture", true},
                     {"--map-format", true}},
                    Import};
    for (const TOptionDef& flag : ImportFlagDefs(false)) def.Options.push_back(flag);
    return def;
  }();
  return command;
}
