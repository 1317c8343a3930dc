#include "cli/Preview.h"

#include <cmath>
#include <memory>
#include <ostream>

#include "brush/O_brush.h"
#include "cli/MapEntities.h"
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
    "                       [--size WxH] [--uv game|editor] [--align] [--clean]\n"
    "                       [--view iso|top|player] [--camera X,Y,Z,YAW,PITCH] [--both-sides]\n"
    "                       [--light game|flat]\n";
const char* const PreviewDetails =
    "preview runs the import's reading and conversion (the same console lines; no .map and no\n"
    "        images written) and draws the front faces of the slabs into a PNG picture, with\n"
    "        their textures decoded in memory; a material whose texture was not found is drawn\n"
    "        in a flat colour of its own. --entry,\n"
    "        --settings and --game-dir as for import.\n"
    "  -o FILE.png          the picture (default: <level>.png in the current folder).\n"
    "  --size WxH           its size in pixels, 1 to 8192 each way (default: 1024x768).\n"
    "  --uv game|editor     game (default): each face mapped with the level's texture vertices;\n"
    "                       editor: with the projection the editor will show (the brush faces'\n"
    "                       shift, rotation and scale).\n"
    "  --align, --clean     turn the AlignTextures or CleanSlabs setting on for this run.\n"
    "  --view iso|top|player\n"
    "                       iso (default): from the south-west corner, 35 degrees down; top:\n"
    "                       straight down (both fit the whole level into the picture); player:\n"
    "                       in perspective, 90 degrees across, from the first player start at a\n"
    "                       standing player's eye, looking the way it faces.\n"
    "  --camera X,Y,Z,YAW,PITCH\n"
    "                       in perspective from that point (editor units) and direction (the\n"
    "                       yaw and pitch of the .map's \"angles\": yaw 0 along +X, pitch down).\n"
    "  --both-sides         draw faces from behind too; by default a face shows only from the\n"
    "                       side that looks into its sector, so the view sees into the level.\n"
    "  --light game|flat    game (default when the palette has light tables): each corner's\n"
    "                       light from the level, texels shaded through the palette's light\n"
    "                       tables; flat (else the default): faces shaded by their direction.\n";

namespace {

struct TPreviewArgs {
  std::string path, entry, settings, gameDir, output;
  bool entryGiven = false, gameDirGiven = false;
  int width = 1024, height = 768;
  bool editorUV = false, align = false, clean = false, bothSides = false, player = false;
  preview::TView view = preview::TView::Iso;
  preview::TEye eye;
  preview::TLightMode light = preview::TLightMode::Auto;
};

// "X,Y,Z,YAW,PITCH": five finite numbers.
bool ParseCamera(const std::string& text, preview::TEye& eye) {
  float values[5];
  size_t start = 0;
  for (int i = 0; i < 5; ++i) {
    const size_t comma = text.find(',', start);
    if ((comma == std::string::npos) != (i == 4)) return false;
    const std::string word = text.substr(start, comma == std::string::npos ? comma : comma - start);
    double value = 0;
    if (!rtl::TryStrToFloat(word, value) || !(std::fabs(value) < 1e30)) return false;
    values[i] = static_cast<float>(value);
    start = comma + 1;
  }
  eye.Position = TVector3{values[0], values[1], values[2]};
  eye.Yaw = values[3];
  eye.Pitch = values[4];
  return true;
}

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
    if (view != "iso" && view != "top" && view != "player")
      return "bad --view '" + view + "': expected iso, top or player";
    a.view = view == "top" ? preview::TView::Top : preview::TView::Iso;
    a.player = view == "player";
  }
  if (has("--camera")) {
    if (a.player) return "--camera and --view player name two points of view: give one";
    if (has("--view")) return "--camera and --view name two points of view: give one";
    if (!ParseCamera(get("--camera"), a.eye))
      return "bad --camera '" + get("--camera") +
             "': expected X,Y,Z,YAW,PITCH, five numbers (such as 0,-200,48,90,0)";
    a.view = preview::TView::Eye;
  }
  if (has("--light")) {
    const std::string light = get("--light");
    if (light != "game" && light != "flat")
      return "bad --light '" + light + "': expected game or flat";
    a.light = light == "game" ? preview::TLightMode::Game : preview::TLightMode::Flat;
  }
  a.bothSides = has("--both-sides");
  a.align = has("--align");
  a.clean = has("--clean");
  return std::string();
}

// A standing player's eye above the first player start, looking the way it faces: the actor
// templates of the game's levels put the eye 0.037 level units above a thing's position.
constexpr double EyeHeight = 0.037;

bool PlayerEye(const TBrushLevel& level, double scale, preview::TEye& eye) {
  for (int i = 0; i < level.Entities.Count(); ++i) {
    if (level.Entities.Strings(i) != "info_player_deathmatch") continue;
    const TEntityRec& thing = *level.Entities.Objects(i);
    const TEditorAngles angles = EditorAngles(thing.Pitch, thing.Yaw, thing.Roll);
    eye.Position = thing.Origin;
    eye.Position.Z = static_cast<float>(thing.Origin.Z + EyeHeight * scale);
    eye.Yaw = angles.Yaw;
    eye.Pitch = angles.Pitch;
    return true;
  }
  return false;
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
    options.KeepTexels = true;  // the front faces carry the level's texture vertices
    if (a.align) options.AlignTextures = true;
    if (a.clean) options.CleanSlabs = true;
  };
  std::unique_ptr<preview::TScene> scene;
  bool hasPlayer = false;
  platform.onConverted = [&](const TImportContext& context) {
    const double scale = GetScale();
    scene = std::make_unique<preview::TScene>(preview::BuildScene(context, scale));
    if (a.player) hasPlayer = PlayerEye(context.BrushLevel, scale, a.eye);
  };

  // The editor's projection of each front face, as the host receives it brush by brush.
  recording_host::TRecordingHost host;
  int committed = 0;
  host.OnCommit = [&](const recording_host::TRecordedBrush& brush) {
    if (a.editorUV && scene) preview::ApplyEditorProjection(*scene, committed, brush);
    ++committed;
  };
  g_console = &out;
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

  if (a.player && !hasPlayer) {
    err << "morvane preview: the level has no player start (walkplayer thing) for --view player\n";
    return 1;
  }
  std::string output = a.output;
  if (output.empty())
    output =
        rtl::ChangeFileExt(rtl::ExtractFileName(chosen.empty() ? a.path : chosen), "") + ".png";
  preview::TRenderOptions options;
  options.Width = a.width;
  options.Height = a.height;
  options.View = a.player ? preview::TView::Eye : a.view;
  options.Eye = a.eye;
  options.BothSides = a.bothSides;
  options.Light = a.light;
  preview::TRenderReport report;
  try {
    preview::WritePng(output, preview::Render(*scene, options, &report));
  } catch (const std::exception& e) {
    err << "morvane preview: " << e.what() << "\n";
    return 1;
  }
  if (report.Left > 0)
    err << "morvane preview: " << report.Left
        << " faces left out, the farthest: the faces overlap too much to draw them all in time\n";
  err << "morvane preview: drew " << scene->Faces.size() - report.Left << " faces into " << output << " ("
      << a.width << "x" << a.height << ")\n";
  return 0;
}
