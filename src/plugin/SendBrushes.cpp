#include "plugin/SendBrushes.h"

#include <algorithm>
#include <cstring>

#include "import/LevelTextures.h"
#include "plugin/main.h"  // FuncTable
#include "rtl/Files.h"
#include "rtl/SysUtils.h"

namespace {

// The editor's name field holds at most this many characters before its NUL.
constexpr size_t MaxTextureName = sizeof(TFaceData::TextureName) - 1;

void SetTextureName(TFaceData& Data, const std::string& Name) {
  std::memset(Data.TextureName, 0, sizeof Data.TextureName);
  std::memcpy(Data.TextureName, Name.data(), std::min(Name.size(), MaxTextureName));
}

// Every slot is checked before the first brush is begun, so that a table the editor left
// incomplete stops the hand-off before anything half-built reaches the map.
void RequireSlot(const void* Slot, const char* Name) {
  if (!Slot) throw rtl::Exception(rtl::Format("The editor does not provide the function %s", Name));
}

}  // namespace

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

void SendBrushesToHost(const TBrushLevel& BrushLevel, const std::string& TexturePrefix,
                       TProgressProc Progress, const std::string& NonVisTex,
                       const std::vector<texfit::TClassicFit>* Fits) {
  const std::string& nonVisTex = NonVisTex;
  const THostFuncTable& host = FuncTable;
  const int count = BrushLevel.Brushes.Count();
  if (count == 0) return;

  RequireSlot(reinterpret_cast<const void*>(host.NewBrush), "NewBrush");
  RequireSlot(reinterpret_cast<const void*>(host.AddFace), "AddFace");
  RequireSlot(reinterpret_cast<const void*>(host.GetFaceCount), "GetFaceCount");
  RequireSlot(reinterpret_cast<const void*>(host.GetFaceData), "GetFaceData");
  RequireSlot(reinterpret_cast<const void*>(host.SetFaceData), "SetFaceData");
  RequireSlot(reinterpret_cast<const void*>(host.CommitBrush), "CommitBrush");

  for (int i = 0; i < count; ++i) {
    if (Progress) Progress(i, count);
    T3DMesh* brush = BrushLevel.Brushes.Items(i);

    BrushHandle handle = host.NewBrush();
    if (!handle) throw rtl::Exception("The editor returned no brush");

    const texfit::TClassicFit fit = Fits ? Fits->at(static_cast<size_t>(i)) : texfit::TClassicFit{};
    for (int f = 0; f < brush->Surfaces.Count(); ++f) {
      TSurface* face = brush->Surfaces.Items(f);
      if (face->Vertices.Count() < 3) continue;
      float p1[3], p2[3], p3[3];
      HandOffPoints(*face, p1, p2, p3);
      host.AddFace(handle, p1, p2, p3);
    }

    const int32_t faces = host.GetFaceCount(handle);
    for (int32_t j = 0; j < faces; ++j) {
      // Every face of a brush carries the same material and flags, so the brush's face j
      // serves for the editor's face j whichever way each side numbers them.
      TSurface* face = brush->Surfaces.Items(j);
      TFaceData* data = host.GetFaceData(handle, j);
      if (!data)
        throw rtl::Exception(rtl::Format("The editor returned no face data for face %d", j));
      // The editor numbers faces in reverse order of addition: its last is the front face.
      if (j + 1 == host.GetFaceCount(handle)) {
        SetTextureName(*data, MapSafeName(TexturePrefix + MaterialTextureName(face->MaterialName)));
        if (fit.Fitted) {
          data->ShiftS = fit.Projection.ShiftS;
          data->ShiftT = fit.Projection.ShiftT;
          data->Rotate = fit.Projection.Rotation;
          data->ScaleS = fit.Projection.ScaleS;
          data->ScaleT = fit.Projection.ScaleT;
        }
      } else if (!nonVisTex.empty())
        SetTextureName(*data, nonVisTex);
      data->Flags = face->Flags;
      host.SetFaceData(handle, j, data);
    }

    host.CommitBrush(handle);
  }
}
