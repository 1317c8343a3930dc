#include "plugin/Import.h"

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

// The status window of the running import, or none.
IStatusWindow* g_Status = nullptr;

// Owns the status window for one import and clears the library-wide reference with it.
class TStatusScope {
 public:
  TStatusScope() : window_(Platform().CreateStatusWindow()) { g_Status = window_.get(); }
  ~TStatusScope() { g_Status = nullptr; }
  IStatusWindow& Window() { return *window_; }

 private:
  std::unique_ptr<IStatusWindow> window_;
};

}  // namespace

void SetStatus(const std::string& Text) {
  if (g_Status) g_Status->SetStatus(Text);
}

void StatusProgress(int32_t Index, int32_t Count) {
  if (g_Status) g_Status->Progress(Index, Count);
}

void ImportLevel() {
  std::string path = Platform().OpenFileDialog(ImportFilter);
  TStatusScope status;
  if (path.empty()) throw rtl::Exception("File selection canceled");
  status.Window().Show();

  TImportRequest request = ImportRequestFromSettings(Settings(), nullptr);
  request.Options = ReadImportOptions();
  request.Slab = CachedSlabSettings();
  request.Path = path;
  request.PickEntry = [](const TJKContainer& container, const std::string& folder) {
    return Platform().SelectEntry(container, folder);
  };
  // The registry is read where the texture step needs the folder, so its error comes there.
  try {
    request.Textures.InstallPath = GetInstallPath();
  } catch (const std::exception& e) {
    request.Textures.InstallPathError = e.what();
  }
  request.Console = ConsoleMessage;
  request.Status = SetStatus;
  request.Progress = StatusProgress;

  const TImportResult result = RunImport(request);
  KeepSlabSettings(request.Slab, result.ScaleUsed, result.DepthUsed);
  // Dispatch says "Failed: " and the reason, as for any error of a command.
  if (!result.Succeeded()) throw rtl::Exception(result.Message);
  SetStatus("Loading Brushes into Radiant...");
  SendBrushesToHost(result.Faces, StatusProgress);
  for (const std::string& line : result.Summary) ConsoleMessage(line);
  if (Settings().Values("GameReady") == "1")
    SaveGameMap(request.Textures.InstallPath, result, request.Options);
}

void SaveGameMap(const std::string& InstallPath, const TImportResult& Result,
                 const TImportOptions& Options) {
  // The editor has its brushes already: a map that cannot be saved costs only itself.
  if (InstallPath.empty()) {
    ConsoleMessage("Map not saved: the game's install path was not found");
    return;
  }
  const std::string path = GameMapPath(InstallPath, Result);
  try {
    if (!rtl::ForceDirectories(rtl::ExtractFilePath(path)))
      throw rtl::Exception("Cannot create the folder '" + rtl::ExtractFilePath(path) + "'");
    TMapLayout layout(false, Options.AlignTextures);
    layout.Converted(TImportContext{*Result.Level, *Result.BrushLevel, Result.Textures, Options,
                                    Result.Names.FacePrefix});
    rtl::TAtomicFile file(path);
    const TWholeMap whole = WriteWholeMap(file.Stream(), Result, layout, true);
    file.Commit();
    ConsoleMessage(
        rtl::Format("Saved: %s (the whole map: %d brushes, %d entities, %d of them "
                    "models)",
                    path.c_str(), whole.Written, whole.Entities, whole.Models));
  } catch (const std::exception& e) {
    ConsoleMessage("Map not saved: " + std::string(e.what()));
  }
}
