#include "plugin/SendBrushes.h"

#include <algorithm>
#include <cstring>

#include "brush/DrawnAdjoins.h"
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

void SendBrushesToHost(const TBrushLevel& BrushLevel, const std::string& TexturePrefix,
                       TProgressProc Progress, const std::string& NonVisTex,
                       const std::vector<texfit::TClassicFit>* Fits, const TImageNames* Names) {
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
    // The shell's boxes, after the slabs, are hidden on every face; slabs of a sealed level are
    // detail.
    const bool shellBox = i >= count - BrushLevel.ShellBoxes;
    const bool detail = BrushLevel.DetailSlabs && !shellBox;

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
      // Every face of a brush carries the same flags, so the brush's face j serves for the
      // editor's face j whichever way each side numbers them.
      TSurface* face = brush->Surfaces.Items(j);
      TFaceData* data = host.GetFaceData(handle, j);
      if (!data)
        throw rtl::Exception(rtl::Format("The editor returned no face data for face %d", j));
      // The editor numbers faces in reverse order of addition: its last is the front face.
      if (brush->Kind == TBrushKind::WaterVolume) {
        // Every face of a water volume is the water's, in the role's shader.
        SetTextureName(*data, MapSafeName(TexturePrefix +
                                          (Names ? Names->Of(face->MaterialName)
                                                 : MaterialTextureName(face->MaterialName)) +
                                          face->TextureSuffix));
      } else if (j + 1 == host.GetFaceCount(handle) && !shellBox) {
        const TSurface* front = brush->Surfaces.Items(0);
        SetTextureName(*data, MapSafeName(TexturePrefix +
                                          (Names ? Names->Of(face->MaterialName)
                                                 : MaterialTextureName(face->MaterialName)) +
                                          front->TextureSuffix));
        if (fit.Fitted) {
          data->ShiftS = fit.Projection.ShiftS;
          data->ShiftT = fit.Projection.ShiftT;
          data->Rotate = fit.Projection.Rotation;
          data->ScaleS = fit.Projection.ScaleS;
          data->ScaleT = fit.Projection.ScaleT;
        }
      } else if (const TSurface* back = DrawnAdjoinBack(*brush, j, faces)) {
        SetTextureName(*data, MapSafeName(TexturePrefix +
                                          (Names ? Names->Of(back->MaterialName)
                                                 : MaterialTextureName(back->MaterialName)) +
                                          back->TextureSuffix));
      } else if (!nonVisTex.empty())
        SetTextureName(*data, nonVisTex);
      data->Flags = face->Flags;
      // A drawn adjoin is detail too: it does not split the level into sectors of visibility.
      if (detail || brush->Kind != TBrushKind::Slab) data->Contents = DetailContents;
      host.SetFaceData(handle, j, data);
    }

    host.CommitBrush(handle);
  }
}
