#include "import/Pipeline.h"

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

// The steps; an error raised here ends the run.
void Run(const TImportRequest& Request, TImportResult& Result, const TConsoleProc& Console) {
  auto status = [&Request](const char* Text) {
    if (Request.Status) Request.Status(Text);
  };
  const std::string& path = Request.Path;
  const std::string ext = rtl::LowerCase(rtl::ExtractFileExt(path));
  TJKLevel& level = *Result.Level;
  CheckImageFormat(Request.Textures.OutputTexFormat);
  // The models' sizes in texels come from the texture step.
  TImportOptions textureOptions = Request.Options;
  if (Request.Options.ImportModels) textureOptions.TextureSizes = true;
  // The models a level's things name, and their materials, before its textures are converted:
  // the models' materials are converted with them.
  auto findModels = [&](const std::string& LevelFile, const std::string& ContainerFile) {
    if (!Request.Options.ImportModels) return;
    status("Finding Models...");
    Result.Models = FindLevelModels(level, LevelFile, ContainerFile, Request.Textures,
                                    Request.Options, Console);
    for (const std::string& material : Result.Models.Materials) level.UsedMaterials.Add(material);
  };
  if (ext == ".jkl") {
    status("Parsing JKL...");
    level.LoadFromFile(path, Request.Progress);
    findModels(path, std::string());
    Result.Names = MakeLevelNames(level, Request.Textures.OutputTexFormat);
    status("Converting Textures...");
    Result.TexturesConverted =
        ConvertLevelTextures(level, Result.Names, path, std::string(), Request.Progress,
                             Request.Textures, Console, textureOptions, &Result.Textures);
  } else if (ext == ".gob" || ext == ".goo") {
    TJKContainer container;
    if (container.Open(path) && Request.PickEntry)
      Result.Entry = Request.PickEntry(container, "jkl\\");
    if (Result.Entry.empty()) throw rtl::Exception("File selection canceled");
    const TGobEntry* entry = container.Find(Result.Entry);
    if (entry && entry->Length > MaxLevelBytes)
      throw rtl::EFileTooLarge(path + ">>" + Result.Entry, entry->Length, MaxLevelBytes, "a level");
    rtl::TStringList lines;
    status("Extracting JKL...");
    container.ExtractToStrings(lines, Result.Entry);
    status("Parsing JKL...");
    level.LoadFromStrings(lines, Request.Progress, path + ">>" + Result.Entry);
    level.SetNameFromFile(Result.Entry);
    findModels(std::string(), path);
    Result.Names = MakeLevelNames(level, Request.Textures.OutputTexFormat);
    status("Converting Textures...");
    Result.TexturesConverted =
        ConvertLevelTextures(level, Result.Names, std::string(), path, Request.Progress,
                             Request.Textures, Console, textureOptions, &Result.Textures);
  } else {
    throw rtl::Exception("Unknown reason...");
  }

  status("Converting Sectors to Brushes...");
  TSlabSettings slab = Request.Slab;
  try {
    Result.Conversion = MakeBrushLevel(level, *Result.BrushLevel, Request.Progress, Request.Options,
                                       &slab, Console, &Result.GameLights);
  } catch (...) {
    Result.ScaleUsed = slab.Scale.Used, Result.DepthUsed = slab.Depth.Used;
    throw;
  }
  Result.ScaleUsed = slab.Scale.Used, Result.DepthUsed = slab.Depth.Used;
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
  Result.Faces = EditorBrushes(*Result.BrushLevel, faces);
  if (Request.Options.ImportModels) {
    status("Converting Models...");
    const bool write = Request.Options.WriteTextures && !Request.Textures.InstallPath.empty();
    PoseLevelModels(Result.Models, level, Result.Conversion.Scale, Result.Textures, Result.Names,
                    faces.NonVisTex, Request.Textures.InstallPath, write, Console);
    Console(
        rtl::Format("%d things placed as models (%d that move in the game at rest, without "
                    "the clip), %d triangles",
                    Result.Models.Placed(), Result.Models.Moving(),
                    static_cast<int>(Result.Models.Triangles())));
  }

  // Beside the textures, and only where they are written; the last step, so that a run that
  // fails leaves the shared shaders folder as it was. Water volumes are liquid only through
  // their shader: --water writes the script too.
  if ((Request.Options.Shaders || Request.Options.WaterVolumes) && Request.Options.WriteTextures)
    WriteLevelShaders(*Result.BrushLevel, Result.Names, Request.Textures, Console);

  Result.Summary.push_back(
      rtl::Format("%s imported succesfully",
                  rtl::ExtractFileName(Result.Entry.empty() ? path : Result.Entry).c_str()));
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
