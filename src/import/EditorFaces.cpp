#include "import/EditorFaces.h"

#include "brush/DrawnAdjoins.h"
#include "brush/FrontFaces.h"
#include "import/LevelTextures.h"

namespace {

// The editor's name field holds at most this many characters before its NUL.
constexpr size_t MaxTextureName = 1023;

std::string Cut(const std::string& Name) { return Name.substr(0, MaxTextureName); }

}  // namespace

void EditorBrush(const TBrushLevel& BrushLevel, int Index, const THandOffFaces& HandOff,
                 TEditorBrush& Brush) {
  const T3DMesh* mesh = BrushLevel.Brushes.Items(Index);
  Brush.Number = Index;
  Brush.Faces.clear();
  for (int f = mesh->Surfaces.Count() - 1; f >= 0; --f) {
    const TSurface* surface = mesh->Surfaces.Items(f);
    if (surface->Vertices.Count() < 3) continue;
    Brush.Faces.emplace_back();
    TEditorFace& face = Brush.Faces.back();
    HandOffPoints(*surface, face.P1, face.P2, face.P3);
  }
  const size_t count = Brush.Faces.size();
  // The shell's boxes, after the slabs, are hidden on every face; slabs of a sealed level are
  // detail.
  const bool shellBox = Index >= BrushLevel.Brushes.Count() - BrushLevel.ShellBoxes;
  const bool detail = BrushLevel.DetailSlabs && !shellBox;
  for (size_t j = 0; j < count; ++j) {
    TEditorFace& face = Brush.Faces[j];
    // Every face of a brush carries the same flags: the surface of the face's own number
    // serves, as in the hand-off.
    const TSurface* surface = mesh->Surfaces.Items(static_cast<int>(j));
    if (mesh->Kind == TBrushKind::WaterVolume) {
      // Every face of a water volume is the water's, in the role's shader.
      face.TextureName =
          Cut(MapSafeName(HandOff.TexturePrefix + HandOff.Names.Of(surface->MaterialName) +
                          surface->TextureSuffix));
    } else if (j + 1 == count && !shellBox) {
      const TSurface* front = mesh->Surfaces.Items(0);
      face.TextureName = Cut(MapSafeName(
          HandOff.TexturePrefix + HandOff.Names.Of(surface->MaterialName) + front->TextureSuffix));
      const size_t i = static_cast<size_t>(Index);
      if (i < HandOff.Fits.size() && HandOff.Fits[i].Fitted) {
        const texfit::TClassicProjection& p = HandOff.Fits[i].Projection;
        face.ShiftS = p.ShiftS, face.ShiftT = p.ShiftT, face.Rotate = p.Rotation;
        face.ScaleS = p.ScaleS, face.ScaleT = p.ScaleT;
      }
    } else if (const TSurface* back =
                   DrawnAdjoinBack(*mesh, static_cast<int32_t>(j), static_cast<int32_t>(count))) {
      face.TextureName = Cut(MapSafeName(
          HandOff.TexturePrefix + HandOff.Names.Of(back->MaterialName) + back->TextureSuffix));
    } else {
      face.TextureName =
          Cut(HandOff.NonVisTex.empty() ? HandOff.DefaultTexture : HandOff.NonVisTex);
    }
    face.Flags = surface->Flags;
    // A drawn adjoin or water is detail too: it does not split the level into sectors of
    // visibility.
    if (detail || mesh->Kind != TBrushKind::Slab) face.Contents = DetailContents;
  }
}
