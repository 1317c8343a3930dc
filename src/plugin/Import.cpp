#include <memory>

#include "import/ImportSettings.h"
#include "import/Pipeline.h"
#include "import/WholeMap.h"
#include "plugin/Platform.h"
#include "plugin/SendBrushes.h"
#include "plugin/main.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

const char* const ImportFilter =
    "All supported files (*.jkl, *.gob, *.goo)|*.jkl;*.gob;*.goo|Jedi Knight Container files "
    "(*.gob, *.goo)|*.gob;*.goo|Jedi Knight Level files (*.jkl)|*.jkl";

// The plug-in keeps the status window of the running import, and closes it however the import
// ends.
class TStatusScope {
 public:
  explicit TStatusScope(TPlugin& Plugin) : plugin_(Plugin), window_(Plugin.OpenStatus()) {}
  ~TStatusScope() { plugin_.CloseStatus(); }
  IStatusWindow& Window() { return window_; }

 private:
  TPlugin& plugin_;
  IStatusWindow& window_;
};

// With GameReady=1, after the brushes went to the editor: the whole map (brushes, entities,
// lights and models, as `morvane import --game-ready` writes it) saved in one step as
// <install>/GameData/base/maps/<level>.map, said in one console line; the editor's function
// table cannot make entities, so this is the map the designer opens. A map there that the
// designer saved or changed is kept, and the new one goes beside it (SaveMarkedMap). A map that
// cannot be saved is one console line too.
void SaveGameMap(const std::string& InstallPath, const TImportResult& Result,
                 const TImportOptions& Options);

}  // namespace

void ImportLevel() {
  TPlugin& plugin = ThePlugin();
  std::string path = plugin.Platform().OpenFileDialog(ImportFilter);
  TStatusScope status(plugin);
  if (path.empty()) throw rtl::Exception("File selection canceled");
  status.Window().Show();

  TImportRequest request = ReadImportRequest();
  request.Path = path;
  request.PickEntry = [&plugin](const TJKContainer& container, const std::string& folder) {
    return plugin.Platform().SelectEntry(container, folder);
  };
  // The registry is read where the texture step needs the folder, so its error comes there; a
  // game folder in the settings (an install the installer did not record) comes first.
  try {
    const std::string gameFolder = Settings().Values("GameFolder");
    request.Textures.InstallPath = gameFolder.empty() ? GetInstallPath() : gameFolder;
  } catch (const std::exception& e) {
    request.Textures.InstallPathError = e.what();
  }
  request.Console = ConsoleMessage;
  IStatusWindow& window = status.Window();
  request.Status = [&window](const std::string& Text) { window.SetStatus(Text); };
  request.Progress = [&window](int32_t Index, int32_t Count) { window.Progress(Index, Count); };

  const TImportResult result = RunImport(request);
  KeepSlabSettings(request.Slab, result.ScaleUsed, result.DepthUsed);
  // Dispatch says "Failed: " and the reason, as for any error of a command.
  if (!result.Succeeded()) throw rtl::Exception(result.Message);
  window.SetStatus("Loading Brushes into Radiant...");
  SendBrushesToHost(result.Faces, request.Progress);
  for (const std::string& line : result.Summary) ConsoleMessage(line);
  if (request.Options.GameReady) SaveGameMap(request.Textures.InstallPath, result, request.Options);
}

namespace {

void SaveGameMap(const std::string& InstallPath, const TImportResult& Result,
                 const TImportOptions& Options) {
  // The editor has its brushes already: a map that cannot be saved costs only itself.
  if (InstallPath.empty()) {
    ConsoleMessage("Map not saved: the game's install path was not found");
    return;
  }
  try {
    TMapLayout layout(false, Options.AlignTextures);
    layout.Converted(TImportContext{*Result.Level, *Result.BrushLevel, Result.Textures, Options,
                                    Result.Names.FacePrefix});
    TWholeMap whole;
    const std::string path = WriteGameMap(InstallPath, Result, layout, whole, ConsoleMessage);
    ConsoleMessage(
        rtl::Format("Saved: %s (the whole map: %d brushes, %d entities, %d of them "
                    "models)",
                    path.c_str(), whole.Written, whole.Entities, whole.Models));
    const int movers =
        Result.Things.Count(TThingRole::Door) + Result.Things.Count(TThingRole::Train);
    if (movers > 0)
      ConsoleMessage(rtl::Format(
          "%d movers (doors and lifts) are in the saved map only, with their brushes: the "
          "editor's interface makes no entities",
          movers));
    // What a bake of the game's light into the compiled level reads.
    try {
      const std::string light = WriteGameLightFile(path, Result);
      if (!light.empty())
        ConsoleMessage("Saved: " + light + " (the game's light, for morvane bake)");
    } catch (const std::exception& e) {
      ConsoleMessage("Game light not saved: " + std::string(e.what()));
    }
  } catch (const std::exception& e) {
    ConsoleMessage("Map not saved: " + std::string(e.what()));
  }
}

}  // namespace
