// What the preview draws: the front faces of an import's slab brushes with their texture
// coordinates, and the decoded textures of their materials; and how it draws them.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "import/EditorFaces.h"
#include "import/ImportContext.h"
#include "import/ImportOptions.h"
#include "import/LevelModels.h"
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
  // The game's light at each corner, 0 to 1 (empty: full light), and the surface's flags.
  std::vector<float> Light;
  bool DoubleSided = false, Translucent = false;
};

struct TScene {
  std::vector<TFace> Faces;
  // Decoded textures by the material's name in lower case (levels name one material in any
  // letter case): colours made by hand, or the key of the texture step's decoded source.
  std::map<std::string, TMaterialImage> Textures;
  std::map<std::string, std::string> SourceOf;
  std::map<std::string, TSourcePixels> Sources;
  TPaletteRGB Palette = DefaultPalette;  // of the sources' palette indices
  TColorTables Tables;                   // that palette's light and transparency tables
  // Faces[FaceOfBrush[i]] is brush i's front face, or -1 when it is not drawn.
  std::vector<int> FaceOfBrush;
};

// The front faces of the import's brushes that have at least three corners, with the texture
// vertices they carry (the game's mapping: the import keeps them with TImportOptions::KeepTexels
// or AlignTextures), the light of their corners (Scale: editor units per level unit, to find
// each corner's source) and a copy of the decoded textures, once per source.
TScene BuildScene(const TImportContext& Context, double Scale = 256);

// Adds the triangles of every thing placed with a model (not those in no sector), where the game
// shows them: each model turned as the thing is and moved to its origin, its texture coordinates
// in texels of its materials' images (64 x 64 when unknown), at full light.
void AddModelFaces(TScene& Scene, const TImportContext& Context, const TLevelModels& Models);

// A corner's light as the game computes it: its intensity plus the surface's and the sector's
// extra light, within 0 to 1; full light for a surface whose light mode is 0 ("fully lit").
float CornerLight(int LightMode, float Intensity, float SurfaceExtra, float SectorExtra);

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

enum class TLightMode {
  Auto,  // Game when the scene's palette has light tables, else Flat
  Game,  // each corner's light; texels through the light tables when there are some
  Flat,  // each face shaded by its normal
};

struct TRenderOptions {
  int Width = 1024, Height = 768;
  TView View = TView::Iso;
  TEye Eye;                // for TView::Eye
  bool BothSides = false;  // draw faces from behind too (else only double-sided ones)
  TLightMode Light = TLightMode::Auto;
  // Texels kept for all textures together; beyond it, textures keep coarser levels only.
  size_t TexelBudget = size_t(16) << 20;
  // The drawing work (Raster::Work) after which no more faces are drawn, at least 8 per pixel:
  // about a second on this machine's cores, whatever the faces.
  uint64_t WorkBudget = uint64_t(256) << 20;
};

// What a Render left out.
struct TRenderReport {
  size_t Drawn = 0;       // faces drawn
  size_t Duplicates = 0;  // opaque faces exactly like one before them, which could not show
  size_t Left = 0;        // faces not drawn once the work budget was spent
  // Of those, the translucent ones: drawn last and farthest first, so the nearest of them.
  size_t LeftTranslucent = 0;
};

// What a spent work budget left out, in words (the opaque faces left out are the farthest, the
// translucent ones the nearest); empty when nothing was.
std::string LeftOutText(const TRenderReport& Report);

extern const TColour Background;

// Draws the faces of the scene that face the camera (all with BothSides), textured when its
// material was decoded and it has texture coordinates, else in its material's flat colour,
// lit as Options.Light says; translucent faces last, blended over what lies behind them. Each
// texture keeps only the levels the picture samples. Opaque faces are drawn nearest first, so
// that what a spent work budget leaves out lies behind what was drawn.
TImage Render(const TScene& Scene, const TRenderOptions& Options, TRenderReport* Report = nullptr);

}  // namespace preview
