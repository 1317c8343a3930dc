#include "brush/FrontFaces.h"

#include "rtl/Paths.h"

std::string MaterialTextureName(const std::string& MaterialName) {
  return rtl::ChangeFileExt(MaterialName, "");
}

void HandOffPoints(const TSurface& Face, float P1[3], float P2[3], float P3[3]) {
  const TVertex* a = Face.Vertices.Items(0);
  const TVertex* b = Face.Vertices.Items(1);
  TVector3 c;
  Face.GetCentre(c);
  P1[0] = a->X, P1[1] = a->Y, P1[2] = a->Z;
  P2[0] = b->X, P2[1] = b->Y, P2[2] = b->Z;
  P3[0] = c.X, P3[1] = c.Y, P3[2] = c.Z;
}

bool AlignedFrontFace(const TSurface& Front) {
  // Sky faces show the sky whatever their projection; a corner without a texture vertex of its
  // own would pull the fit towards a made-up (0, 0).
  return Front.Flags == 0 && !Front.TXVertexMissing && Front.Vertices.Count() >= 3 &&
         Front.TXVertices.Count() == Front.Vertices.Count();
}

std::vector<texfit::TTexCorner> TexCorners(const TSurface& Face) {
  std::vector<texfit::TTexCorner> corners(static_cast<size_t>(Face.Vertices.Count()));
  for (int k = 0; k < Face.Vertices.Count(); ++k) {
    texfit::TTexCorner& c = corners[static_cast<size_t>(k)];
    const TVertex* v = Face.Vertices.Items(k);
    c.X = v->X, c.Y = v->Y, c.Z = v->Z;
    if (k < Face.TXVertices.Count()) {
      const TTXVertex* t = Face.TXVertices.Items(k);
      c.S = t->U, c.T = t->V;
    }
  }
  return corners;
}

texfit::TClassicFit FitFrontFace(const TSurface& Front) {
  if (!AlignedFrontFace(Front)) return texfit::TClassicFit{};
  float p1[3], p2[3], p3[3];
  HandOffPoints(Front, p1, p2, p3);
  // Most faces have few corners: no allocation for them.
  texfit::TTexCorner local[16];
  std::vector<texfit::TTexCorner> heap;
  const size_t n = static_cast<size_t>(Front.Vertices.Count());
  texfit::TTexCorner* corners = local;
  if (n > 16) heap.resize(n), corners = heap.data();
  for (size_t k = 0; k < n; ++k) {
    const TVertex* v = Front.Vertices.Items(static_cast<int>(k));
    const TTXVertex* t = Front.TXVertices.Items(static_cast<int>(k));
    corners[k].X = v->X, corners[k].Y = v->Y, corners[k].Z = v->Z;
    corners[k].S = t->U, corners[k].T = t->V;
  }
  return texfit::FitClassic(texfit::EditorNormal(p1, p2, p3), corners, n);
}

std::vector<texfit::TClassicFit> FitFrontFaces(const TBrushLevel& BrushLevel) {
  std::vector<texfit::TClassicFit> fits(static_cast<size_t>(BrushLevel.Brushes.Count()));
  for (int i = 0; i < BrushLevel.Brushes.Count(); ++i) {
    // The front face is the brush's first; it is fitted on the very points handed over.
    const T3DMesh* brush = BrushLevel.Brushes.Items(i);
    if (brush->Surfaces.Count() > 0)
      fits[static_cast<size_t>(i)] = FitFrontFace(*brush->Surfaces.Items(0));
  }
  return fits;
}
