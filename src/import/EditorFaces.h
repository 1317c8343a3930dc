// The one place that decides every face of an import: the faces the editor holds once the
// plug-in has handed a brush over, each with the three points it was added with, its texture,
// contents, flags and texture projection. The plug-in copies them into the editor's table; the
// .map writer and the preview read them as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "align/TexFit.h"
#include "brush/O_brush.h"
#include "import/LevelNames.h"

struct TEditorFace {
  // The three points exactly as AddFace receives them.
  float P1[3], P2[3], P3[3];
  // The face's settings as the editor keeps them after SetFaceData.
  std::string TextureName;
  // The editor's own texture of a new face stays (TextureName names it): the plug-in sets none.
  bool EditorTexture = false;
  // The projection was fitted to the level's texels; otherwise it is the editor's own default.
  bool Fitted = false;
  int32_t Contents = 0;  // 0: the editor's own; DetailContents on a detail brush
  int32_t Flags = 0;
  int32_t Value = 0;
  float ShiftS = 0, ShiftT = 0, Rotate = 0;
  float ScaleS = 0.5f, ScaleT = 0.5f;
};

struct TEditorBrush {
  int Number = 0;  // the brush's place in the brush level (and in the order of NewBrush)
  // In the editor's numbering: face 0 is the face added last, so the front face comes last.
  std::vector<TEditorFace> Faces;
};

// What the faces' textures are chosen from besides the brushes themselves.
struct TFacePolicy {
  const TLevelNames* Names = nullptr;  // the level's names; none: no folder, the material's own
  std::string NonVisTex;  // the texture of the faces other than the front face; empty: none
  // The editor's own texture of a new face, which faces keep that the plug-in leaves alone.
  std::string DefaultTexture = "system/caulk";
  // One per brush when the front faces' projections were fitted; empty: the editor's default.
  std::vector<texfit::TClassicFit> Fits;
};

// The editor's longest texture name: its name field holds this many characters before its NUL.
constexpr size_t MaxEditorTextureName = 1023;

// Brush Index of BrushLevel as the editor holds it after the hand-off, into Brush (its faces'
// room reused): one face per surface of three corners or more, numbered backwards; the front
// face gets the level's texture name (cut to the editor's 1023 characters) and the fitted
// projection, the back face of a drawn adjoin the other side's material, the others NonVisTex
// (or DefaultTexture); every face the flags of the surface of its number, and the detail
// contents on a detail brush.
void EditorBrush(const TBrushLevel& BrushLevel, int Index, const TFacePolicy& Policy,
                 TEditorBrush& Brush);

// Every brush of BrushLevel, in order, as EditorBrush makes it.
std::vector<TEditorBrush> EditorBrushes(const TBrushLevel& BrushLevel, const TFacePolicy& Policy);
