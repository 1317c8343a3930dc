#include "cli/Cli.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <memory>

#include "cli/MapWriter.h"
#ifndef _WIN32
#include "cli/Preview.h"
#endif
#include "container/O_jkc.h"
#include "plugin/HeadlessPlatform.h"
#include "plugin/RecordingHost.h"
#include "plugin/main.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"
#include "texture/BatchConvert.h"

#ifdef _WIN32
#include <io.h>

#include "plugin/Platform_win32.h"
#define MV_ISATTY _isatty
#else
#include <unistd.h>
#define MV_ISATTY isatty
#endif

const char* const CliUsage =
    "usage:\n"
    "  morvane import PATH [--entry KEY] [--game-dir DIR] [--settings FILE] [--map FILE]\n"
    "                      [--default-texture NAME]\n"
    "  morvane list CONTAINER [FOLDER]\n"
    "  morvane extract CONTAINER KEY [-o FILE]\n"
    "  morvane convert (--dir DIR | --container FILE) --out DIR [--format tga|jpg]\n"
    "                  [--palette FILE.cmp | --palette \"CONTAINER>>KEY\"]\n"
    "  morvane preview PATH [--entry KEY] [--settings FILE] [--game-dir DIR] [-o FILE.png]\n"
    "                       [--size WxH] [--uv game|editor] [--align] [--clean] [--view iso|top]\n"
    "  morvane --help\n"
    "\n"
    "import  brings a Jedi Knight level into Radiant form, as the editor's \"Import Level...\"\n"
    "        does: PATH is a .jkl level or a .gob/.goo container (any letter case). The level's\n"
    "        textures are converted into DIR/GameData/base/Textures/<level>/ and its solid\n"
    "        surfaces become slab brushes, written as a Radiant .map file.\n"
    "  --entry KEY          the level inside a container, under \"jkl\\\" (any letter case; the\n"
    "                       folder may be left out). Without it a container's single level is\n"
    "                       taken; with several, the import is canceled and they are listed.\n"
    "  --game-dir DIR       the game's install folder (default: "
#ifdef _WIN32
    "the one in the registry"
#else
    "the current folder"
#endif
    ").\n"
    "  --settings FILE      the settings file (default: morvane.ini beside this program); read\n"
    "                       before and written back after the import, as the plug-in does.\n"
    "                       Keys: Scale, BrushDepth, NonVisTex, JKPalette, OutputTexFormat,\n"
    "                       ResourceGobs.\n"
    "  --map FILE           the .map file to write (default: <level>.map in the current folder).\n"
    "  --default-texture N  the texture of faces the plug-in leaves as the editor made them\n"
    "                       (default: system/caulk).\n"
    "        Standard output carries the console lines the editor would show (\"Morvane: ...\").\n"
    "\n"
    "list    prints each entry of a container (optionally only those under FOLDER, such as\n"
    "        jkl\\ or mat\\) with its size in bytes.\n"
    "extract copies one entry of a container to FILE (default: the entry's file name in the\n"
    "        current folder).\n"
    "convert converts textures as the editor's \"Batch Convert Textures...\" does: every *.mat\n"
    "        file of DIR, or every entry under mat\\ of a container, into TGA (default) or JPEG\n"
    "        files in the output folder, which is created when missing. The palette is a CMP\n"
    "        file or a container entry such as \"res2.gob>>misc\\cmp\\01narsh.cmp\" (default:\n"
    "        the built-in one). Standard output carries the dialog's status texts, one per\n"
    "        line, without their leading blank; each texture that failed is named on standard\n"
    "        error, and the exit status is 1 when any failed.\n"
#ifdef _WIN32
    "preview is not part of the Windows build of morvane (it writes PNG with libpng); use the\n"
    "        Linux build.\n"
#else
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
    "                       straight down. Both fit the whole level into the picture.\n"
#endif
    "\n"
    "exit status: 0 success, 1 the command failed, 2 usage error.\n";

namespace {

// For a usage error: the synopsis (the help's first paragraph) and where the rest is.
std::string ShortUsage() {
  std::string help = CliUsage;
  return help.substr(0, help.find("\n\n") + 1) + "Run 'morvane --help' for the details.\n";
}

struct TArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
};

// Splits arguments into positional ones and known options taking a value; false with a message
// for an unknown option or a missing value.
bool ParseArgs(const std::vector<std::string>& args, size_t from,
               const std::vector<std::string>& known, TArgs& out, std::string& error) {
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 1 && a[0] == '-') {
      std::string name = a, value;
      bool inlineValue = false;
      size_t eq = a.find('=');
      if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
        name = a.substr(0, eq);
        value = a.substr(eq + 1);
        inlineValue = true;
      }
      bool isKnown = false;
      for (const std::string& k : known) isKnown = isKnown || k == name;
      if (!isKnown) {
        error = "unknown option '" + name + "'";
        return false;
      }
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          error = "option '" + name + "' needs a value";
          return false;
        }
        value = args[++i];
      }
      out.options[name] = value;
    } else {
      out.positional.push_back(a);
    }
  }
  return true;
}

// A progress bar on a terminal: redrawn only when what it shows changes (a level reports every
// line it reads), and cleared before a line of text is printed.
class TProgressBar {
 public:
  TProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  ~TProgressBar() { Clear(); }
  void Draw(int index, int count, const std::string& label) {
    if (!enabled_ || count <= 0) return;
    const int width = 30;
    int filled = static_cast<int>(static_cast<long long>(index + 1) * width / count);
    filled = filled < 0 ? 0 : filled > width ? width : filled;
    std::string line = "[" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(width - filled), '.') + "] " + label;
    if (line == shown_) return;
    err_ << "\r\033[K" << line << std::flush;
    shown_ = line;
  }
  void Clear() {
    if (!shown_.empty()) err_ << "\r\033[K" << std::flush;
    shown_.clear();
  }

 private:
  std::ostream& err_;
  bool enabled_;
  std::string shown_;
};

// What the editor's console and status window show, on the terminal.
std::ostream* g_out = nullptr;
TProgressBar* g_bar = nullptr;
bool g_failed = false;
std::string g_step;

void QERAPI PrintConsole(const char* text) {
  std::string line = text ? text : "";
  if (line.rfind("Morvane: Failed: ", 0) == 0) g_failed = true;
  if (g_bar) g_bar->Clear();
  *g_out << line << std::flush;
}

void DrawProgress(int index, int count) {
  if (g_bar) g_bar->Draw(index, count, g_step);
}

bool IsTerminal(int fd) { return MV_ISATTY(fd) != 0; }

std::string DefaultSettingsPath() {
  return rtl::ExtractFilePath(rtl::ExecutablePath()) + "morvane.ini";
}

int Import(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArgs a;
  std::string error;
  if (!ParseArgs(args, 2, {"--entry", "--game-dir", "--settings", "--map", "--default-texture"}, a,
                 error) ||
      a.positional.size() != 1) {
    err << "morvane import: " << (error.empty() ? "expects exactly one PATH" : error) << "\n"
        << ShortUsage();
    return 2;
  }
  const std::string path = a.positional[0];
  if (!rtl::FileExists(path)) {
    err << "morvane import: no such file '" << path << "'\n";
    return 2;
  }
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(path));
  if (ext != ".jkl" && ext != ".gob" && ext != ".goo")
    err << "morvane import: '" << path << "' is not a .jkl, .gob or .goo file\n";

  THeadlessPlatform platform;
  platform.libraryPath = rtl::ExecutablePath();
  platform.settingsPath =
      a.options.count("--settings") ? a.options["--settings"] : DefaultSettingsPath();
  platform.fileAnswer = path;
  if (a.options.count("--game-dir")) {
    platform.installPath = a.options["--game-dir"];
  } else {
#ifdef _WIN32
    try {
      platform.installPath = ReadInstallPathFromRegistry();
    } catch (const std::exception& e) {
      err << "morvane import: " << e.what() << "\n";
    }
#else
    platform.installPath = ".";
#endif
  }

  // The picker's answer: the named level, or the container's single one.
  std::string chosen;
  const bool entryGiven = a.options.count("--entry") != 0;
  std::string wanted = a.options["--entry"];
  platform.pickEntry = [&](const TJKContainer& container, const std::string& folder) {
    std::vector<TPickerItem> items = PickerItems(container, folder);
    if (entryGiven) {
      std::string key = rtl::NativePath(wanted);
      for (char& c : key)
        if (c == rtl::PathDelim) c = '\\';
      if (!rtl::SameText(key.substr(0, folder.size()), folder)) key = folder + key;
      for (const TPickerItem& item : items)
        if (rtl::SameText(item.Caption, key)) return chosen = item.Caption;
      err << "morvane import: no level '" << wanted << "' in " << path << "\n";
    } else if (items.size() == 1) {
      return chosen = items[0].Caption;
    } else if (items.size() > 1) {
      err << "morvane import: " << path << " holds " << items.size()
          << " levels; name one with --entry:\n";
    } else {
      err << "morvane import: " << path << " holds no level under " << folder << "\n";
    }
    for (const TPickerItem& item : items) err << "  " << item.Caption << "\n";
    return std::string();
  };

  TProgressBar bar(err, IsTerminal(2) && &err == &std::cerr);
  g_out = &out;
  g_bar = &bar;
  g_failed = false;
  platform.onStatus = [](const std::string& text) {
    g_step = text;
    DrawProgress(-1, 1);
  };
  platform.onProgress = DrawProgress;

  recording_host::TRecordingHost host(
      a.options.count("--default-texture") ? a.options["--default-texture"] : "system/caulk");
  SetPlatform(&platform);
  host.Install(*GetFuncTable());
  FuncTable.ConsolePrint = PrintConsole;
  Dispatch("Import Level...");
  bar.Clear();
  g_bar = nullptr;
  SetPlatform(nullptr);

  // The map holds what the editor would now have: every committed brush, also after a failure
  // half-way.
  std::string levelName = rtl::ExtractFileName(chosen.empty() ? path : chosen);
  levelName = rtl::ChangeFileExt(levelName, "");
  if (!host.Committed.empty() || !g_failed) {
    std::string mapFile = a.options.count("--map") ? a.options["--map"] : levelName + ".map";
    int skipped = 0;
    std::string text = WriteMap(host.Committed, skipped);
    try {
      rtl::WriteFileAtomic(mapFile, text);
      err << "morvane import: wrote " << (host.Committed.size() - static_cast<size_t>(skipped))
          << " brushes to " << mapFile << "\n";
    } catch (const std::exception& e) {
      err << "morvane import: " << e.what() << "\n";
      return 1;
    }
    if (skipped > 0) err << "morvane import: " << skipped << " brushes without faces left out\n";
  }
  return g_failed ? 1 : 0;
}

int List(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArgs a;
  std::string error;
  if (!ParseArgs(args, 2, {}, a, error) || a.positional.empty() || a.positional.size() > 2) {
    err << "morvane list: " << (error.empty() ? "expects CONTAINER [FOLDER]" : error) << "\n";
    return 2;
  }
  if (!rtl::FileExists(a.positional[0])) {
    err << "morvane list: no such file '" << a.positional[0] << "'\n";
    return 2;
  }
  TJKContainer container;
  container.Open(a.positional[0]);
  std::string folder = a.positional.size() > 1 ? rtl::LowerCase(a.positional[1]) : std::string();
  for (char& c : folder)
    if (c == '/') c = '\\';
  for (int i = 0; i < container.Entries.Count(); ++i) {
    const std::string& key = container.Entries.Strings(i);
    if (key.compare(0, folder.size(), folder) != 0) continue;
    out << key << "\t" << container.Entries.Objects(i)->Length << "\n";
  }
  return 0;
}

int Extract(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArgs a;
  std::string error;
  if (!ParseArgs(args, 2, {"-o"}, a, error) || a.positional.size() != 2) {
    err << "morvane extract: " << (error.empty() ? "expects CONTAINER KEY [-o FILE]" : error)
        << "\n";
    return 2;
  }
  if (!rtl::FileExists(a.positional[0])) {
    err << "morvane extract: no such file '" << a.positional[0] << "'\n";
    return 2;
  }
  std::string key = a.positional[1];
  for (char& c : key)
    if (c == '/') c = '\\';
  TJKContainer container;
  container.Open(a.positional[0]);
  rtl::TMemoryStream data;
  if (!container.ExtractToStream(data, key)) {
    err << "morvane extract: no entry '" << a.positional[1] << "' in " << a.positional[0] << "\n";
    return 1;
  }
  std::string target = a.options.count("-o") ? a.options["-o"] : rtl::ExtractFileName(key);
  rtl::WriteFileAtomic(target, std::string(data.Bytes().begin(), data.Bytes().end()));
  out << target << "\n";
  return 0;
}

int Convert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  TArgs a;
  std::string error;
  if (ParseArgs(args, 2, {"--dir", "--container", "--out", "--format", "--palette"}, a, error)) {
    if (!a.positional.empty())
      error = "unexpected argument '" + a.positional[0] + "'";
    else if (a.options.count("--dir") == a.options.count("--container"))
      error = "expects exactly one of --dir DIR and --container FILE";
    else if (!a.options.count("--out") || a.options["--out"].empty())
      error = "expects --out DIR";
  }
  TBatchOptions options;
  if (error.empty() && a.options.count("--format")) {
    std::string format = rtl::LowerCase(a.options["--format"]);
    if (format == "jpg" || format == "jpeg")
      options.Format = TBatchFormat::JPEG;
    else if (format != "tga")
      error = "unknown format '" + a.options["--format"] + "' (tga or jpg)";
  }
  if (!error.empty()) {
    err << "morvane convert: " << error << "\n" << ShortUsage();
    return 2;
  }
  if (a.options.count("--dir")) {
    options.Input = TBatchInput::Directory;
    options.Source = a.options["--dir"];
    if (!rtl::DirectoryExists(options.Source)) {
      err << "morvane convert: no such directory '" << options.Source << "'\n";
      return 2;
    }
  } else {
    options.Input = TBatchInput::Container;
    options.Source = a.options["--container"];
    if (!rtl::FileExists(options.Source)) {
      err << "morvane convert: no such file '" << options.Source << "'\n";
      return 2;
    }
  }
  options.OutputDir = a.options["--out"];
  if (a.options.count("--palette")) options.Palette = ReadPaletteSource(a.options["--palette"]);

  TProgressBar bar(err, IsTerminal(2) && &err == &std::cerr);
  TBatchCallbacks callbacks;
  callbacks.Status = [&](const std::string& text) {
    bar.Clear();
    out << (text.empty() || text[0] != ' ' ? text : text.substr(1)) << "\n" << std::flush;
  };
  callbacks.Progress = [&](int index, int count) {
    bar.Draw(index, count, std::to_string(index + 1) + "/" + std::to_string(count));
  };
  callbacks.Failure = [&](const std::string& name, const std::string& reason) {
    bar.Clear();
    err << "morvane convert: " << name << ": " << reason << "\n";
  };
  TBatchResult result;
  try {
    result = RunBatchConversion(options, callbacks);
  } catch (...) {
    bar.Clear();
    throw;
  }
  bar.Clear();
  return result.Failed > 0 ? 1 : 0;
}

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) {
    err << ShortUsage();
    return 2;
  }
  const std::string& command = args[1];
  if (command == "--help" || command == "-h" || command == "help") {
    out << CliUsage;
    return 0;
  }
  try {
    if (command == "import") return Import(args, out, err);
    if (command == "list") return List(args, out, err);
    if (command == "extract") return Extract(args, out, err);
    if (command == "convert") return Convert(args, out, err);
#ifndef _WIN32
    if (command == "preview") return Preview(args, out, err);
#else
    if (command == "preview") {
      err << "morvane preview: not available in the Windows build\n";
      return 2;
    }
#endif
  } catch (const std::exception& e) {
    err << "morvane " << command << ": " << e.what() << "\n";
    return 1;
  }
  err << "morvane: unknown command '" << command << "'\n" << ShortUsage();
  return 2;
}
