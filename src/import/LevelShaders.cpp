#include "import/LevelShaders.h"

#include <map>
#include <set>
#include <utility>

#include "brush/FaceRoles.h"
#include "brush/FrontFaces.h"
#include "import/LevelTextures.h"
#include "rtl/Files.h"
#include "rtl/SharedFile.h"
#include "rtl/SysUtils.h"
#include "rtl/Utf.h"
#include "texture/ShaderScript.h"

namespace {

// The first line of every script Morvane writes: what tells it from the game's and other tools'.
const char* const ScriptMark = "// Morvane shader script";

// Far beyond any real list or script (a few kilobytes): a larger one is not read.
constexpr int64_t MaxListBytes = 4 << 20;
constexpr int64_t MaxScriptBytes = 16 << 20;

enum class TEncoding { Utf8, Utf16LE, Utf16BE };

std::string FromUtf16(const std::string& Bytes, bool bigEndian) {
  std::u16string units;
  for (size_t i = 2; i + 1 < Bytes.size(); i += 2) {
    const unsigned char a = static_cast<unsigned char>(Bytes[i]);
    const unsigned char b = static_cast<unsigned char>(Bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  }
  return rtl::Utf16ToUtf8(units);
}

std::string ToUtf16(const std::string& Text, bool bigEndian) {
  std::string out;
  for (char16_t u : rtl::Utf8ToUtf16(Text)) {
    const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

// A script file that Morvane may replace: one it wrote, or (written before scripts carried the
// mark) one that holds exactly what it would write now.
bool WrittenByMorvane(const std::string& Path, const std::string& Unmarked, std::string& Text) {
  if (rtl::IsLink(Path) || rtl::PathKind(Path) != rtl::TPathKind::File) return false;
  try {
    Text = rtl::ReadFileToString(Path, MaxScriptBytes, "a shader script");
  } catch (const rtl::Exception&) {
    return false;
  }
  return Text.rfind(ScriptMark, 0) == 0 || Text == Unmarked;
}

// The script's path: <level>.shader, else the first of <level>_2.shader, _3, ... that is free or
// Morvane's; empty when none of a hundred is. Previous: what the file holds now; Existed: whether
// there is one.
std::string ScriptPath(const std::string& Folder, const std::string& Level,
                       const std::string& Unmarked, std::string& Previous, bool& Existed) {
  for (int n = 1; n <= 100; ++n) {
    const std::string path =
        Folder + Level + (n == 1 ? std::string() : "_" + std::to_string(n)) + ".shader";
    Previous.clear();
    Existed = rtl::IsLink(path) || rtl::PathKind(path) != rtl::TPathKind::Missing;
    if (!Existed || WrittenByMorvane(path, Unmarked, Previous)) return path;
  }
  return std::string();
}

}  // namespace

std::string ShaderListAddition(const std::string& List, const std::string& Script) {
  TEncoding encoding = TEncoding::Utf8;
  std::string text = List;
  if (List.size() >= 2 && List[0] == '\xFF' && List[1] == '\xFE') {
    encoding = TEncoding::Utf16LE;
    text = FromUtf16(List, false);
  } else if (List.size() >= 2 && List[0] == '\xFE' && List[1] == '\xFF') {
    encoding = TEncoding::Utf16BE;
    text = FromUtf16(List, true);
  } else if (List.rfind("\xEF\xBB\xBF", 0) == 0) {
    text = List.substr(3);
  }
  if (text.find('\0') != std::string::npos)
    throw rtl::Exception("no text in a known encoding (UTF-8 or UTF-16 with its mark)");
  const std::string after = AddToShaderList(text, Script);
  if (after == text) return std::string();
  const std::string added = after.substr(text.size());
  if (encoding == TEncoding::Utf8) return added;
  return ToUtf16(added, encoding == TEncoding::Utf16BE);
}

// The shader of each use of a material the map needs one for, named as the faces and the images
// are.
std::vector<TShaderEntry> ShaderEntries(const TBrushLevel& BrushLevel, const TLevelNames& Names) {
  std::vector<TShaderEntry> entries;
  for (const TRoleUse& use : RoleUses(BrushLevel)) {
    if (MaterialNameLeavesFolder(use.Material)) continue;
    TShaderEntry e;
    e.Name = Names.FaceName(use.Material) + use.Suffix;
    e.Image = "textures/" + Names.Folder + "/" + Names.ImageFile(use.Material);
    e.Translucent = use.Translucent;
    switch (use.Role) {
      case TFaceRole::Solid:
        continue;
      case TFaceRole::Sky:
        e.Sky = true;
        break;
      case TFaceRole::Translucent:
        e.Translucent = true;
        break;
      case TFaceRole::PassableAdjoin:
        e.SeeThrough = e.NonSolid = true;
        break;
      case TFaceRole::SolidAdjoin:
        e.SeeThrough = true;
        break;
      case TFaceRole::Water:
        e.SeeThrough = e.NonSolid = e.Water = true;
        break;
      case TFaceRole::WaterVolume:
        e.NonSolid = e.Water = e.Invisible = true;
        break;
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

// No shader is needed: what an earlier import wrote would stay in force, so it is emptied (and
// stays listed).
void EmptyEarlierScript(const std::string& Folder, const std::string& LevelName,
                        const std::string& Unmarked, const std::string& Mark,
                        const TConsoleProc& ConsoleMessage) {
  std::string previous;
  bool existed = false;
  const std::string path = ScriptPath(Folder, LevelName, Unmarked, previous, existed);
  if (path.empty() || !existed || previous == Mark) return;
  try {
    rtl::WriteFileAtomic(path, Mark, rtl::TLinks::Refuse);
    ConsoleMessage("Emptied: " + path + " (written by an earlier import)");
  } catch (const rtl::Exception& e) {
    ConsoleMessage("Shader script of an earlier import not emptied: " + std::string(e.what()));
  }
}

// Writes the script at Path and names it in the folder's shader list (when there is one); a
// script the list cannot name is not written, or is taken back.
void WriteListedScript(const std::string& Folder, const std::string& Path,
                       const std::string& ScriptName, const std::string& Script, int Shaders,
                       const std::string& Previous, bool Existed,
                       const TConsoleProc& ConsoleMessage) {
  // The list is looked at first: a script the list cannot name is not written at all.
  const std::string list = rtl::FindFileNoCase(Folder, "shaderlist.txt");
  std::string addition;
  if (!list.empty()) {
    try {
      if (rtl::IsLink(list)) throw rtl::ENotWritten("it is a link; not written through it");
      addition = ShaderListAddition(rtl::ReadFileToString(list, MaxListBytes, "a shader list"),
                                    ScriptName);
    } catch (const rtl::Exception& e) {
      ConsoleMessage("No shader script written: '" + list + "' left alone, " + e.what());
      return;
    }
  }
  try {
    rtl::WriteFileAtomic(Path, Script, rtl::TLinks::Refuse);
  } catch (const rtl::Exception& e) {
    ConsoleMessage("No shader script written: " + std::string(e.what()));
    return;
  }
  ConsoleMessage(rtl::Format("Saved: %s (%d shaders)", Path.c_str(), Shaders));
  if (addition.empty()) return;
  try {
    rtl::AppendToFile(list, addition);
  } catch (const rtl::Exception& e) {
    // A script the list does not name is half an import: the folder goes back to what it was.
    try {
      if (Existed)
        rtl::WriteFileAtomic(Path, Previous, rtl::TLinks::Refuse);
      else
        rtl::DeleteFile(Path);
    } catch (const rtl::Exception&) {
    }
    ConsoleMessage("Shader script taken back: " + ScriptName + " could not be listed in '" + list +
                   "': " + e.what());
    return;
  }
  ConsoleMessage("Listed " + ScriptName + " in " + list);
}

void WriteLevelShaders(const TBrushLevel& BrushLevel, const TLevelNames& Names,
                       const TTextureSettings& Settings, const TConsoleProc& Console) {
  const TConsoleProc ConsoleMessage = [&Console](const std::string& Text) {
    if (Console) Console(Text);
  };
  const std::string& install = Settings.InstallPath;
  const std::string& levelName = Names.Folder;
  if (install.empty() || MaterialNameLeavesFolder(levelName)) {
    ConsoleMessage("No shader script written: no game folder or no level name to name it by");
    return;
  }
  const std::vector<TShaderEntry> entries = ShaderEntries(BrushLevel, Names);
  const std::string folder = rtl::JoinPath(install, rtl::NativePath("GameData\\base\\shaders\\"));
  const std::string unmarked = ShaderScript(entries);
  const std::string mark =
      std::string(ScriptMark) + " of level " + levelName + ", replaced when it is imported\n";
  if (entries.empty()) {
    ConsoleMessage("No shader script written: no material of the level needs one");
    EmptyEarlierScript(folder, levelName, unmarked, mark, ConsoleMessage);
    return;
  }
  if (!rtl::ForceDirectories(folder)) {
    ConsoleMessage("Failed to create shader directory '" + folder + "'");
    return;
  }
  std::string previous;
  bool existed = false;
  const std::string path = ScriptPath(folder, levelName, unmarked, previous, existed);
  if (path.empty()) {
    ConsoleMessage("No shader script written: no free name for it in '" + folder + "'");
    return;
  }
  const std::string scriptName = rtl::ChangeFileExt(rtl::ExtractFileName(path), "");
  if (scriptName != levelName)
    ConsoleMessage("'" + folder + levelName +
                   ".shader' is no script Morvane wrote; left alone, the level's script is '" +
                   path + "'");

  WriteListedScript(folder, path, scriptName, mark + unmarked, static_cast<int>(entries.size()),
                    previous, existed, ConsoleMessage);
}

void KeepRoleNamesApart(TBrushLevel& BrushLevel, const TLevelNames& Names, const TJKLevel& Level) {
  std::set<std::string> taken;  // lower case: every image's face name, then each shader given
  for (int i = 0; i < Level.UsedMaterials.Count(); ++i)
    taken.insert(rtl::LowerCase(Names.FaceName(Level.UsedMaterials[i])));
  // material, suffix -> suffix; a suffix made here lives in the brush level's own texts
  std::map<std::pair<std::string, std::string>, const char*> given;
  for (int i = 0; i < BrushLevel.Brushes.Count(); ++i) {
    T3DMesh& brush = *BrushLevel.Brushes.Items(i);
    if (brush.Brush.Kind == TBrushKind::ShellBox) continue;
    for (int f : RoleFaces(brush)) {
      TSurface& face = *brush.Surfaces.Items(f);
      if (*face.TextureSuffix == '\0' || face.MaterialName.empty()) continue;
      const std::string role = face.TextureSuffix;
      const auto key = std::make_pair(rtl::LowerCase(face.MaterialName), role);
      auto it = given.find(key);
      if (it == given.end()) {
        std::string suffix = role;
        for (int n = 2; taken.count(rtl::LowerCase(Names.FaceName(face.MaterialName) + suffix));
             ++n)
          suffix = role + "_" + std::to_string(n);
        taken.insert(rtl::LowerCase(Names.FaceName(face.MaterialName) + suffix));
        const char* text = face.TextureSuffix;
        if (suffix != role) text = BrushLevel.SuffixTexts.emplace_back(suffix).c_str();
        it = given.emplace(key, text).first;
      }
      face.TextureSuffix = it->second;
    }
  }
}
