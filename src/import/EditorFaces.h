// The faces the editor receives for the brushes of an import, as it holds them once the plug-in
// has set them: each face with the three points it was added with, and its texture and texture
// projection. A host without an editor (the .map writer, the preview) takes them from here; the
// plug-in hands the same faces to the editor through its function table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brush/O_brush.h"
#include "brush/TexFit.h"
#include "import/ImageNames.h"

struct TEditorFace {
  // The three points exactly as AddFace receives them.
  float P1[3], P2[3], P3[3];
  // The face's settings as the editor keeps them after SetFaceData.
  std::string TextureName;
  int32_t Contents = 0;
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

// What the plug-in sets on the faces of a brush level beyond what the editor makes of them.
struct THandOffFaces {
  std::string TexturePrefix;  // the level's folder name (LevelFolderName) followed by "/"
  TImageNames Names;          // each material's image name, as the front faces carry it
  std::string NonVisTex;      // the texture of the faces other than the front face; empty: none
  // The editor's own texture of a new face, which faces keep that the plug-in leaves alone.
  std::string DefaultTexture = "system/caulk";
  // One per brush when the front faces' projections were fitted; empty: the editor's default.
  std::vector<texfit::TClassicFit> Fits;
};

// Brush Index of BrushLevel as the editor holds it after the hand-off, into Brush (its faces'
// room reused): one face per surface of three corners or more, numbered backwards; the last
// gets the level's texture name (cut to the editor's 1023 characters) and the fitted
// projection, the others NonVisTex (or DefaultTexture); every face the flags of the surface of
// its number.
void EditorBrush(const TBrushLevel& BrushLevel, int Index, const THandOffFaces& HandOff,
                 TEditorBrush& Brush);
