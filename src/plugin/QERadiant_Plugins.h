// The editor's plug-in interface (QERadiant 1.5): the function table that the plug-in owns and
// the editor fills, and the editor's face record. In the 32-bit DLL the layout is the editor's,
// byte for byte; natively (64-bit) the slots are pointer-sized and the command-line host and the
// tests fill them.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && defined(__i386__)
#define QERAPI __stdcall
#else
#define QERAPI
#endif

using BrushHandle = void*;

// The editor's record for one face. Morvane touches only TextureName and Flags.
struct TFaceData {
  char TextureName[1024];
  int32_t Contents;
  int32_t Flags;
  int32_t Value;
  float ShiftS, ShiftT;
  float Rotate;
  float ScaleS, ScaleT;
  float Point1[3], Point2[3], Point3[3];
};

using PFN_Generic = void(QERAPI*)();
using PFN_NewBrush = BrushHandle(QERAPI*)();
using PFN_CommitBrush = void(QERAPI*)(BrushHandle);
using PFN_AddFace = void(QERAPI*)(BrushHandle, float* p1, float* p2, float* p3);
using PFN_GetFaceData = TFaceData*(QERAPI*)(BrushHandle, int32_t face);
using PFN_GetFaceCount = int32_t(QERAPI*)(BrushHandle);
using PFN_SetFaceData = void(QERAPI*)(BrushHandle, int32_t face, TFaceData* data);
using PFN_ConsolePrint = void(QERAPI*)(const char* text);

struct THostFuncTable {
  float Version;  // 1.5
  int32_t Size;   // 156 in the editor's 32-bit layout
  PFN_Generic CreateBrush;
  PFN_NewBrush NewBrush;
  PFN_Generic DeleteBrushHandle;
  PFN_CommitBrush CommitBrush;
  PFN_AddFace AddFace;
  PFN_Generic AddFaceData;
  PFN_GetFaceData GetFaceData;
  PFN_GetFaceCount GetFaceCount;
  PFN_SetFaceData SetFaceData;
  PFN_Generic DeleteFace;
  PFN_Generic TextureBrush;
  PFN_Generic BuildBrush;
  PFN_Generic SelectBrush;
  PFN_Generic DeselectBrush;
  PFN_Generic DeselectAllBrushes;
  PFN_Generic DeleteSelection;
  PFN_Generic GetPoints;
  PFN_ConsolePrint ConsolePrint;
  PFN_Generic InfoMsg;
  PFN_Generic HideInfoMsg;
  PFN_Generic PositionView;
  PFN_Generic SelectedBrushSlots[4];
  PFN_Generic ActiveBrushSlots[4];
  PFN_Generic TextureCount;
  PFN_Generic GetTexture;
  PFN_Generic GetCurrentTexture;
  PFN_Generic SetCurrentTexture;
  PFN_Generic GetEClassCount;
  PFN_Generic GetEClass;
  PFN_Generic ResetPlugins;
  PFN_Generic LoadTextureRGBA;
};

// The size the editor knows the table by.
constexpr int32_t HostFuncTableSize = 156;

static_assert(sizeof(TFaceData) == 1092, "the editor's face record is 1092 bytes");
static_assert(offsetof(TFaceData, Flags) == 1028, "Flags at 1028");
static_assert(offsetof(TFaceData, ShiftS) == 1036, "shift at 1036");
static_assert(offsetof(TFaceData, ScaleS) == 1048, "scale at 1048");
static_assert(offsetof(TFaceData, Point1) == 1056, "plane points at 1056");

#define MV_SLOT(field, index)                                                   \
  static_assert(offsetof(THostFuncTable, field) == 8 + (index) * sizeof(void*), \
                #field " is slot " #index)
MV_SLOT(CreateBrush, 0);
MV_SLOT(NewBrush, 1);
MV_SLOT(CommitBrush, 3);
MV_SLOT(AddFace, 4);
MV_SLOT(GetFaceData, 6);
MV_SLOT(GetFaceCount, 7);
MV_SLOT(SetFaceData, 8);
MV_SLOT(ConsolePrint, 17);
MV_SLOT(TextureCount, 29);
MV_SLOT(LoadTextureRGBA, 36);
#undef MV_SLOT
static_assert(sizeof(THostFuncTable) == 8 + 37 * sizeof(void*), "37 slots");
#if defined(_WIN32) && defined(__i386__)
static_assert(sizeof(THostFuncTable) == HostFuncTableSize, "the editor's table is 156 bytes");
static_assert(offsetof(THostFuncTable, NewBrush) == 12 &&
                  offsetof(THostFuncTable, CommitBrush) == 20 &&
                  offsetof(THostFuncTable, AddFace) == 24 &&
                  offsetof(THostFuncTable, GetFaceData) == 32 &&
                  offsetof(THostFuncTable, GetFaceCount) == 36 &&
                  offsetof(THostFuncTable, SetFaceData) == 40 &&
                  offsetof(THostFuncTable, ConsolePrint) == 76,
              "the seven slots Morvane calls, at the editor's offsets");
#endif
