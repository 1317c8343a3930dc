// morvane build: from a Jedi Knight level to a JK2 level in one command. The import ready for the
// game, the map compiler's stages, the arena script and the levelshot, and one .pk3 for the
// game's base folder; each stage one console line with its time.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/HeadlessImport.h"
#include "cli/ImportFlags.h"
#include "cli/Inputs.h"
#include "cli/PlayerView.h"
#include "container/O_jkc.h"
#include "import/ImportSettings.h"
#include "import/LevelTextures.h"
#include "import/MapEntities.h"
#include "import/MapLayout.h"
#include "import/WholeMap.h"
#include "light/LightBake.h"
#include "package/Arena.h"
#include "package/Compiler.h"
#include "package/Levelshot.h"
#include "package/Pk3.h"
#include "preview/Scene.h"
#include "rtl/AtomicFile.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

const char* const BuildSynopsis =
    "  morvane build PATH [--entry KEY] [--game-dir DIR] [--settings FILE] [--q3map2 PATH]\n"
    "                     [--fast] [-o FILE.pk3] [--overwrite-textures] [import flags]\n";
const char* const BuildDetails =
    "build   makes a level the game loads: imports PATH as import --game-ready does (the import\n"
    "        flags given apply too) into DIR/GameData/base/maps/<level>.map, compiles it with\n"
    "        q3map2 -game jk2 (bsp -meta, vis, light), writes scripts/<level>.arena and\n"
    "        levelshots/<level>.jpg (the player's view) under DIR/GameData/base, and packs the\n"
    "        level into one .pk3 (the BSP, textures/<level>/, the shader script, the arena, the\n"
    "        levelshot; every name in lower case). A container without --entry: every level it\n"
    "        holds. The compiler's output goes to <level>.log beside the map.\n"
    "  --entry KEY          one level of a container, as for import.\n"
    "  --game-dir DIR       the game's folder (default: the setting GameFolder, else the\n"
    "                       current folder).\n"
    "  --settings FILE      the settings file, as for import; Q3Map2 names the compiler.\n"
    "  --q3map2 PATH        the map compiler (default: the setting Q3Map2, else q3map2 on the\n"
    "                       PATH). Without one, build stops after the map and says so.\n"
    "  --fast               a quick look: vis -fast and the light without extra samples.\n"
    "  -o FILE.pk3          the archive (default: <level>.pk3 in the current folder); one level\n"
    "                       only.\n";

// What one level's build has learnt by the stage that runs.
struct TLevelBuild {
  std::string Level;  // the level's folder name: maps/<Level>.bsp, textures/<Level>/
  std::string LongName;
  std::string GameData;  // <game>/GameData, absolute: the compiler's base path
  std::string Base;      // <GameData>/base
  std::string Map;
  int PlayerStarts = 0;
  // The import, kept for the levelshot, which draws the level's own textures.
  TImportResult Result;
  TImportOptions Used;
  std::string Levelshot;  // the JPEG's bytes; empty: none
  std::string Compiler;
  std::string Log;        // the compiler's output, beside the map
  std::string GameLight;  // the game's light for the bake, beside the map; empty: none
  std::string Pk3;
  bool Leaked = false;
};

// The settings and options of the whole run, the same for every level.
struct TBuildCall {
  TArgs& Args;
  std::ostream& Out;
  std::ostream& Err;
  std::string Path;
  std::string Q3Map2Setting;
};

// The player's view of the import, as the levelshot's JPEG; empty (with Note) when there is none.
std::string Levelshot(const TImportResult& Result, const TImportOptions& Used, std::string& Note) {
  const double scale = Result.Conversion.Scale;
  preview::TEye eye;
  if (!PlayerEye(*Result.BrushLevel, scale, eye) ||
      !(std::isfinite(eye.Position.X) && std::isfinite(eye.Position.Y) &&
        std::isfinite(eye.Position.Z))) {
    Note = "no levelshot: the level has no player start to look from";
    return std::string();
  }
  const TImportContext context{*Result.Level, *Result.BrushLevel, Result.Textures, Used,
                               Result.Names.FacePrefix};
  preview::TScene scene = preview::BuildScene(context, scale);
  if (Used.ImportModels) preview::AddModelFaces(scene, context, Result.Models);
  preview::TRenderOptions options;
  options.Width = package::LevelshotWidth;
  options.Height = package::LevelshotHeight;
  options.View = preview::TView::Eye;
  options.Eye = eye;
  const preview::TImage image = preview::Render(scene, options);
  return package::LevelshotJpeg(image.RGB, image.Width, image.Height);
}

// Where a user is stuck after the import, one line each: no palette, materials or models not
// found (where they were looked for, and what adds more places), images kept from an earlier
// import. From the import's console lines, which stay as the editor shows them.
std::vector<std::string> ImportHints(const TImportResult& Result, const std::string& Textures) {
  std::vector<std::string> hints;
  int textures = 0, models = 0, saved = 0;
  for (const std::string& line : Result.Console) {
    if (line == "Failed to load palette '', using default")
      hints.push_back(
          "no palette set: the built-in one was used; the setting JKPalette names "
          "one (a .cmp file, or CONTAINER>>misc\\cmp\\NAME.cmp)");
    if (line.rfind("Texture '", 0) == 0 && line.size() > 12 &&
        line.compare(line.size() - 12, 12, "' not found") == 0)
      ++textures;
    if (line.rfind("Model '", 0) == 0 && line.find("): not found") != std::string::npos) ++models;
    if (line.rfind("Saved: " + Textures, 0) == 0) ++saved;
  }
  if (textures + models > 0)
    hints.push_back(std::to_string(textures) + " materials and " + std::to_string(models) +
                    " models not found: looked for beside the level, in its mat and 3do folders, "
                    "in the folders beside the level's (--parent-mat) and in its container; the "
                    "setting ResourceGobs adds the game's own containers (such as Res2.gob)");
  const int kept = static_cast<int>(rtl::FindFiles(Textures, "*").size()) - saved;
  if (kept > 0)
    hints.push_back(std::to_string(kept) +
                    " images of an earlier import kept (--overwrite-textures converts them again)");
  return hints;
}

// The import of the level, ready for the game, its map in the game's maps folder. False when it
// failed or its map could not take the level's name there (said on the console).
bool ImportLevel(TBuildCall& Call, const std::string& Entry, TLevelBuild& Build) {
  THeadlessImport run;
  run.Command = "build";
  run.Path = Call.Path;
  run.SettingsPath = CommandSettingsPath(Call.Args.Has("--settings"), Call.Args.Get("--settings"));
  run.InstallPathGiven = Call.Args.Has("--game-dir");
  run.InstallPath = run.InstallPathGiven ? Call.Args.Get("--game-dir") : std::string(".");
  run.EntryGiven = !Entry.empty();
  run.Entry = Entry;
  run.Adjust = [&Call](TImportOptions& options) {
    ApplyImportFlags(Call.Args, false, options);
    TurnOnGameReady(options);
    options.TexturePixels = true;  // the levelshot draws the level's own textures
  };
  run.ReadSettings = [&Call](const rtl::TStringList& settings) {
    Call.Q3Map2Setting = settings.Values("Q3Map2");
  };
  TImportTerminal terminal(Call.Out, Call.Err, true);
  TImportOptions used;
  std::string install;
  Build.Result = RunHeadlessImport(run, terminal, Call.Err, used, &install);
  const TImportResult& result = Build.Result;
  Build.Used = used;
  if (!result.Succeeded()) return false;
  Build.Level = result.Names.Folder;
  Build.LongName = result.Level->Name;
  std::error_code ec;
  Build.GameData = std::filesystem::absolute(rtl::JoinPath(install, "GameData"), ec).string();
  if (ec) Build.GameData = rtl::JoinPath(install, "GameData");
  Build.Base = rtl::JoinPath(Build.GameData, "base");
  TMapLayout layout(false, used.AlignTextures);
  layout.Converted(TImportContext{*result.Level, *result.BrushLevel, result.Textures, used,
                                  result.Names.FacePrefix});
  TWholeMap whole;
  Build.Map = WriteGameMap(install, result, layout, whole,
                           [&terminal](const std::string& Line) { terminal.Console(Line); });
  // The compiler names the BSP after the map: a map written beside the designer's would leave
  // the archive with the designer's level, or none.
  const std::string named = GameMapPath(install, result);
  if (Build.Map != named) {
    Call.Err << "morvane build: " << named << " is kept (a map Morvane did not write, or one "
             << "changed since); the import went to " << Build.Map << ", but the archive needs "
             << "the level as " << Build.Level << ".map: move that map away and build again\n";
    return false;
  }
  Build.GameLight = WriteGameLightFile(Build.Map, result);
  for (const TMapEntity& entity :
       MapEntities(*result.Level, *result.BrushLevel, result.Conversion.Scale, &result.Models))
    if (!entity.Keys.empty() && entity.Keys[0].second == "info_player_deathmatch")
      ++Build.PlayerStarts;
  for (const std::string& hint :
       ImportHints(result, rtl::JoinPath(install, rtl::NativePath(GameTextureFolder)) +
                               Build.Level + rtl::PathDelim))
    Call.Out << "build " << Build.Level << ": " << hint << "\n";
  Call.Out << "build " << Build.Level << ": map " << Build.Map << " (" << whole.Written
           << " brushes, " << whole.Entities << " entities, " << Build.PlayerStarts
           << " player starts)\n";
  return true;
}

// Writes a file of the game's base folder in one step, its folder made.
void WriteGameFile(const std::string& Path, const std::string& Bytes) {
  if (!rtl::ForceDirectories(rtl::ExtractFilePath(Path)))
    throw rtl::Exception("Cannot create the folder '" + rtl::ExtractFilePath(Path) + "'");
  rtl::WriteFileAtomic(Path, Bytes);
}

// One stage of a level's build: its name and its work, which returns the rest of its console
// line and raises when the build cannot go on.
struct TBuildStage {
  std::string Name;
  std::function<std::string(TLevelBuild&)> Run;
};

// A run of the compiler as a stage: its warnings counted, the images it did not find named (a
// converted texture that the compiler misses is drawn as a grid in the game).
TBuildStage CompilerStage(const package::TCompileStage& Stage) {
  return TBuildStage{
      Stage.Name, [Stage](TLevelBuild& b) {
        if (b.Leaked && Stage.Name == "vis")
          return std::string("skipped: the map leaked, see the log");
        const package::TStageRun run = package::RunCompileStage(b.Compiler, Stage, b.Log);
        if (run.Exit != 0)
          throw rtl::Exception(run.Exit < 0 ? run.Error
                                            : "q3map2 ended with status " +
                                                  std::to_string(run.Exit) + "; see " + b.Log);
        if (run.Counts.Leaked) b.Leaked = true;
        std::string line = std::to_string(run.Counts.Warnings) + " warnings";
        if (run.Counts.Leaked) line += ", the map LEAKED (see " + b.Log + ")";
        if (!run.Counts.Unfound.empty()) {
          const std::vector<std::string> converted =
              package::ConvertedButUnfound(run.Counts.Unfound, b.Base);
          line += ", " + std::to_string(run.Counts.Unfound.size()) + " images not found (" +
                  (converted.empty() ? std::string("none of them converted")
                                     : std::to_string(converted.size()) +
                                           " of them converted, such as " + converted[0]) +
                  ")";
        }
        return line;
      }};
}

// The stages after the compiler's: the arena, the levelshot, and the archive of it all.
std::vector<TBuildStage> PackageStages() {
  auto path = [](const TLevelBuild& b, const char* folder, const char* ext) {
    return rtl::JoinPath(b.Base, folder) + rtl::PathDelim + b.Level + ext;
  };
  return {
      {"arena",
       [path](TLevelBuild& b) {
         const std::string file = path(b, "scripts", ".arena");
         WriteGameFile(file, package::ArenaText(b.Level, b.LongName, b.PlayerStarts));
         return file;
       }},
      {"levelshot",
       [path](TLevelBuild& b) {
         std::string note;
         b.Levelshot = Levelshot(b.Result, b.Used, note);
         if (b.Levelshot.empty()) return note;
         const std::string file = path(b, "levelshots", ".jpg");
         WriteGameFile(file, b.Levelshot);
         return file;
       }},
      {"pk3",
       [](TLevelBuild& b) {
         std::vector<package::TPk3Entry> entries = package::LevelFiles(b.Base, b.Level);
         entries.push_back({"scripts/" + b.Level + ".arena",
                            package::ArenaText(b.Level, b.LongName, b.PlayerStarts)});
         if (!b.Levelshot.empty())
           entries.push_back({"levelshots/" + b.Level + ".jpg", b.Levelshot});
         package::WritePk3(b.Pk3, entries);
         return b.Pk3 + " (" + std::to_string(entries.size()) + " files)";
       }},
  };
}

double SecondsSince(std::chrono::steady_clock::time_point Start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

void SayStage(std::ostream& Out, const TLevelBuild& Build, const std::string& Name,
              const std::string& Line, double Seconds) {
  Out << "build " << Build.Level << ": " << Name << " " << rtl::Format("%.2f", Seconds) << " s"
      << (Line.empty() ? "" : ": ") << Line << std::endl;
}

// One level from the import to the archive. 0, or 1 when a stage failed.
int BuildLevel(TBuildCall& Call, const std::string& Entry) {
  TLevelBuild build;
  const auto started = std::chrono::steady_clock::now();
  if (!ImportLevel(Call, Entry, build)) {
    Call.Err << "morvane build: nothing built\n";
    return 1;
  }
  SayStage(Call.Out, build, "import", build.Map, SecondsSince(started));
  const char* path = std::getenv("PATH");
  const package::TCompilerFound compiler =
      package::FindCompiler(Call.Args.Get("--q3map2"), Call.Q3Map2Setting, path ? path : "");
  if (compiler.Path.empty()) {
    Call.Err << "morvane build: stopped after the map: " << compiler.Where << "\n";
    return 1;
  }
  build.Compiler = compiler.Path;
  build.Log = rtl::ChangeFileExt(build.Map, ".log");
  build.Pk3 = Call.Args.Has("-o") ? Call.Args.Get("-o") : build.Level + ".pk3";
  // A fresh log for this build.
  rtl::WriteFileAtomic(build.Log, std::string());
  // The compiler finds base/ under each base path: the game folder's GameData first.
  std::vector<std::string> basePaths{build.GameData};
  package::TStandInBase standIn;
  if (!package::HasGameAssets(build.Base) && !standIn.Path().empty())
    basePaths.push_back(standIn.Path());
  std::vector<TBuildStage> stages;
  for (const package::TCompileStage& stage :
       package::CompileStages(build.Map, basePaths, Call.Args.Has("--fast")))
    stages.push_back(CompilerStage(stage));
  // Stages on the compiled BSP go here: after the light, before anything is packed. The bake
  // writes the game's light (the .gamelight the import left beside the map) into the lightmaps.
  stages.push_back({"bake", [](TLevelBuild& b) {
                      if (b.GameLight.empty()) return std::string("none: no fitted lights");
                      const TBakeCount count = BakeCompiledLevel(rtl::ChangeFileExt(b.Map, ".bsp"));
                      return rtl::Format(
                          "%lld luxels of %d of %d lightmapped surfaces set to the "
                          "game's light",
                          count.Luxels, count.Baked, count.Surfaces);
                    }});
  for (TBuildStage& stage : PackageStages()) stages.push_back(std::move(stage));
  for (TBuildStage& stage : stages) {
    const auto start = std::chrono::steady_clock::now();
    try {
      const std::string line = stage.Run(build);
      SayStage(Call.Out, build, stage.Name, line, SecondsSince(start));
    } catch (const std::exception& e) {
      SayStage(Call.Out, build, stage.Name, std::string("FAILED: ") + e.what(),
               SecondsSince(start));
      Call.Err << "morvane build: " << build.Level << ": " << stage.Name << " failed; stopped\n";
      return 1;
    }
  }
  Call.Out << "build " << build.Level << ": done in " << rtl::Format("%.2f", SecondsSince(started))
           << " s: copy " << build.Pk3 << " into the game's base folder and type devmap "
           << build.Level << " in the console\n";
  return build.Leaked ? 1 : 0;
}

int Build(TArgs& a, std::ostream& out, std::ostream& err) {
  const TCommandDef& def = BuildCommand();
  if (a.positional.size() != 1) {
    err << "morvane build: expects exactly one PATH\n" << ShortUsage(def);
    return 2;
  }
  TBuildCall call{a, out, err, a.positional[0], std::string()};
  if (!CheckInputFile("build", call.Path, err)) return 2;
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(call.Path));
  const bool container = ext == ".gob" || ext == ".goo";
  if (a.Has("-o") &&
      (a.Get("-o").empty() || OutputIsInput("build", "-o", a.Get("-o"), call.Path, err)))
    return 2;
  if (a.Has("--entry") && !container) {
    err << "morvane build: --entry names a level inside a container; '" << call.Path
        << "' is no .gob or .goo container\n"
        << ShortUsage(def);
    return 2;
  }
  if (!container || a.Has("--entry")) return BuildLevel(call, a.Get("--entry"));
  TJKContainer box;
  if (!box.Open(call.Path)) {
    err << "morvane build: cannot read the container '" << call.Path << "'\n";
    return 1;
  }
  const std::vector<TPickerItem> levels = PickerItems(box, "jkl\\");
  if (levels.size() > 1 && a.Has("-o")) {
    err << "morvane build: " << call.Path << " holds " << levels.size()
        << " levels; -o names one archive: give --entry too\n";
    return 2;
  }
  int status = levels.empty() ? 1 : 0;
  if (levels.empty()) err << "morvane build: " << call.Path << " holds no level under jkl\\\n";
  for (const TPickerItem& level : levels)
    status = std::max(status, BuildLevel(call, level.Caption));
  return status;
}

}  // namespace

const TCommandDef& BuildCommand() {
  static const TCommandDef command = {"build", BuildSynopsis, BuildDetails, BuildOptions(), Build};
  return command;
}
