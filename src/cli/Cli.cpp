#include "cli/Cli.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>

#include "cli/MapEntities.h"
#include "cli/MapLayout.h"
#include "cli/MapWriter.h"
#ifndef _WIN32
#include "cli/Preview.h"
#endif
#include "container/O_jkc.h"
#include "plugin/HeadlessPlatform.h"
#include "plugin/LevelTextures.h"
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
#include <pwd.h>
#include <unistd.h>
#define MV_ISATTY isatty
#endif

namespace {

const char* const Version = "1.2";

// One option of a command: its name, and whether a value follows it ("--map FILE" or
// "--map=FILE") or it is a switch ("--overwrite-textures").
struct TOptionDef {
  const char* Name;
  bool TakesValue;
};

// A command line split by the shared parser: the positional arguments in order and the options
// given (a switch holds "1"; an option given twice keeps its last value).
struct TArgs {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;
  bool Has(const char* name) const { return options.count(name) != 0; }
  std::string Get(const char* name, const std::string& fallback = std::string()) const {
    auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
  }
};

using TCommandRun = int (*)(TArgs& args, std::ostream& out, std::ostream& err);

// One command of the host: everything its help, its usage errors and its parsing need.
struct TCommandDef {
  const char* Name;
  const char* Synopsis;  // the usage lines, each beginning "  morvane NAME"
  const char* Details;   // the help's paragraph about the command
  std::vector<TOptionDef> Options;
  TCommandRun Run;
};

const char* const ExitStatusText = "exit status: 0 success, 1 the command failed, 2 usage error.\n";

const char* const ImportSynopsis =
    "  morvane import PATH [--entry KEY] [--game-dir DIR] [--settings FILE] [--map FILE]\n"
    "                      [--default-texture NAME] [--overwrite-textures] [--align]\n"
    "                      [--map-format quake3|brushdef] [--clean] [--entities]\n";
const char* const ImportDetails =
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
    "  --settings FILE      the settings file (default: "
#ifdef _WIN32
    "morvane.ini beside this program"
#else
    "$XDG_CONFIG_HOME/morvane/morvane.ini,\n"
    "                       else ~/.config/morvane/morvane.ini"
#endif
    "); read before and\n"
    "                       written back after the import when the import changed it, as the\n"
    "                       plug-in does. Keys: Scale, BrushDepth, NonVisTex, JKPalette,\n"
    "                       OutputTexFormat, ResourceGobs, CleanSlabs, AlignTextures.\n"
    "  --map FILE           the .map file to write (default: <level>.map in the current folder);\n"
    "                       it may not be PATH itself.\n"
    "  --default-texture N  the texture of faces the plug-in leaves as the editor made them\n"
    "                       (default: system/caulk).\n"
    "  --overwrite-textures convert the level's textures again even where their images exist\n"
    "                       (as after a change of palette).\n"
    "  --align              fit each front face's texture projection to the level's texture\n"
    "                       vertices, as the AlignTextures setting does, for this run only (the\n"
    "                       setting file is not changed); one line on standard error says how\n"
    "                       near the corners came.\n"
    "  --map-format F       quake3 (default): classic face lines; brushdef: each brush whose\n"
    "                       front face's image size is known becomes a brushDef block with a\n"
    "                       texture matrix per face (exact for any affine texture map with\n"
    "                       --align); the others stay classic in the same file.\n"
    "  --clean              clean slabs for this run (the setting CleanSlabs=1, not stored):\n"
    "                       corners repeated or in line with their neighbours are dropped\n"
    "                       before a slab is built, and surfaces left without area make none.\n"
    "  --entities           after the worldspawn, one point entity per thing of the level\n"
    "                       (info_player_deathmatch for a walkplayer, else info_null; keys\n"
    "                       origin, angles and template) and one light per editor light (keys\n"
    "                       origin, light and range), in the level's order.\n"
    "        Standard output carries the console lines the editor would show (\"Morvane: ...\").\n";

const char* const ListSynopsis = "  morvane list CONTAINER [FOLDER]\n";
const char* const ListDetails =
    "list    prints each entry of a container (optionally only those under FOLDER, such as\n"
    "        jkl\\ or mat\\) with its size in bytes; an entry whose name an earlier one has\n"
    "        (in any letter case) is marked: extract and import take the first.\n";

const char* const ExtractSynopsis = "  morvane extract CONTAINER KEY [-o FILE]\n";
const char* const ExtractDetails =
    "extract copies one entry of a container to FILE (default: the entry's file name in the\n"
    "        current folder; never CONTAINER itself) and prints the file's name, followed by\n"
    "        \"(replaced)\" when a file of that name was there before.\n";

const char* const ConvertSynopsis =
    "  morvane convert (--dir DIR | --container FILE) --out DIR [--format tga|jpg]\n"
    "                  [--palette FILE.cmp | --palette \"CONTAINER>>KEY\"]\n";
const char* const ConvertDetails =
    "convert converts textures as the editor's \"Batch Convert Textures...\" does: every *.mat\n"
    "        file of DIR, or every entry under mat\\ of a container, into TGA (default) or JPEG\n"
    "        files in the output folder, which is created when missing. The palette is a CMP\n"
    "        file or a container entry such as \"res2.gob>>misc\\cmp\\01narsh.cmp\" (default:\n"
    "        the built-in one). Standard output carries the dialog's status texts, one per\n"
    "        line, without their leading blank; the last one also counts the images that\n"
    "        replaced existing files (\", N replaced\"). Each texture that failed is named on\n"
    "        standard error, and the exit status is 1 when any failed.\n";

const char* const GeneralSynopsis =
    "  morvane COMMAND --help\n"
    "  morvane --help | --version\n";
const char* const GeneralDetails =
    "Options may be given in any order, a value after a blank or after \"=\"; \"--\" ends the\n"
    "options, so that later arguments are taken as they are (a PATH beginning with \"-\").\n"
#ifdef _WIN32
    "The Windows build of morvane leaves out the command preview (a PNG picture of an import):\n"
    "it needs libpng; use the Linux build.\n"
#endif
    ;

int Import(TArgs& a, std::ostream& out, std::ostream& err);
int List(TArgs& a, std::ostream& out, std::ostream& err);
int Extract(TArgs& a, std::ostream& out, std::ostream& err);
int Convert(TArgs& a, std::ostream& out, std::ostream& err);
#ifndef _WIN32
int PreviewCommand(TArgs& a, std::ostream& out, std::ostream& err);
#endif

const std::vector<TCommandDef>& Commands() {
  static const std::vector<TCommandDef> commands = {
      {"import",
       ImportSynopsis,
       ImportDetails,
       {{"--entry", true},
        {"--game-dir", true},
        {"--settings", true},
        {"--map", true},
        {"--default-texture", true},
        {"--overwrite-textures", false},
        {"--align", false},
        {"--map-format", true},
        {"--clean", false},
        {"--entities", false}},
       Import},
      {"list", ListSynopsis, ListDetails, {}, List},
      {"extract", ExtractSynopsis, ExtractDetails, {{"-o", true}}, Extract},
      {"convert",
       ConvertSynopsis,
       ConvertDetails,
       {{"--dir", true},
        {"--container", true},
        {"--out", true},
        {"--format", true},
        {"--palette", true}},
       Convert},
#ifndef _WIN32
      {"preview",
       PreviewSynopsis,
       PreviewDetails,
       {{"--entry", true},
        {"--settings", true},
        {"--game-dir", true},
        {"-o", true},
        {"--size", true},
        {"--uv", true},
        {"--view", true},
        {"--align", false},
        {"--clean", false}},
       PreviewCommand},
#endif
  };
  return commands;
}

const TCommandDef* FindCommand(const std::string& name) {
  for (const TCommandDef& c : Commands())
    if (name == c.Name) return &c;
  return nullptr;
}

std::string FullHelp() {
  std::string text = "usage:\n";
  for (const TCommandDef& c : Commands()) text += c.Synopsis;
  text += GeneralSynopsis;
  for (const TCommandDef& c : Commands()) text += std::string("\n") + c.Details;
  text += std::string("\n") + GeneralDetails + "\n" + ExitStatusText;
  return text;
}

std::string CommandHelp(const TCommandDef& c) {
  return std::string("usage:\n") + c.Synopsis + "\n" + c.Details + "\n" + GeneralDetails + "\n" +
         ExitStatusText;
}

// For a usage error: the synopsis and where the rest is.
std::string ShortUsage(const TCommandDef* c = nullptr) {
  std::string text = "usage:\n";
  if (c) return text + c->Synopsis + "Run 'morvane " + c->Name + " --help' for the details.\n";
  for (const TCommandDef& command : Commands()) text += command.Synopsis;
  return text + GeneralSynopsis + "Run 'morvane --help' for the details.\n";
}

enum class TParse { Ok, Help, Error };

// Splits the arguments after the command into positional ones and the command's options:
// "-h"/"--help" asks for the command's help, "--" ends the options. An unknown option, a value
// missing or given to a switch is an error, with its text.
TParse ParseArgs(const std::vector<std::string>& args, size_t from,
                 const std::vector<TOptionDef>& known, TArgs& out, std::string& error) {
  bool optionsEnded = false;
  for (size_t i = from; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a[0] != '-') {
      out.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "-h" || a == "--help") return TParse::Help;
    std::string name = a, value;
    bool inlineValue = false;
    size_t eq = a.find('=');
    if (a.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    const TOptionDef* def = nullptr;
    for (const TOptionDef& k : known)
      if (name == k.Name) def = &k;
    if (!def) {
      error = "unknown option '" + name + "'";
      return TParse::Error;
    }
    if (!def->TakesValue) {
      if (inlineValue) {
        error = "option '" + name + "' takes no value";
        return TParse::Error;
      }
      value = "1";
    } else if (!inlineValue) {
      if (i + 1 >= args.size()) {
        error = "option '" + name + "' needs a value";
        return TParse::Error;
      }
      value = args[++i];
    }
    out.options[name] = value;
  }
  return TParse::Ok;
}

// Checks that an input path names a file that can be read as one: a folder, a device or a FIFO
// each get their own message rather than "no such file". The message goes to err.
bool CheckInputFile(const char* command, const std::string& path, std::ostream& err) {
  std::string problem;
  switch (rtl::PathKind(path)) {
    case rtl::TPathKind::File:
      return true;
    case rtl::TPathKind::Missing:
      problem = "no such file '" + path + "'";
      break;
    case rtl::TPathKind::Directory:
      problem = "'" + path + "' is a directory, not a file";
      break;
    case rtl::TPathKind::Other:
      problem = "'" + path + "' is a device or FIFO, not a file";
      break;
  }
  err << "morvane " << command << ": " << problem << "\n";
  return false;
}

// True (with a usage message) when an output path reaches the input file itself, under any
// spelling or through a link: writing it would destroy what is being read.
bool OutputIsInput(const char* command, const char* option, const std::string& output,
                   const std::string& input, std::ostream& err) {
  if (!rtl::SameFile(output, input)) return false;
  err << "morvane " << command << ": " << option << " '" << output << "' is the input file '"
      << input << "' itself\n";
  return true;
}

// A container may hold two entries of one name (in any letter case): the first is the one read.
void SayDuplicates(const char* command, const TJKContainer& container, const std::string& key,
                   std::ostream& err) {
  int count = 0;
  for (int i = 0; i < container.Entries.Count(); ++i)
    if (rtl::SameText(container.Entries.Strings(i), key)) ++count;
  if (count > 1)
    err << "morvane " << command << ": " << container.FileName << " holds " << count
        << " entries named '" << key << "'; the first is taken\n";
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

// Where the settings live when no --settings is given. A program installed for every user sits
// in a folder its users cannot (and should not) write to, so on Linux each user keeps a file of
// their own in the configuration folder; on Windows it stays beside the program, as the
// plug-in's own does.
std::string DefaultSettingsPath() {
#ifdef _WIN32
  return rtl::ExtractFilePath(rtl::ExecutablePath()) + SettingsFileName;
#else
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') {  // a relative value is to be ignored
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    std::string homeDir = home && home[0] ? home : std::string();
    if (homeDir.empty()) {
      if (const struct passwd* pw = getpwuid(getuid())) homeDir = pw->pw_dir ? pw->pw_dir : "";
    }
    if (homeDir.empty()) return SettingsFileName;  // nowhere better: the current folder
    base = rtl::JoinPath(homeDir, ".config");
  }
  return rtl::JoinPath(rtl::JoinPath(base, "morvane"), SettingsFileName);
#endif
}

int Import(TArgs& a, std::ostream& out, std::ostream& err) {
  const TCommandDef& def = *FindCommand("import");
  if (a.positional.size() != 1) {
    err << "morvane import: expects exactly one PATH\n" << ShortUsage(&def);
    return 2;
  }
  const std::string path = a.positional[0];
  if (!CheckInputFile("import", path, err)) return 2;
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(path));
  const bool container = ext == ".gob" || ext == ".goo";
  if (ext != ".jkl" && !container)
    err << "morvane import: '" << path << "' is not a .jkl, .gob or .goo file\n";
  if (a.Has("--entry") && !container) {
    err << "morvane import: --entry names a level inside a container; '" << path
        << "' is no .gob or .goo container\n"
        << ShortUsage(&def);
    return 2;
  }
  if (a.Has("--map") && a.Get("--map").empty()) {
    err << "morvane import: --map needs a file name\n" << ShortUsage(&def);
    return 2;
  }
  if (a.Has("--map") && OutputIsInput("import", "--map", a.Get("--map"), path, err)) return 2;
  // The texture of the faces the plug-in leaves as the editor made them: one word of a face line.
  std::string defaultTexture = "system/caulk";
  if (a.Has("--default-texture")) {
    const std::string given = a.Get("--default-texture");
    if (given.empty()) {
      err << "morvane import: --default-texture needs a texture name\n" << ShortUsage(&def);
      return 2;
    }
    defaultTexture = MapSafeName(given);
    if (defaultTexture != given)
      err << "morvane import: --default-texture '" << given
          << "' cannot be one word of a face line; '" << defaultTexture << "' is used\n";
  }
  const bool overwriteTextures = a.Has("--overwrite-textures");
  const bool cleanSlabs = a.Has("--clean");
  const bool withEntities = a.Has("--entities");
  const bool align = a.Has("--align");
  const std::string mapFormat = rtl::LowerCase(a.Get("--map-format", "quake3"));
  if (mapFormat != "quake3" && mapFormat != "brushdef") {
    err << "morvane import: unknown map format '" << a.Get("--map-format")
        << "' (quake3 or brushdef)\n"
        << ShortUsage(&def);
    return 2;
  }
  const bool brushDef = mapFormat == "brushdef";

  THeadlessPlatform platform;
  platform.libraryPath = rtl::ExecutablePath();
  if (a.Has("--settings")) {
    platform.settingsPath = a.Get("--settings");
  } else {
    platform.settingsPath = DefaultSettingsPath();
    // The configuration folder may not exist yet; when it cannot be made, saving the settings
    // says so in one console line.
    rtl::ForceDirectories(rtl::ExtractFilePath(platform.settingsPath));
  }
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
        if (rtl::SameText(item.Caption, key)) {
          SayDuplicates("import", container, item.Caption, err);
          return chosen = item.Caption;
        }
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
  platform.onImportOptions = [overwriteTextures, align, brushDef,
                              cleanSlabs](TImportOptions& options) {
    if (overwriteTextures) options.OverwriteTextures = true;
    if (align) options.AlignTextures = true;
    if (cleanSlabs) options.CleanSlabs = true;
    // A brushDef matrix is in repeats of the image: every found material's size is needed.
    if (brushDef) options.TextureSizes = true;
  };
  // Alignment may also come from the settings file: the layout learns what the import used.
  std::unique_ptr<TMapLayout> layout = std::make_unique<TMapLayout>(brushDef, align);
  // The things and lights as the conversion left them; written after the worldspawn.
  std::vector<TMapEntity> entities;
  platform.onConverted = [&](const TImportContext& context) {
    layout = std::make_unique<TMapLayout>(brushDef, context.Options.AlignTextures);
    layout->Converted(context);
    if (withEntities) entities = MapEntities(context.Level, context.BrushLevel);
  };

  recording_host::TRecordingHost host(defaultTexture);

  // The map receives each brush as the editor would, the moment it is committed, so that what a
  // failure half-way leaves in the editor is in the map too, and no brush is held longer than
  // its commit. The file is begun at the first commit (the level's name is known by then) and
  // replaces the target only when complete; a level that fails before any commit leaves none.
  std::unique_ptr<rtl::TAtomicFile> mapFile;
  std::unique_ptr<TMapWriter> map;
  std::string mapPath;
  std::string mapError;  // the first error of the map file; nothing more is written after it
  auto beginMap = [&] {
    std::string levelName = rtl::ExtractFileName(chosen.empty() ? path : chosen);
    levelName = rtl::ChangeFileExt(levelName, "");
    mapPath = a.options.count("--map") ? a.options["--map"] : levelName + ".map";
    mapFile = std::make_unique<rtl::TAtomicFile>(mapPath);
    rtl::TStream& stream = mapFile->Stream();
    map = std::make_unique<TMapWriter>(
        [&stream](const char* data, size_t size) { stream.WriteBuffer(data, size); });
    map->BeginWorldspawn();
  };
  // Called from within the hand-off: errors stay here rather than unwinding through the
  // editor's table.
  host.OnCommit = [&](const recording_host::TRecordedBrush& brush) {
    if (!mapError.empty()) return;
    try {
      if (!map) beginMap();
      layout->Write(*map, brush);
    } catch (const std::exception& e) {
      mapError = e.what();
    }
  };

  SetPlatform(&platform);
  host.Install(*GetFuncTable());
  FuncTable.ConsolePrint = PrintConsole;
  Dispatch("Import Level...");
  bar.Clear();
  g_bar = nullptr;
  SetPlatform(nullptr);
  host.OnCommit = nullptr;

  // The map holds what the editor would now have: every committed brush, also after a failure
  // half-way.
  if (host.CommittedCount() > 0 || !g_failed) {
    if (mapError.empty()) {
      try {
        if (!map) beginMap();
        map->EndEntity();
        for (const TMapEntity& entity : entities) map->Append(EntityText(entity));
        map->Flush();
        mapFile->Commit();
      } catch (const std::exception& e) {
        mapError = e.what();
      }
    }
    mapFile.reset();  // an unfinished file is removed here
    if (!mapError.empty()) {
      err << "morvane import: " << mapError << "\n";
      return 1;
    }
    const std::string report = layout->ReportLine();
    if (!report.empty()) err << "morvane import: " << report << "\n";
    err << "morvane import: wrote " << map->Written() << " brushes to " << mapPath << "\n";
    if (brushDef)
      err << "morvane import: " << map->WrittenBrushDef() << " of them as brushDef, "
          << map->Written() - map->WrittenBrushDef()
          << " classic (their front face's image size is unknown)\n";
    if (map->Skipped() > 0)
      err << "morvane import: " << map->Skipped() << " brushes without faces left out\n";
  }
  return g_failed ? 1 : 0;
}

#ifndef _WIN32
int PreviewCommand(TArgs& a, std::ostream& out, std::ostream& err) {
  return Preview(TPreviewCall{a.positional, a.options, DefaultSettingsPath()}, out, err);
}
#endif

int List(TArgs& a, std::ostream& out, std::ostream& err) {
  if (a.positional.empty() || a.positional.size() > 2) {
    err << "morvane list: expects CONTAINER [FOLDER]\n" << ShortUsage(FindCommand("list"));
    return 2;
  }
  if (!CheckInputFile("list", a.positional[0], err)) return 2;
  TJKContainer container;
  container.Open(a.positional[0]);
  std::string folder = a.positional.size() > 1 ? rtl::LowerCase(a.positional[1]) : std::string();
  for (char& c : folder)
    if (c == '/') c = '\\';
  for (int i = 0; i < container.Entries.Count(); ++i) {
    const std::string& key = container.Entries.Strings(i);
    if (key.compare(0, folder.size(), folder) != 0) continue;
    out << key << "\t" << container.Entries.Objects(i)->Length
        << (container.IndexOfKey(key) != i ? "\t(duplicate of an earlier entry: not used)" : "")
        << "\n";
  }
  return 0;
}

int Extract(TArgs& a, std::ostream& out, std::ostream& err) {
  if (a.positional.size() != 2) {
    err << "morvane extract: expects CONTAINER KEY [-o FILE]\n"
        << ShortUsage(FindCommand("extract"));
    return 2;
  }
  const std::string& source = a.positional[0];
  if (!CheckInputFile("extract", source, err)) return 2;
  std::string key = a.positional[1];
  for (char& c : key)
    if (c == '/') c = '\\';
  if (key.empty() || key.back() == '\\') {
    err << "morvane extract: KEY '" << a.positional[1]
        << "' names no file (such as mat\\wall.mat)\n"
        << ShortUsage(FindCommand("extract"));
    return 2;
  }
  const std::string target = a.Has("-o") ? a.Get("-o") : rtl::ExtractFileName(key);
  if (OutputIsInput("extract", "-o", target, source, err)) return 2;
  TJKContainer container;
  container.Open(source);
  SayDuplicates("extract", container, key, err);
  rtl::TMemoryStream data;
  if (!container.ExtractToStream(data, key)) {
    err << "morvane extract: no entry '" << a.positional[1] << "' in " << source << "\n";
    return 1;
  }
  const bool replacing = rtl::PathKind(target) == rtl::TPathKind::File;
  rtl::WriteFileAtomic(target, std::string(data.Bytes().begin(), data.Bytes().end()));
  out << target << (replacing ? " (replaced)" : "") << "\n";
  return 0;
}

// The files of a folder and who they are now, to tell afterwards which of them a run replaced
// (a replaced file is a new file under the old name).
std::map<std::string, rtl::TFileId> FolderSnapshot(const std::string& folder) {
  std::map<std::string, rtl::TFileId> files;
  for (const std::string& name : rtl::FindFiles(folder, "*")) {
    rtl::TFileId id;
    if (rtl::GetFileId(rtl::JoinPath(folder, name), id)) files[name] = id;
  }
  return files;
}

int ReplacedSince(const std::string& folder, const std::map<std::string, rtl::TFileId>& before) {
  int replaced = 0;
  for (const auto& file : before) {
    rtl::TFileId now;
    if (rtl::GetFileId(rtl::JoinPath(folder, file.first), now) && now != file.second) ++replaced;
  }
  return replaced;
}

int Convert(TArgs& a, std::ostream& out, std::ostream& err) {
  std::string error;
  if (!a.positional.empty())
    error = "unexpected argument '" + a.positional[0] + "'";
  else if (a.Has("--dir") == a.Has("--container"))
    error = "expects exactly one of --dir DIR and --container FILE";
  else if (a.Get("--out").empty())
    error = "expects --out DIR";
  TBatchOptions options;
  if (error.empty() && a.Has("--format")) {
    std::string format = rtl::LowerCase(a.Get("--format"));
    if (format == "jpg" || format == "jpeg")
      options.Format = TBatchFormat::JPEG;
    else if (format != "tga")
      error = "unknown format '" + a.Get("--format") + "' (tga or jpg)";
  }
  if (!error.empty()) {
    err << "morvane convert: " << error << "\n" << ShortUsage(FindCommand("convert"));
    return 2;
  }
  if (a.Has("--dir")) {
    options.Input = TBatchInput::Directory;
    options.Source = a.Get("--dir");
    switch (rtl::PathKind(options.Source)) {
      case rtl::TPathKind::Directory:
        break;
      case rtl::TPathKind::Missing:
        err << "morvane convert: no such directory '" << options.Source << "'\n";
        return 2;
      default:
        err << "morvane convert: '" << options.Source << "' is not a directory\n";
        return 2;
    }
  } else {
    options.Input = TBatchInput::Container;
    options.Source = a.Get("--container");
    if (!CheckInputFile("convert", options.Source, err)) return 2;
  }
  options.OutputDir = a.Get("--out");
  if (a.Has("--palette")) options.Palette = ReadPaletteSource(a.Get("--palette"));

  const std::map<std::string, rtl::TFileId> before = FolderSnapshot(options.OutputDir);
  TProgressBar bar(err, IsTerminal(2) && &err == &std::cerr);
  TBatchCallbacks callbacks;
  callbacks.Status = [&](const std::string& text) {
    bar.Clear();
    std::string line = text.empty() || text[0] != ' ' ? text : text.substr(1);
    // The last text sums the run up; it also counts the images that took the place of files
    // already there, which the run's own count does not tell apart.
    if (line.rfind("Status: Done", 0) == 0) {
      const int replaced = ReplacedSince(options.OutputDir, before);
      if (replaced > 0) line += ", " + std::to_string(replaced) + " replaced";
    }
    out << line << "\n" << std::flush;
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

std::string CliHelp(const std::string& command) {
  const TCommandDef* def = FindCommand(command);
  return def ? CommandHelp(*def) : FullHelp();
}

namespace {

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace

// Output that never arrived (a full disk, a closed pipe) is a failure, whatever the command did.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const int code = RunCommand(args, out, err);
  if (out.flush().fail()) {
    err << "morvane: cannot write to standard output\n";
    return code != 0 ? code : 1;
  }
  return code;
}

namespace {

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 2) {
    err << ShortUsage();
    return 2;
  }
  const std::string& command = args[1];
  if (command == "--help" || command == "-h" || command == "help") {
    // "morvane help COMMAND" as well as "morvane COMMAND --help".
    if (args.size() > 2 && command == "help" && !FindCommand(args[2])) {
      err << "morvane: unknown command '" << args[2] << "'\n" << ShortUsage();
      return 2;
    }
    out << CliHelp(args.size() > 2 ? args[2] : std::string());
    return 0;
  }
  if (command == "--version") {
    out << "morvane " << Version << "\n";
    return 0;
  }
  const TCommandDef* def = FindCommand(command);
  if (!def) {
    err << "morvane: unknown command '" << command << "'\n" << ShortUsage();
    return 2;
  }
  TArgs a;
  std::string error;
  switch (ParseArgs(args, 2, def->Options, a, error)) {
    case TParse::Help:
      out << CommandHelp(*def);
      return 0;
    case TParse::Error:
      err << "morvane " << command << ": " << error << "\n" << ShortUsage(def);
      return 2;
    case TParse::Ok:
      break;
  }
  try {
    return def->Run(a, out, err);
  } catch (const std::exception& e) {
    err << "morvane " << command << ": " << e.what() << "\n";
    return 1;
  }
}

}  // namespace
