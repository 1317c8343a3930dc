#include "import/LevelShaders.h"

#include "brush/DrawnAdjoins.h"
#include "brush/FrontFaces.h"
#include "import/LevelTextures.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "texture/ShaderScript.h"

void WriteLevelShaders(const TJKLevel& Level, const TLevelNames& Names,
                       const TImportOptions& Options, const TTextureSettings& Settings,
                       const TConsoleProc& Console) {
  const TConsoleProc ConsoleMessage = [&Console](const std::string& Text) {
    if (Console) Console(Text);
  };
  const std::string& install = Settings.InstallPath;
  const std::string& levelName = Names.Folder;
  if (install.empty() || MaterialNameLeavesFolder(levelName)) {
    ConsoleMessage("No shader script written: no game folder or no level name to name it by");
    return;
  }
  // Named as the faces and the images are.
  std::vector<TShaderEntry> entries;
  for (const TMaterialLook& look : LevelMaterialLooks(Level, Options.ImportAdjoins)) {
    if (MaterialNameLeavesFolder(look.Material)) continue;
    TShaderEntry e;
    e.Name = Names.FaceName(look.Material);
    e.Image = "textures/" + levelName + "/" + Names.ImageFile(look.Material);
    e.Sky = look.Sky;
    e.Translucent = look.Translucent;
    e.SeeThrough = look.SeeThrough;
    e.NonSolid = look.NonSolid;
    entries.push_back(std::move(e));
  }
  if (entries.empty()) {
    ConsoleMessage("No shader script written: no material of the level needs one");
    return;
  }
  const std::string folder = rtl::JoinPath(install, rtl::NativePath("GameData\\base\\shaders\\"));
  if (!rtl::ForceDirectories(folder)) {
    ConsoleMessage("Failed to create shader directory '" + folder + "'");
    return;
  }
  const std::string path = folder + levelName + ".shader";
  const std::string text = ShaderScript(entries);
  rtl::WriteFileAtomic(path, text);
  ConsoleMessage(
      rtl::Format("Saved: %s (%d shaders)", path.c_str(), static_cast<int>(entries.size())));

  const std::string list = rtl::FindFileNoCase(folder, "shaderlist.txt");
  if (list.empty()) return;
  const std::string before = rtl::ReadFileToString(list);
  const std::string after = AddToShaderList(before, levelName);
  if (after == before) return;
  rtl::WriteFileAtomic(list, after);
  ConsoleMessage("Listed " + levelName + " in " + list);
}
