// What the preview draws: the front faces of an import's slab brushes with their texture
// coordinates, and the decoded textures of their materials; and how it draws them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "brush/ImportOptions.h"
#include "import/EditorFaces.h"
#include "import/ImportContext.h"
#include "import/LevelTextures.h"
#include "level/P_vec.h"
#include "preview/Camera.h"
#include "preview/Raster.h"

namespace preview {

struct TFace {
  int Brush = -1;                 // index of the brush in the brush level
  std::vector<TVector3> Corners;  // editor units, in the front face's order
  std::vector<float> U, V;        // per corner, in texels; empty when the face has none
  TVector3 Normal;                // the front face's unit normal (zero when degenerate)
  std::string Material;           // the material's name as the level writes it
};

struct TScene {
  std::vector<TFace> Faces;
  // Decoded textures by the material's name in lower case (levels name one material in any
  // letter case).
  std::map<std::string, TMaterialImage> Textures;
  // Faces[FaceOfBrush[i]] is brush i's front face, or -1 when it is not drawn.
  std::vector<int> FaceOfBrush;
};

// The front faces of the import's brushes that have at least three corners, with the texture
// vertices they carry (the game's mapping: the import keeps them with TImportOptions::KeepTexels
// or AlignTextures), and a copy of the decoded textures.
TScene BuildScene(const TImportContext& Context);

// The face's projection as the editor shows it (the texture fit's own computation): its plane
// from the three points it was given, the editor's axis pair for that plane, then rotation,
// scale and shift. Texels of P.
void EditorTexel(const TEditorFace& Face, const TVector3& P, float& S, float& T);

// Replaces the texture coordinates of brush Index's front face with the editor's projection of
// the editor's record of the brush (its last face is the first one added: the front face).
void ApplyEditorProjection(TScene& Scene, int Index, const TEditorBrush& Brush);

// The flat colour of a material whose texture was not found: the same for the same name in any
// letter case, and different hues for different names.
TColour MaterialColour(const std::string& Name);

// The brightness of a face by its normal, lit from above and a little from the south-west;
// faces are lit the same from either side.
float FaceShade(const TVector3& Normal);

struct TRenderOptions {
  int Width = 1024, Height = 768;
  TView View = TView::Iso;
};

extern const TColour Background;

// Draws every face of the scene, textured when its material was decoded and it has texture
// coordinates, else in its material's flat colour, each shaded by its normal.
TImage Render(const TScene& Scene, const TRenderOptions& Options);

}  // namespace preview
