// The import as one call: from a request that carries every setting, already resolved by the
// host, to a result that carries the level, its brushes, the faces the editor receives, the
// texture outcomes and every console line, with success or failure as a value. The steps never
// read settings or the editor's globals; both hosts (the plug-in and morvane) build a request,
// call RunImport and deliver the result their own way.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brush/BrushConvert.h"
#include "brush/O_brush.h"
#include "import/EditorFaces.h"
#include "import/ImportOptions.h"
#include "import/LevelModels.h"
#include "import/LevelNames.h"
#include "import/LevelTextures.h"
#include "level/O_jkl.h"
#include "level/Progress.h"
#include "light/LightFit.h"

class TJKContainer;

struct TImportRequest {
  std::string Path;  // a .jkl level or a .gob/.goo container (any letter case)
  // The level of a container: one of its keys under Folder ("jkl\\"), or empty (canceled).
  std::function<std::string(const TJKContainer& Container, const std::string& Folder)> PickEntry;

  TSlabSettings Slab;         // Scale and BrushDepth, with a console note when defaulted
  TTextureSettings Textures;  // install folder, palette, output format, search list
  std::string NonVisTex;      // the texture of the slabs' back and side faces; empty: the editor's
  TImportOptions Options;     // the on/off settings and a host's requests
  // The editor's own texture of a new face, named on the faces the import leaves alone.
  std::string EditorTexture = "system/caulk";

  // Where the run shows itself while it works: each console line as it is said (also kept in
  // the result), the step text and the progress of the step. Each may be empty.
  TConsoleProc Console;
  std::function<void(const std::string& Text)> Status;
  TProgressProc Progress = nullptr;
};

enum class TImportStatus { Succeeded, Failed };

struct TImportResult {
  TImportStatus Status = TImportStatus::Failed;
  // On failure, the reason as the editor's console says it after "Failed: ".
  std::string Message;

  std::string Entry;  // the container's level that was read; empty for a .jkl file
  // The level and its brushes, as far as the run got (also after a failure).
  std::unique_ptr<TJKLevel> Level;
  std::unique_ptr<TBrushLevel> BrushLevel;
  TLevelTextures Textures;  // what the texture step learned (as far as the options ask)
  TLevelModels Models;      // with ImportModels: the things' models, posed and written
  int TexturesConverted = 0;
  // The level's folder, face and image names, as the textures, the shader script and the faces
  // took them.
  TLevelNames Names;
  // What the conversion ran with (the Scale, also a fitted one) and what it made.
  TConversion Conversion;
  // With GameLights (and entities written): the lights that stand for the level's in a light
  // compile, and the worldspawn's keys for it.
  std::unique_ptr<TLightFit> GameLights;
  // Which of Scale and BrushDepth the conversion needed (the plug-in keeps those); also after a
  // failure.
  bool ScaleUsed = false, DepthUsed = false;
  // Every brush as the editor holds it after the hand-off, in order: the faces the plug-in hands
  // over and the .map and the preview show.
  std::vector<TEditorBrush> Faces;
  // What the faces are made with (without the names, which are Names above): with KeepFaces off,
  // Faces stays empty and EditorBrush makes each brush's faces from it.
  TFacePolicy FacePolicy;

  // Every console line of the run in order, without the host's prefix.
  std::vector<std::string> Console;
  // The lines that close a successful import, said once the brushes are delivered.
  std::vector<std::string> Summary;

  bool Succeeded() const { return Status == TImportStatus::Succeeded; }
  int BrushCount() const { return BrushLevel ? BrushLevel->Brushes.Count() : 0; }
};

// Reads the level (from the file, or the entry the request picks from the container), converts
// its textures, converts its sectors to brushes, fits the front faces when asked and decides
// every face. Never raises: an error ends the run with Failed and the error's text.
TImportResult RunImport(const TImportRequest& Request);
