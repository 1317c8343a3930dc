// morvane preview: the import's reading and conversion, then a picture of the slabs' front faces
// instead of a .map file. Built natively only: the Windows build of morvane has no libpng.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <ostream>

#include "brush/O_brush.h"
#include "cli/Args.h"
#include "cli/Commands.h"
#include "cli/HeadlessImport.h"
#include "cli/ImportFlags.h"
#include "cli/Inputs.h"
#include "cli/PlayerView.h"
#include "import/MapEntities.h"
#include "preview/Png.h"
#include "preview/Scene.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

// Whether path reaches the file, pipe or terminal that standard output is (-o /dev/stdout).
bool IsStandardOutput(const std::string& path) {
  struct stat st;
  rtl::TFileId id;
  return ::fstat(STDOUT_FILENO, &st) == 0 && rtl::GetFileId(path, id) &&
         id.Volume == static_cast<uint64_t>(st.st_dev) &&
         id.Node == static_cast<uint64_t>(st.st_ino);
}

// The import's look flags come from the option table, as import's help does.
std::string PreviewSynopsis() {
  std::vector<std::string> words = {"[--entry KEY]",
                                    "[--settings FILE]",
                                    "[--game-dir DIR]",
                                    "[-o FILE.png]",
                                    "[--size WxH]",
                                    "[--uv game|editor]",
                                    "[--view iso|top|player]",
                                    "[--camera X,Y,Z,YAW,PITCH]",
                                    "[--both-sides]",
                                    "[--light game|flat]"};
  for (const std::string& flag : ImportFlagWords(true)) words.push_back(flag);
  return WrapWords(words, "  morvane preview PATH", std::string(23, ' '), 98);
}

const char* const PreviewDetails =
    "preview runs the import's reading and conversion (the same console lines; no .map and no\n"
    "        images written) and draws the front faces of the slabs into a PNG picture, with\n"
    "        their textures decoded in memory; a material whose texture was not found is drawn\n"
    "        in a flat colour of its own. --entry,\n"
    "        --settings and --game-dir as for import.\n"
    "  -o FILE.png          the picture (default: <level>.png in the current folder).\n"
    "  --size WxH           its size in pixels, 1 to 8192 each way and 16777216 (4096x4096) in\n"
    "                       all (default: 1024x768).\n"
    "  --uv game|editor     game (default): each face mapped with the level's texture vertices;\n"
    "                       editor: with the projection the editor will show (the brush faces'\n"
    "                       shift, rotation and scale).\n"
    "  --align, --seal, ... the import flags that change what the level looks like, as for\n"
    "                       import: the level as that import makes it (nothing written).\n"
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
    "                       tables; flat (else the default): faces shaded by their direction.\n"
    "  --models             draw the things the game shows with a 3DO model too (as import\n"
    "                       --models finds them; the setting ImportModels=1 for this run).\n"
    "  --play               mark the things that play (movers, pickups, actors) with a glyph\n"
    "                       (the setting PlayLevel=1 for this run).\n";

struct TPreviewArgs {
  std::string path, entry, gameDir, output;
  bool entryGiven = false, gameDirGiven = false;
  int width = 1024, height = 768;
  bool editorUV = false, bothSides = false, player = false;
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

// At most 4096 x 4096 pixels: a picture costs some 9 bytes a pixel (colour, depth, palette
// index), and 8192 x 8192 took 600 MB.
constexpr int64_t MaxPixels = int64_t{1} << 24;

// "WxH" with W and H whole numbers from 1 to 8192, W x H at most MaxPixels.
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
  return number(text.substr(0, x), width) && number(text.substr(x + 1), height) &&
         int64_t{width} * height <= MaxPixels;
}

// Empty on success, else what was wrong with the values given.
std::string ReadPreviewArgs(const TArgs& call, TPreviewArgs& a) {
  if (call.positional.size() != 1) return "expects exactly one PATH";
  a.path = call.positional[0];
  auto has = [&](const char* name) { return call.Has(name); };
  auto get = [&](const char* name) { return call.Get(name); };
  a.entryGiven = has("--entry");
  if (a.entryGiven) a.entry = get("--entry");
  a.gameDirGiven = has("--game-dir");
  if (a.gameDirGiven) a.gameDir = get("--game-dir");
  if (has("-o")) {
    a.output = get("-o");
    if (a.output.empty()) return "option '-o' needs a file name";
  }
  if (has("--size") && !ParseSize(get("--size"), a.width, a.height))
    return "bad size '" + get("--size") +
           "': expected WxH, each from 1 to 8192, 16777216 pixels at most (such as 1024x768)";
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
  return std::string();
}

}  // namespace

// The actor templates of the game's levels put the eye 0.037 level units above a thing's
// position.
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

namespace {

int Preview(TArgs& Call, std::ostream& out, std::ostream& err) {
  TPreviewArgs a;
  const std::string error = ReadPreviewArgs(Call, a);
  if (!error.empty()) {
    err << "morvane preview: " << error << "\n" << ShortUsage(PreviewCommand());
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
  if (!a.output.empty() && OutputIsInput("preview", "-o", a.output, a.path, err)) return 2;

  THeadlessImport run;
  run.Command = "preview";
  run.Path = a.path;
  run.SettingsPath = CommandSettingsPath(Call.Has("--settings"), Call.Get("--settings"));
  // Nothing is written under the install folder; it is still the import's to know.
  run.InstallPath = a.gameDirGiven ? a.gameDir : ".";
  run.EntryGiven = a.entryGiven;
  run.Entry = a.entry;
  run.Adjust = [&Call](TImportOptions& options) {
    options.WriteTextures = false;
    options.TexturePixels = true;
    options.KeepTexels = true;  // the front faces carry the level's texture vertices
    ApplyImportFlags(Call, true, options);
  };
  // A picture sent to standard output has it to itself: the console lines go to standard error.
  TImportTerminal terminal(!a.output.empty() && IsStandardOutput(a.output) ? err : out, err, false);
  TImportOptions used;
  const TImportResult result = RunHeadlessImport(run, terminal, err, used);
  if (!result.Succeeded()) {
    err << "morvane preview: the import failed; no picture written\n";
    return 1;
  }
  // The Scale the conversion ran with: a fitted one too.
  const double scale = result.Conversion.Scale;
  preview::TScene scene =
      preview::BuildScene(TImportContext{*result.Level, *result.BrushLevel, result.Textures, used,
                                         result.Names.FacePrefix},
                          scale);
  if (used.ImportModels)
    preview::AddModelFaces(scene,
                           TImportContext{*result.Level, *result.BrushLevel, result.Textures, used,
                                          result.Names.FacePrefix},
                           result.Models);
  if (used.PlayLevel)
    preview::AddThingMarks(scene,
                           TImportContext{*result.Level, *result.BrushLevel, result.Textures, used,
                                          result.Names.FacePrefix},
                           result.Things);
  // The editor's projection of each front face, as the editor holds the brush.
  if (a.editorUV)
    for (size_t i = 0; i < result.Faces.size(); ++i)
      preview::ApplyEditorProjection(scene, static_cast<int>(i), result.Faces[i]);

  if (a.player && !PlayerEye(*result.BrushLevel, scale, a.eye)) {
    err << "morvane preview: the level has no player start (walkplayer thing) for --view player\n";
    return 1;
  }
  // A start beyond every float once scaled would give a picture of nothing.
  if (a.player && !(std::isfinite(a.eye.Position.X) && std::isfinite(a.eye.Position.Y) &&
                    std::isfinite(a.eye.Position.Z) && std::isfinite(a.eye.Yaw) &&
                    std::isfinite(a.eye.Pitch))) {
    err << "morvane preview: the level's player start lies at no finite point at Scale "
        << rtl::FloatToStr(scale) << "; no picture written\n";
    return 1;
  }
  std::string output = a.output;
  if (output.empty())
    output =
        rtl::ChangeFileExt(rtl::ExtractFileName(result.Entry.empty() ? a.path : result.Entry), "") +
        ".png";
  preview::TRenderOptions options;
  options.Width = a.width;
  options.Height = a.height;
  options.View = a.player ? preview::TView::Eye : a.view;
  options.Eye = a.eye;
  options.BothSides = a.bothSides;
  options.Light = a.light;
  preview::TRenderReport report;
  try {
    preview::WritePng(output, preview::Render(scene, options, &report));
  } catch (const std::exception& e) {
    err << "morvane preview: " << e.what() << "\n";
    return 1;
  }
  if (report.Left > 0) err << "morvane preview: " << preview::LeftOutText(report) << "\n";
  err << "morvane preview: drew " << scene.Faces.size() - report.Left << " faces into " << output
      << " (" << a.width << "x" << a.height << ")\n";
  return 0;
}

}  // namespace

const TCommandDef& PreviewCommand() {
  static const std::string synopsis = PreviewSynopsis();
  static const TCommandDef command = [] {
    TCommandDef def{"preview",
                    synopsis.c_str(),
                    PreviewDetails,
                    {{"--entry", true},
                     {"--settings", true},
                     {"--game-dir", true},
                     {"-o", true},
                     {"--size", true},
                     {"--uv", true},
                     {"--view", true},
                     {"--camera", true},
                     {"--light", true},
                     {"--both-sides", false}},
                    Preview};
    for (const TOptionDef& flag : ImportFlagDefs(true)) def.Options.push_back(flag);
    return def;
  }();
  return command;
}
