#include "plugin/SendBrushes.h"

#include <algorithm>
#include <cstring>

#include "plugin/main.h"  // FuncTable
#include "rtl/SysUtils.h"

namespace {

static_assert(sizeof(TFaceData::TextureName) == MaxEditorTextureName + 1,
              "the faces' names are cut to the editor's name field");

void SetTextureName(TFaceData& Data, const std::string& Name) {
  std::memset(Data.TextureName, 0, sizeof Data.TextureName);
  std::memcpy(Data.TextureName, Name.data(), std::min(Name.size(), MaxEditorTextureName));
}

// Every slot is checked before the first brush is begun, so that a table the editor left
// incomplete stops the hand-off before anything half-built reaches the map.
void RequireSlot(const void* Slot, const char* Name) {
  if (!Slot) throw rtl::Exception(rtl::Format("The editor does not provide the function %s", Name));
}

}  // namespace

void SendBrushesToHost(const std::vector<TEditorBrush>& Brushes, TProgressProc Progress) {
  const THostFuncTable& host = FuncTable;
  const int count = static_cast<int>(Brushes.size());
  if (count == 0) return;

  RequireSlot(reinterpret_cast<const void*>(host.NewBrush), "NewBrush");
  RequireSlot(reinterpret_cast<const void*>(host.AddFace), "AddFace");
  RequireSlot(reinterpret_cast<const void*>(host.GetFaceCount), "GetFaceCount");
  RequireSlot(reinterpret_cast<const void*>(host.GetFaceData), "GetFaceData");
  RequireSlot(reinterpret_cast<const void*>(host.SetFaceData), "SetFaceData");
  RequireSlot(reinterpret_cast<const void*>(host.CommitBrush), "CommitBrush");

  for (int i = 0; i < count; ++i) {
    if (Progress) Progress(i, count);
    const std::vector<TEditorFace>& faces = Brushes[static_cast<size_t>(i)].Faces;
    BrushHandle handle = host.NewBrush();
    if (!handle) throw rtl::Exception("The editor returned no brush");
    // The editor numbers faces in reverse order of addition.
    for (auto face = faces.rbegin(); face != faces.rend(); ++face) {
      float p1[3], p2[3], p3[3];
      std::memcpy(p1, face->P1, sizeof p1);
      std::memcpy(p2, face->P2, sizeof p2);
      std::memcpy(p3, face->P3, sizeof p3);
      host.AddFace(handle, p1, p2, p3);
    }

    // The faces were decided for the editor's numbering of the faces added: an editor that holds
    // another number of them would get each face's settings on another face.
    const int32_t given = static_cast<int32_t>(faces.size());
    auto requireFaces = [&](int32_t held) {
      if (held != given)
        throw rtl::Exception(
            rtl::Format("The editor holds %d faces of a brush given %d faces", held, given));
    };
    requireFaces(host.GetFaceCount(handle));
    for (int32_t j = 0; j < given; ++j) {
      const TEditorFace& face = faces[static_cast<size_t>(j)];
      TFaceData* data = host.GetFaceData(handle, j);
      if (!data)
        throw rtl::Exception(rtl::Format("The editor returned no face data for face %d", j));
      // Asked again for each face, as the editor has always seen it asked.
      requireFaces(host.GetFaceCount(handle));
      if (!face.EditorTexture) SetTextureName(*data, face.TextureName);
      if (face.Fitted) {
        data->ShiftS = face.ShiftS;
        data->ShiftT = face.ShiftT;
        data->Rotate = face.Rotate;
        data->ScaleS = face.ScaleS;
        data->ScaleT = face.ScaleT;
      }
      data->Flags = face.Flags;
      if (face.Contents != 0) data->Contents = face.Contents;
      host.SetFaceData(handle, j, data);
    }

    host.CommitBrush(handle);
  }
}
