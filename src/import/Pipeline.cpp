#include "import/Pipeline.h"

#include <functional>
#include <new>

#include "brush/FrontFaces.h"
#include "container/O_jkc.h"
#include "import/BrushStages.h"
#include "import/LevelShaders.h"
#include "rtl/Classes.h"
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

// An image format no writer knows would end the run at its first image, after the level was
// read and the texture folder made: it is refused before anything is read or written, with the
// writer's own words.
void CheckImageFormat(const std::string& Format) {
  const std::string ext = rtl::LowerCase(
      rtl::ExtractFileExt(MapSafeName("image." + (Format.empty() ? "jpg" : Format))));
  if (ext == ".jpg" || ext == ".jpeg" || ext == ".tga") return;
  rtl::Exception e("Unsupported file extension: '" + ext + "'");
  e.SetPlace("setting OutputTexFormat=" + Format);
  throw e;
}

using TStatusProc = std::function<void(const char*)>;

// Where the level was read from: exactly one of the two is non-empty.
struct TLevelSource {
  std::string LevelFile, ContainerFile;
};

// Reads the level of a .jkl file, or of the entry the user picks in a .gob or .goo container
// (Result.Entry).
TLevelSource ReadLevel(const TImportRequest& Request, TImportResult& Result,
                       const TStatusProc& Status) {
  const std::string& path = Request.Path;
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(path));
  TJKLevel& level = *Result.Level;
  if (ext == ".jkl") {
    Status("Parsing JKL...");
    level.LoadFromFile(path, Request.Progress);
    return TLevelSource{path, std::string()};
  }
  // The file dialog lets any name be typed in; a file of another kind has no reader, and the
  // editor's users know the answer by these words.
  if (ext != ".gob" && ext != ".goo") throw rtl::Exception("Unknown reason...");
  TJKContainer container;
  // A container that does not exist shows the picker empty, as one without levels does.
  container.Open(path);
  if (Request.PickEntry) Result.Entry = Request.PickEntry(container, "jkl\\");
  if (Result.Entry.empty()) throw rtl::Exception("File selection canceled");
  const TGobEntry* entry = container.Find(Result.Entry);
  if (entry && entry->Length > MaxLevelBytes)
    throw rtl::EFileTooLarge(path + ">>" + Result.Entry, entry->Length, MaxLevelBytes, "a level");
  rtl::TStringList lines;
  Status("Extracting JKL...");
  container.ExtractToStrings(lines, Result.Entry);
  Status("Parsing JKL...");
  level.LoadFromStrings(lines, Request.Progress, path + ">>" + Result.Entry);
  level.SetNameFromFile(Result.Entry);
  return TLevelSource{std::string(), path};
}

// The models a level's things name, and their materials, then the level's textures: the models'
// materials are converted with them. Both look through one index of the level's resources.
void ConvertTextures(const TImportRequest& Request, const TLevelSource& Source,
                     TImportResult& Result, const TConsoleProc& Console,
                     const TStatusProc& Status) {
  TJKLevel& level = *Result.Level;
  TResourceIndex resources(
      Source.LevelFile,
      TResourceIndex::SearchList(Source.ContainerFile, Request.Textures.ResourceGobs));
  if (Request.Options.ImportModels) {
    Status("Finding Models...");
    Result.Models = FindLevelModels(level, resources, Request.Options, Console);
    for (const std::string& material : Result.Models.Materials) level.UsedMaterials.Add(material);
  }
  Result.Names = MakeLevelNames(level, Request.Textures.OutputTexFormat);
  Status("Converting Textures...");
  // The models' sizes in texels come from the texture step.
  TImportOptions textureOptions = Request.Options;
  if (Request.Options.ImportModels) textureOptions.TextureSizes = true;
  Result.TexturesConverted =
      ConvertLevelTextures(TTextureJob{level, Result.Names, resources, Request.Textures,
                                       textureOptions, Request.Progress, Console},
                           &Result.Textures);
}

// The brush level, and whether the numbers it needed were read (the plug-in caches those).
void ConvertSectors(const TImportRequest& Request, TImportResult& Result,
                    const TConsoleProc& Console) {
  TSlabSettings slab = Request.Slab;
  try {
    Result.Conversion = MakeBrushLevel(*Result.Level, *Result.BrushLevel, Request.Progress,
                                       Request.Options, &slab, Console, &Result.GameLights);
  } catch (...) {
    Result.ScaleUsed = slab.Scale.Used, Result.DepthUsed = slab.Depth.Used;
    throw;
  }
  Result.ScaleUsed = slab.Scale.Used, Result.DepthUsed = slab.Depth.Used;
  KeepRoleNamesApart(*Result.BrushLevel, Result.Names, *Result.Level);
}

// Every face as the editor will hold it; returns the policy, whose NonVisTex the models share.
TFacePolicy DecideFaces(const TImportRequest& Request, TImportResult& Result,
                        const TConsoleProc& Console) {
  TFacePolicy faces;
  faces.Names = &Result.Names;
  // A face line carries its texture name as one word.
  faces.NonVisTex = MapSafeName(Request.NonVisTex);
  if (faces.NonVisTex != Request.NonVisTex)
    Console(
        "Texture names cannot hold blanks, quotes or control characters; '_' stands for them "
        "(NonVisTex \"" +
        Request.NonVisTex + "\" becomes \"" + faces.NonVisTex + "\")");
  faces.DefaultTexture = Request.EditorTexture;
  if (Request.Options.AlignTextures) faces.Fits = FitFrontFaces(*Result.BrushLevel);
  if (Request.Options.KeepFaces) Result.Faces = EditorBrushes(*Result.BrushLevel, faces);
  return faces;
}

void ConvertModels(const TImportRequest& Request, const std::string& NonVisTex,
                   TImportResult& Result, const TConsoleProc& Console) {
  const bool write = Request.Options.WriteTextures && !Request.Textures.InstallPath.empty();
  PoseLevelModels(Result.Models, *Result.Level, Result.Conversion.Scale, Result.Textures,
                  Result.Names, NonVisTex, Request.Textures.InstallPath, write, Console);
  Console(rtl::Format(
      "%d things placed as models (%d that move in the game at rest, without "
      "the clip), %d triangles",
      Result.Models.Placed(), Result.Models.Moving(), static_cast<int>(Result.Models.Triangles())));
}

// The steps; an error raised here ends the run.
void Run(const TImportRequest& Request, TImportResult& Result, const TConsoleProc& Console) {
  const TStatusProc status = [&Request](const char* Text) {
    if (Request.Status) Request.Status(Text);
  };
  CheckImageFormat(Request.Textures.OutputTexFormat);
  const TLevelSource source = ReadLevel(Request, Result, status);
  ConvertTextures(Request, source, Result, Console, status);

  status("Converting Sectors to Brushes...");
  ConvertSectors(Request, Result, Console);
  const TFacePolicy faces = DecideFaces(Request, Result, Console);
  // A host that writes the faces brush by brush decides them with the same policy; it points
  // at the result's names itself, as the result may move.
  Result.FacePolicy = faces;
  Result.FacePolicy.Names = nullptr;
  if (Request.Options.ImportModels) {
    status("Converting Models...");
    ConvertModels(Request, faces.NonVisTex, Result, Console);
  }

  // Beside the textures, and only where they are written; the last step, so that a run that
  // fails leaves the shared shaders folder as it was. Water volumes are liquid only through
  // their shader: --water writes the script too.
  if ((Request.Options.Shaders || Request.Options.WaterVolumes) && Request.Options.WriteTextures)
    WriteLevelShaders(*Result.BrushLevel, Result.Names, Request.Textures, Console);

  const TJKLevel& level = *Result.Level;
  Result.Summary.push_back(rtl::Format(
      "%s imported succesfully",
      rtl::ExtractFileName(Result.Entry.empty() ? Request.Path : Result.Entry).c_str()));
  Result.Summary.push_back(rtl::Format("%d sectors converted to %d brushes, %d textures converted",
                                       level.Sectors.Count(), Result.BrushLevel->Brushes.Count(),
                                       Result.TexturesConverted));
  Result.Status = TImportStatus::Succeeded;
}

}  // namespace

TImportResult RunImport(const TImportRequest& Request) {
  TImportResult result;
  result.Level = std::make_unique<TJKLevel>();
  result.BrushLevel = std::make_unique<TBrushLevel>();
  const TConsoleProc console = [&](const std::string& Text) {
    result.Console.push_back(Text);
    if (Request.Console) Request.Console(Text);
  };
  try {
    Run(Request, result, console);
  } catch (const std::bad_alloc&) {
    result.Message = "Out of memory";
  } catch (const std::exception& e) {
    result.Message = e.what();
  } catch (...) {
    result.Message = "Unknown error";
  }
  if (!result.Succeeded()) result.Summary.clear();
  return result;
}
