#include "import/MapLayout.h"

#include <algorithm>
#include <cstdio>

#include "brush/FrontFaces.h"
#include "brush/O_brush.h"
#include "import/LevelTextures.h"

void TMapLayout::Converted(const TImportContext& Context) {
  brushes_ = &Context.BrushLevel;
  textures_ = &Context.Textures;
}

void TMapLayout::Write(TMapWriter& Map, const TEditorBrush& Brush) {
  const TSurface* front = nullptr;
  if (brushes_ && Brush.Number >= 0 && Brush.Number < brushes_->Brushes.Count()) {
    const T3DMesh* mesh = brushes_->Brushes.Items(Brush.Number);
    if (mesh->Surfaces.Count() > 0) front = mesh->Surfaces.Items(0);
  }
  // An aligned front face has three corners or more, so it is the first face the editor got.
  const bool aligned = align_ && front && AlignedFrontFace(*front);
  if (aligned && !Brush.Faces.empty()) {
    // Measured on what the file holds: the front face's record as the hand-off left it.
    const TEditorFace& face = Brush.Faces.back();
    const TVector3 n = texfit::EditorNormal(face.P1, face.P2, face.P3);
    const std::vector<texfit::TTexCorner> corners = TexCorners(*front);
    if (texfit::ClassicFittable(n, corners.data(), corners.size())) {
      texfit::TClassicProjection proj;
      proj.ShiftS = face.ShiftS, proj.ShiftT = face.ShiftT, proj.Rotation = face.Rotate;
      proj.ScaleS = face.ScaleS, proj.ScaleT = face.ScaleT;
      const double worst = texfit::ClassicError(n, proj, corners.data(), corners.size()).Worst;
      ++report_.Aligned;
      report_.WithinTexel += worst <= 1;
      report_.Worst = std::max(report_.Worst, worst);
    }
  }

  const TMaterialImage* image = nullptr;
  if (brushDef_ && front && textures_) {
    const auto it = textures_->Materials.find(front->MaterialName);
    if (it != textures_->Materials.end() && it->second.Width > 0 && it->second.Height > 0)
      image = &it->second;
  }
  // A compiler takes a file's first brush for its format: with brushDef every brush is one, and
  // those of unknown image size get the matrices of a 64 x 64 image.
  if (!image && !brushDef_) {
    Map.WriteBrush(Brush);
    return;
  }
  if (!image) ++report_.BrushDefUnsized;

  matrices_.clear();
  const int w = image ? image->Width : 64, h = image ? image->Height : 64;
  // The host's faces run backwards; the file lists them as added, front face first.
  for (auto face = Brush.Faces.rbegin(); face != Brush.Faces.rend(); ++face) {
    const TVector3 n = texfit::EditorNormal(face->P1, face->P2, face->P3);
    texfit::TClassicProjection proj;
    proj.ShiftS = face->ShiftS, proj.ShiftT = face->ShiftT, proj.Rotation = face->Rotate;
    proj.ScaleS = face->ScaleS, proj.ScaleT = face->ScaleT;
    texfit::TBrushDefMatrix m = texfit::BrushDefFromClassic(n, face->P1, proj, w, h);
    if (aligned && image && face == Brush.Faces.rbegin()) {
      const std::vector<texfit::TTexCorner> corners = TexCorners(*front);
      const texfit::TBrushDefFit fit = texfit::FitBrushDef(n, corners.data(), corners.size(), w, h);
      if (fit.Fitted) {
        m = fit.Matrix;
        ++report_.BrushDefFitted;
        report_.BrushDefWithin += fit.Error.Worst <= 0.1;
        report_.BrushDefWorst = std::max(report_.BrushDefWorst, fit.Error.Worst);
      }
    }
    matrices_.push_back(m);
  }
  Map.WriteBrushDef(Brush, matrices_);
}

std::string TMapLayout::ReportLine() const {
  if (!align_) return std::string();
  char line[320];
  std::snprintf(line, sizeof line,
                "aligned %d front faces, %d within 1 texel at every corner, the worst %.2f "
                "texels off",
                report_.Aligned, report_.WithinTexel, report_.Worst);
  std::string text = line;
  if (brushDef_) {
    std::snprintf(line, sizeof line,
                  "; as brushDef %d, %d within 0.1 texel, the worst %.3f texels off",
                  report_.BrushDefFitted, report_.BrushDefWithin, report_.BrushDefWorst);
    text += line;
  }
  return text;
}
