#include "cli/Preview.h"

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

// Empty on success, else what was wrong.
std::string ParsePreviewArgs(const std::vector<std::string>& args, TPreviewArgs& a) {
  std::vector<std::string> positional;
  for (size_t i = 2; i < args.size(); ++i) {
    std::string name = args[i], value;
    if (name.size() < 2 || name[0] != '-') {
      positional.push_back(name);
      continue;
    }
    bool inlineValue = false;
    const size_t eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      inlineValue = true;
    }
    if (name == "--align" || name == "--clean") {
      if (inlineValue) return "option '" + name + "' takes no value";
      (name == "--align" ? a.align : a.clean) = true;
      continue;
    }
    if (name != "--entry" && name != "--settings" && name != "--game-dir" && name != "-o" &&
        name != "--size" && name != "--uv" && name != "--view")
      return "unknown option '" + name + "'";
    if (!inlineValue) {
      if (i + 1 >= args.size()) return "option '" + name + "' needs a value";
      value = args[++i];
    }
    if (name == "--entry") {
      a.entry = value;
      a.entryGiven = true;
    } else if (name == "--settings") {
      a.settings = value;
    } else if (name == "--game-dir") {
      a.gameDir = value;
      a.gameDirGiven = true;
    } else if (name == "-o") {
      if (value.empty()) return "option '-o' needs a file name";
      a.output = value;
    } else if (name == "--size") {
      if (!ParseSize(value, a.width, a.height))
        return "bad size '" + value + "': expected WxH, each from 1 to 8192 (such as 1024x768)";
    } else if (name == "--uv") {
      if (value != "game" && value != "editor")
        return "bad --uv '" + value + "': expected game or editor";
      a.editorUV = value == "editor";
    } else if (value == "iso" || value == "top") {
      a.view = value == "top" ? preview::TView::Top : preview::TView::Iso;
    } else {
      return "bad --view '" + value + "': expected iso or top";
    }
  }
  if (positional.size() != 1) return "expects exactly one PATH";
  a.path = positional[0];
  return std::string();
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

int Preview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TPreviewArgs a;
  const std::string error = ParsePreviewArgs(args, a);
  if (!error.empty()) {
    err << "morvane preview: " << error << "\n"
        << "usage: morvane preview PATH [--entry KEY] [--settings FILE] [--game-dir DIR]\n"
        << "                       [-o FILE.png] [--size WxH] [--uv game|editor] [--align]\n"
        << "                       [--clean] [--view iso|top]\n"
        << "Run 'morvane --help' for the details.\n";
    return 2;
  }
  if (!rtl::FileExists(a.path)) {
    err << "morvane preview: no such file '" << a.path << "'\n";
    return 2;
  }

  THeadlessPlatform platform;
  platform.libraryPath = rtl::ExecutablePath();
  platform.settingsPath = !a.settings.empty()
                              ? a.settings
                              : rtl::ExtractFilePath(rtl::ExecutablePath()) + "morvane.ini";
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
        if (rtl::SameText(item.Caption, key)) return chosen = item.Caption;
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
    if (a.align) options.AlignTextures = true;
    if (a.clean) options.CleanSlabs = true;
  };
  std::unique_ptr<preview::TScene> scene;
  platform.onConverted = [&](const TImportContext& context) {
    scene = std::make_unique<preview::TScene>(preview::BuildScene(context));
  };

  recording_host::TRecordingHost host;
  host.RecordCalls = false;
  g_console = &out;
  g_failed = false;
  SetPlatform(&platform);
  host.Install(*GetFuncTable());
  FuncTable.ConsolePrint = PrintConsole;
  Dispatch("Import Level...");
  SetPlatform(nullptr);
  // The console stream may not outlive this call.
  FuncTable.ConsolePrint = nullptr;
  g_console = nullptr;

  if (g_failed || !scene) {
    err << "morvane preview: the import failed; no picture written\n";
    return 1;
  }
  if (a.editorUV) {
    // The host committed one brush per brush of the brush level, in order.
    for (size_t i = 0; i < host.Committed.size(); ++i)
      preview::ApplyEditorProjection(*scene, static_cast<int>(i), host.Committed[i]);
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
