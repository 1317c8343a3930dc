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
#include "import/SettingsFile.h"
#include "import/WholeMap.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "seal/Seal.h"

namespace {

const char* const ImportSynopsis =
    "  morvane import PATH [--entry KEY] [--game-dir DIR] [--settings FILE] [--map FILE]\n"
    "                      [--default-texture NAME] [--overwrite-textures] [--align]\n"
    "                      [--map-format quake3|brushdef] [--clean] [--entities] [--seal]\n"
    "                      [--fit-world] [--adjoins] [--shaders] [--level-palette] [--parent-mat]\n"
    "                      [--water] [--lights] [--models] [--game-ready]\n";
const char* const ImportDetails =
    "import  brings a Jedi Knight level into Radiant form, as the editor's \"Import Level...\"\n"
    "        does: PATH is a .jkl level or a .gob/.goo container (any letter case). The level's\n"
    "        textures are converted into DIR/GameData/base/textures/<level>/ and its solid\n"
    "        surfaces become slab brushes, written as a Radiant .map file.\n"
    "  --entry KEY          the level inside a container, under \"jkl\\\" (any letter case; the\n"
    "                       folder and the .jkl may be left out). Without it a container's\n"
    "                       single level is taken; with several, the import is canceled and\n"
    "                       they are listed.\n"
    "  --game-dir DIR       the game's install folder (default: the setting GameFolder, else\n"
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
    "                       written back after the import when the import changed it, as the\n"
    "                       plug-in does. Keys: Scale, BrushDepth, NonVisTex, JKPalette,\n"
    "                       OutputTexFormat, ResourceGobs, CleanSlabs, AlignTextures,\n"
    "                       SealLevel, FitWorld, ImportAdjoins, LevelPalette, SearchParentMat,\n"
    "                       WaterVolumes, GameLights, ImportModels, GameReady, GameFolder.\n"
    "  --map FILE           the .map file to write (default: <level>.map in the current folder;\n"
    "                       ready for the game, DIR/GameData/base/maps/<level>.map); it may\n"
    "                       not be PATH itself.\n"
    "  --default-texture N  the texture of faces the plug-in leaves as the editor made them\n"
    "                       (default: system/caulk).\n"
    "  --overwrite-textures convert the level's textures again even where their images exist\n"
    "                       (as after a change of palette).\n"
    "  --align              fit each front face's texture projection to the level's texture\n"
    "                       vertices, as the AlignTextures setting does, for this run only (the\n"
    "                       setting file is not changed); one line on standard error says how\n"
    "                       near the corners came.\n"
    "  --map-format F       quake3 (default): classic face lines; brushdef: every brush becomes\n"
    "                       a brushDef block with a texture matrix per face (exact for any\n"
    "                       affine texture map with --align); a brush whose front face's image\n"
    "                       size is unknown gets the matrices of a 64 x 64 image.\n"
    "  --clean              clean slabs for this run (the setting CleanSlabs=1, not stored):\n"
    "                       corners repeated or in line with their neighbours are dropped\n"
    "                       before a slab is built, and surfaces left without area make none.\n"
    "  --entities           after the worldspawn, one point entity per thing of the level\n"
    "                       (info_player_deathmatch for a walkplayer, else info_null; keys\n"
    "                       origin, angles and template) and one light per editor light (keys\n"
    "                       origin, light and range), in the level's order; a thing or light\n"
    "                       that lies in no sector is left out, with a console line.\n"
    "  --seal               seal the level for a map compiler (the setting SealLevel=1, not\n"
    "                       stored): the slabs become detail brushes, and a shell of structural\n"
    "                       boxes on a 64-unit grid (textured NonVisTex) encloses every sector.\n"
    "  --fit-world          when the map would reach beyond +-65536 units, use the largest\n"
    "                       power-of-two Scale that fits, for this run.\n"
    "  --adjoins            each surface between two sectors that the game draws (water,\n"
    "                       windows, grates) becomes a thin detail brush, one for both sides of\n"
    "                       a pair (the setting ImportAdjoins=1 for this run).\n"
    "  --shaders            write DIR/GameData/base/shaders/<level>.shader: a shader per way a\n"
    "                       material is used (sky, translucent, a drawn adjoin the player\n"
    "                       passes or not, water); a material used in several ways names\n"
    "                       them by a suffix (_sky, _trans, _pass, _block, _water, _volume);\n"
    "                       named in shaders/shaderlist.txt when that file exists.\n"
    "  --water              each underwater sector becomes a water volume (a brush of the\n"
    "                       sector's shape, a water shader), surfaces of water water shaders;\n"
    "                       writes the shader script (the setting WaterVolumes=1 for this run).\n"
    "  --lights             with --entities: the lights written so that a light compiler gives\n"
    "                       the game's light (linear, reaching zero at their range; negative\n"
    "                       ones left out; fill lights and _ambient fitted to the light baked\n"
    "                       into the level's corners), as GameLights=1 does.\n"
    "  --level-palette      without JKPalette, use the palette the level names (misc\\cmp\\ in\n"
    "                       its containers or beside its folder), as LevelPalette=1 does.\n"
    "  --parent-mat         look for materials in the mat folder beside the level's folder too\n"
    "                       (a level unpacked from its container), as SearchParentMat=1 does.\n"
    "  --models             the things the game draws with a 3DO model become models: one\n"
    "                       MD3 per model in DIR/GameData/base/models/<level>/, its materials\n"
    "                       converted with the level's textures, and with --entities a\n"
    "                       misc_model per thing (ImportModels=1 for this run). A model is\n"
    "                       looked for in the level's 3do folder, with --parent-mat in\n"
    "                       <level folder>/../3do/, then as 3do\\ in the level's container and\n"
    "                       ResourceGobs.\n"
    "  --game-ready         all a map for the game needs: --entities --clean --align --seal\n"
    "                       --fit-world --adjoins --shaders --level-palette --parent-mat\n"
    "                       --water --lights --models.\n"
    "        Standard output carries the console lines the editor would show (\"Morvane: ...\").\n";

// The standard-error line when the map passes the world's edge, where a compiler drops
// brushes without a word; empty when it does not.
std::string WorldEdgeWarning(const TBrushLevel& BrushLevel, bool Entities) {
  if (BrushLevel.FittingScale == 0) return std::string();
  const double reach = WrittenReach(BrushLevel, Entities), fits = BrushLevel.FittingScale;
  return "the map reaches " + rtl::FloatToStr(reach) + " units from the centre, beyond the " +
         "world's edge at " + rtl::FloatToStr(WorldEdge) + "; the largest Scale that fits is " +
         rtl::FloatToStr(fits) + " (--fit-world)";
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
  // A map ready for the game goes where the plug-in saves it, into the game's maps folder.
  const bool gameMap = !a.Has("--map") && IsGameReady(used) && !installUsed.empty();
  std::string mapPath = a.Has("--map") ? a.Get("--map") : levelName + ".map";
  int written = 0, writtenBrushDef = 0, skipped = 0;
  try {
    terminal.Status("Loading Brushes into Radiant...");
    TWholeMap whole;
    if (gameMap) {
      mapPath = WriteGameMap(installUsed, result, layout, whole, TImportTerminal::Progress);
    } else {
      rtl::TAtomicFile mapFile(mapPath);
      whole =
          WriteWholeMap(mapFile.Stream(), result, layout, withEntities, TImportTerminal::Progress);
      mapFile.Commit();
    }
    terminal.Clear();
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
  static const TCommandDef command = {
      "import",
      ImportSynopsis,
      ImportDetails,
      {{"--entry", true},       {"--game-dir", true},        {"--settings", true},
       {"--map", true},         {"--default-texture", true}, {"--overwrite-textures", false},
       {"--align", false},      {"--map-format", true},      {"--clean", false},
       {"--entities", false},   {"--seal", false},           {"--fit-world", false},
       {"--adjoins", false},    {"--shaders", false},        {"--level-palette", false},
       {"--parent-mat", false}, {"--water", false},          {"--lights", false},
       {"--models", false},     {"--game-ready", false}},
      Import};
  return command;
}
