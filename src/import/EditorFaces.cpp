#include "import/EditorFaces.h"

#include "brush/DrawnAdjoins.h"
#include "brush/FrontFaces.h"

namespace {

std::string Cut(const std::string& Name) { return Name.substr(0, MaxEditorTextureName); }

std::string FaceName(const TFacePolicy& Policy, const std::string& Material) {
  static const TLevelNames none;
  return (Policy.Names ? *Policy.Names : none).FaceName(Material);
}

}  // namespace

void EditorBrush(const TBrushLevel& BrushLevel, int Index, const TFacePolicy& Policy,
                 TEditorBrush& Brush) {
  const T3DMesh* mesh = BrushLevel.Brushes.Items(Index);
  const TBrushRecord& record = mesh->Brush;
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
  const bool shellBox = record.Kind == TBrushKind::ShellBox;
  // The other side's material, on the back face when every face was handed over: the editor's
  // face count - 2 is then the brush's back face.
  const TSurface* back =
      count == static_cast<size_t>(mesh->Surfaces.Count()) ? DrawnAdjoinBack(*mesh) : nullptr;
  const size_t backFace = count - 1 - static_cast<size_t>(DrawnAdjoinBackFace);
  const size_t i = static_cast<size_t>(Index);
  for (size_t j = 0; j < count; ++j) {
    TEditorFace& face = Brush.Faces[j];
    // Every face of a brush carries the same flags: the surface of the face's own number
    // serves, whichever way each side numbers them.
    const TSurface* surface = mesh->Surfaces.Items(static_cast<int>(j));
    if (j + 1 == count && !shellBox) {
      face.TextureName = Cut(FaceName(Policy, surface->MaterialName));
      if (i < Policy.Fits.size() && Policy.Fits[i].Fitted) {
        const texfit::TClassicProjection& p = Policy.Fits[i].Projection;
        face.Fitted = true;
        face.ShiftS = p.ShiftS, face.ShiftT = p.ShiftT, face.Rotate = p.Rotation;
        face.ScaleS = p.ScaleS, face.ScaleT = p.ScaleT;
      }
    } else if (back && j == backFace) {
      face.TextureName = Cut(FaceName(Policy, back->MaterialName));
    } else if (Policy.NonVisTex.empty()) {
      face.TextureName = Cut(Policy.DefaultTexture);
      face.EditorTexture = true;
    } else {
      face.TextureName = Cut(Policy.NonVisTex);
    }
    face.Flags = surface->Flags;
    if (record.Detail) face.Contents = DetailContents;
  }
}

std::vector<TEditorBrush> EditorBrushes(const TBrushLevel& BrushLevel, const TFacePolicy& Policy) {
  std::vector<TEditorBrush> brushes(static_cast<size_t>(BrushLevel.Brushes.Count()));
  for (size_t i = 0; i < brushes.size(); ++i)
    EditorBrush(BrushLevel, static_cast<int>(i), Policy, brushes[i]);
  return brushes;
}
