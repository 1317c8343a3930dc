#include "cli/Preview.h"

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <ostream>

#include "container/O_jkc.h"
#include "plugin/HeadlessPlatform.h"
#include "plugin/RecordingHost.h"
#include "plugin/main.h"
#include "preview/Png.h"
#include "preview/Scene.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

const char* const PreviewSynopsis =
    "  morvane preview PATH [--entry KEY] [--settings FILE] [--game-dir DIR] [-o FILE.png]\n"
    "                       [--size WxH] [--uv game|editor] [--align] [--clean] [--view iso|top]\n";
const char* const PreviewDetails =
    "preview runs the import's reading and conversion (the same console lines; no .map and no\n"
    "        images written) and draws the front faces of the slabs into a PNG picture, with\n"
    "        their textures decoded in memory; a material whose texture was not found is drawn\n"
    "        in a flat colour of its own. Faces are shaded by their direction. --entry,\n"
    "        --settings and --game-dir as for import.\n"
    "  -o FILE.png          the picture (default: <level>.png in the current folder).\n"
    "  --size WxH           its size in pixels, 1 to 8192 each way (default: 1024x768).\n"
    "  --uv game|editor     game (default): each face mapped with the level's texture vertices;\n"
    "                       editor: with the projection the editor will show (the brush faces'\n"
    "                       shift, rotation and scale).\n"
    "  --align, --clean     turn the AlignTextures or CleanSlabs setting on for this run.\n"
    "  --view iso|top       iso (default): from the south-west corner, 35 degrees down; top:\n"
    "                       straight down. Both fit the whole level into the picture.\n";

namespace {

struct TPreviewArgs {
  std::string path, entry, settings, gameDir, output;
  bool entryGiven = false, gameDirGiven = false;
  int width = 1024, height = 768;
  bool editorUV = false, align = false, clean = false;
  preview::TView view = preview::TView::Iso;
};

// "WxH" with W and H whole numbers from 1 to 8192.
bool ParseSize(const std::string& text, int& width, int& height) {
  size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  auto number = [](const std::string& s, int& value) {
    if (s.empty() || s.size() > 5) return false;
    value = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    return value >= 1 && value <= 8192;
  };
  return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

// Empty on success, else what was wrong with the values given.
std::string ReadPreviewArgs(const TPreviewCall& call, TPreviewArgs& a) {
  if (call.Positional.size() != 1) return "expects exactly one PATH";
  a.path = call.Positional[0];
  auto has = [&](const char* name) { return call.Options.count(name) != 0; };
  auto get = [&](const char* name) { return call.Options.at(name); };
  a.entryGiven = has("--entry");
  if (a.entryGiven) a.entry = get("--entry");
  a.settings = has("--settings") ? get("--settings") : call.DefaultSettings;
  a.gameDirGiven = has("--game-dir");
  if (a.gameDirGiven) a.gameDir = get("--game-dir");
  if (has("-o")) {
    a.output = get("-o");
    if (a.output.empty()) return "option '-o' needs a file name";
  }
  if (has("--size") && !ParseSize(get("--size"), a.width, a.height))
    return "bad size '" + get("--size") + "': expected WxH, each from 1 to 8192 (such as 1024x768)";
  if (has("--uv")) {
    const std::string uv = get("--uv");
    if (uv != "game" && uv != "editor") return "bad --uv '" + uv + "': expected game or editor";
    a.editorUV = uv == "editor";
  }
  if (has("--view")) {
    const std::string view = get("--view");
    if (view != "iso" && view != "top") return "bad --view '" + view + "': expected iso or top";
    a.view = view == "top" ? preview::TView::Top : preview::TView::Iso;
  }
  a.align = has("--align");
  a.clean = has("--clean");
  return std::string();
}

// Whether path reaches the file, pipe or terminal that standard output is (-o /dev/stdout).
bool IsStandardOutput(const std::string& path) {
  struct stat st;
  rtl::TFileId id;
  return ::fstat(STDOUT_FILENO, &st) == 0 && rtl::GetFileId(path, id) &&
         id.Volume == static_cast<uint64_t>(st.st_dev) &&
         id.Node == static_cast<uint64_t>(st.st_ino);
}

// The editor's console, on standard output.
std::ostream* g_console = nullptr;
bool g_failed = false;

void QERAPI PrintConsole(const char* text) {
  const std::string line = text ? text : "";
  if (line.rfind("Morvane: Failed: ", 0) == 0) g_failed = true;
  *g_console << line << std::flush;
}

}  // namespace

int Preview(const TPreviewCall& Call, std::ostream& out, std::ostream& err) {
  TPreviewArgs a;
  const std::string error = ReadPreviewArgs(Call, a);
  if (!error.empty()) {
    err << "morvane preview: " << error << "\nusage:\n"
        << PreviewSynopsis << "Run 'morvane preview --help' for the details.\n";
    return 2;
  }
  switch (rtl::PathKind(a.path)) {
    case rtl::TPathKind::File:
      break;
    case rtl::TPathKind::Missing:
      err << "morvane preview: no such file '" << a.path << "'\n";
      return 2;
    default:
      err << "morvane preview: '" << a.path << "' is not a file\n";
      return 2;
  }
  if (!a.output.empty() && rtl::SameFile(a.output, a.path)) {
    err << "morvane preview: -o '" << a.output << "' is the input file '" << a.path << "' itself\n";
    return 2;
  }

  THeadlessPlatform platform;
  platform.libraryPath = rtl::ExecutablePath();
  platform.settingsPath = a.settings;
  // The import's own default settings file: its folder may not exist yet.
  if (!Call.Options.count("--settings")) rtl::ForceDirectories(rtl::ExtractFilePath(a.settings));
  platform.fileAnswer = a.path;
  // Nothing is written under the install folder; it is still the import's to know.
  platform.installPath = a.gameDirGiven ? a.gameDir : ".";

  // The picker's answer: the named level, or the container's single one.
  std::string chosen;
  platform.pickEntry = [&](const TJKContainer& container, const std::string& folder) {
    const std::vector<TPickerItem> items = PickerItems(container, folder);
    if (a.entryGiven) {
      std::string key = a.entry;
      for (char& c : key)
        if (c == '/') c = '\\';
      if (!rtl::SameText(key.substr(0, folder.size()), folder)) key = folder + key;
      for (const TPickerItem& item : items)
        if (rtl::SameText(item.Caption, key)) {
          int same = 0;
          for (const TPickerItem& other : items) same += rtl::SameText(other.Caption, key);
          if (same > 1)
            err << "morvane preview: " << a.path << " holds " << same << " entries named '"
                << item.Caption << "'; the first is taken\n";
          return chosen = item.Caption;
        }
      err << "morvane preview: no level '" << a.entry << "' in " << a.path << "\n";
    } else if (items.size() == 1) {
      return chosen = items[0].Caption;
    } else if (items.size() > 1) {
      err << "morvane preview: " << a.path << " holds " << items.size()
          << " levels; name one with --entry:\n";
    } else {
      err << "morvane preview: " << a.path << " holds no level under " << folder << "\n";
    }
    for (const TPickerItem& item : items) err << "  " << item.Caption << "\n";
    return std::string();
  };

  platform.onImportOptions = [&](TImportOptions& options) {
    options.WriteTextures = false;
    options.TexturePixels = true;
    options.KeepTexels = true;  // the front faces carry the level's texture vertices
    if (a.align) options.AlignTextures = true;
    if (a.clean) options.CleanSlabs = true;
  };
  std::unique_ptr<preview::TScene> scene;
  platform.onConverted = [&](const TImportContext& context) {
    scene = std::make_unique<preview::TScene>(preview::BuildScene(context));
  };

  // The editor's projection of each front face, as the host receives it brush by brush.
  recording_host::TRecordingHost host;
  int committed = 0;
  host.OnCommit = [&](const recording_host::TRecordedBrush& brush) {
    if (a.editorUV && scene) preview::ApplyEditorProjection(*scene, committed, brush);
    ++committed;
  };
  // A picture sent to standard output has it to itself: the console lines go to standard error.
  g_console = !a.output.empty() && IsStandardOutput(a.output) ? &err : &out;
  g_failed = false;
  SetPlatform(&platform);
  host.Install(*GetFuncTable());
  FuncTable.ConsolePrint = PrintConsole;
  Dispatch("Import Level...");
  SetPlatform(nullptr);
  host.OnCommit = nullptr;
  // The console stream may not outlive this call.
  FuncTable.ConsolePrint = nullptr;
  g_console = nullptr;

  if (g_failed || !scene) {
    err << "morvane preview: the import failed; no picture written\n";
    return 1;
  }

  std::string output = a.output;
  if (output.empty())
    output =
        rtl::ChangeFileExt(rtl::ExtractFileName(chosen.empty() ? a.path : chosen), "") + ".png";
  preview::TRenderOptions options;
  options.Width = a.width;
  options.Height = a.height;
  options.View = a.view;
  try {
    preview::WritePng(output, preview::Render(*scene, options));
  } catch (const std::exception& e) {
    err << "morvane preview: " << e.what() << "\n";
    return 1;
  }
  err << "morvane preview: drew " << scene->Faces.size() << " faces into " << output << " ("
      << a.width << "x" << a.height << ")\n";
  return 0;
}
