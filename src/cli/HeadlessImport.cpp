#include "cli/HeadlessImport.h"

#include <new>
#include <ostream>
#include <vector>

#include "cli/Inputs.h"
#include "container/O_jkc.h"
#include "import/ImportSettings.h"
#include "import/SettingsFile.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

std::function<std::string(const TJKContainer&, const std::string&)> PickLevel(
    const THeadlessImport& Import, std::ostream& err) {
  return [&Import, &err](const TJKContainer& container, const std::string& folder) {
    const std::vector<TPickerItem> items = PickerItems(container, folder);
    const std::string prefix = std::string("morvane ") + Import.Command + ": ";
    if (Import.EntryGiven) {
      std::string key = rtl::NativePath(Import.Entry);
      for (char& c : key)
        if (c == rtl::PathDelim || c == '/') c = '\\';
      if (!rtl::SameText(key.substr(0, folder.size()), folder)) key = folder + key;
      // The level's name alone finds it too, as the picker shows the levels by name.
      const std::string named = rtl::ExtractFileExt(key).empty() ? key + ".jkl" : std::string();
      for (const std::string& wanted : {key, named})
        for (const TPickerItem& item : items)
          if (!wanted.empty() && rtl::SameText(item.Caption, wanted)) {
            SayDuplicates(Import.Command, container, item.Caption, err);
            return item.Caption;
          }
      err << prefix << "no level '" << Import.Entry << "' in " << Import.Path << "\n";
    } else if (items.size() == 1) {
      return items[0].Caption;
    } else if (items.size() > 1) {
      err << prefix << Import.Path << " holds " << items.size()
          << " levels; name one with --entry:\n";
    } else {
      err << prefix << Import.Path << " holds no level under " << folder << "\n";
    }
    for (const TPickerItem& item : items) err << "  " << item.Caption << "\n";
    return std::string();
  };
}

TImportResult RunHeadlessImport(const THeadlessImport& Import, TImportTerminal& Terminal,
                                std::ostream& err, TImportOptions& Used, std::string* InstallUsed) {
  const TConsoleProc console = [&Terminal](const std::string& Text) { Terminal.Console(Text); };
  TImportResult result;
  result.Message = "No import ran";
  const std::string& settingsPath = Import.SettingsPath;
  WithSettingsFile([&settingsPath] { return settingsPath; }, console,
                   [&](rtl::TStringList& settings) {
                     try {
                       TImportRequest request = ImportRequestFromSettings(settings, console);
                       if (Import.Adjust) Import.Adjust(request.Options);
                       Used = request.Options;
                       request.EditorTexture = Import.EditorTexture;
                       request.Path = Import.Path;
                       request.PickEntry = PickLevel(Import, err);
                       request.Textures.InstallPath = Import.InstallPath;
                       const std::string gameFolder = settings.Values("GameFolder");
                       if (!Import.InstallPathGiven && !gameFolder.empty())
                         request.Textures.InstallPath = gameFolder;
                       if (InstallUsed) *InstallUsed = request.Textures.InstallPath;
                       if (Import.ReadSettings) Import.ReadSettings(settings);
                       request.Console = console;
                       request.Status = [&Terminal](const std::string& Text) {
                         Terminal.Status(Text);
                       };
                       request.Progress = TImportTerminal::Progress;
                       result = RunImport(request);
                       if (!result.Succeeded()) {
                         console("Failed: " + result.Message);
                         return;
                       }
                       for (const std::string& line : result.Summary) console(line);
                     } catch (const std::bad_alloc&) {
                       console("Failed: Out of memory");
                     } catch (const std::exception& e) {
                       console(std::string("Failed: ") + e.what());
                     }
                   });
  Terminal.Clear();
  return result;
}
