#include "plugin/Import.h"

#include <memory>

#include "brush/BrushConvert.h"
#include "brush/O_brush.h"
#include "container/O_jkc.h"
#include "level/O_jkl.h"
#include "plugin/LevelTextures.h"
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

bool ImportLevel() {
  std::string path = Platform().OpenFileDialog(ImportFilter);
  TStatusScope status;
  if (path.empty()) throw rtl::Exception("File selection canceled");
  status.Window().Show();
  const TImportOptions options = ReadImportOptions();
  TLevelTextures found;

  std::string ext = rtl::LowerCase(rtl::ExtractFileExt(path));
  TJKLevel level;
  TBrushLevel brushLevel;
  std::string entry;
  bool success = false;
  int textures = 0;

  if (ext == ".jkl") {
    SetStatus("Parsing JKL...");
    success = level.LoadFromFile(path, StatusProgress);
    SetStatus("Converting Textures...");
    textures = ConvertLevelTextures(level, path, std::string(), StatusProgress, options, &found);
  } else if (ext == ".gob" || ext == ".goo") {
    rtl::TStringList lines;
    TJKContainer container;
    success = container.Open(path);
    if (success) {
      entry = Platform().SelectEntry(container, "jkl\\");
      success = !entry.empty();
    }
    if (!success) throw rtl::Exception("File selection canceled");
    SetStatus("Extracting JKL...");
    container.ExtractToStrings(lines, entry);
    SetStatus("Parsing JKL...");
    level.LoadFromStrings(lines, StatusProgress, path + ">>" + entry);
    level.SetNameFromFile(entry);
    SetStatus("Converting Textures...");
    textures = ConvertLevelTextures(level, std::string(), path, StatusProgress, options, &found);
  }

  if (success) {
    SetStatus("Converting Sectors to Brushes...");
    success = ConvertSectorsToBrushes(level, brushLevel, StatusProgress, options);
  }
  if (success) {
    const std::string prefix = LevelFolderName(level.Name) + "/";
    Platform().LevelConverted(TImportContext{level, brushLevel, found, options, prefix});
    SetStatus("Loading Brushes into Radiant...");
    const TImageNames names(level.UsedMaterials);
    SendBrushesToHost(brushLevel, prefix, StatusProgress, options, &names);
  }
  if (success) {
    ConsoleMessage(rtl::Format("%s imported succesfully",
                               rtl::ExtractFileName(entry.empty() ? path : entry).c_str()));
    ConsoleMessage(rtl::Format("%d sectors converted to %d brushes, %d textures converted",
                               level.Sectors.Count(), brushLevel.Brushes.Count(), textures));
  } else {
    ConsoleMessage("Failed: Unknown reason...");
  }
  return success;
}
