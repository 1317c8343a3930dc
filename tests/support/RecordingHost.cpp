#include "support/RecordingHost.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "rtl/SysUtils.h"

namespace recording_host {

namespace {

TRecordingHost* g_Active = nullptr;

// Later editors append fields to the face record; a caller built against a longer record may
// touch bytes beyond ours, so each record we hand out has room to spare.
struct TFaceBuffer {
  TFaceData Data;
  char Spare[1024];
};

std::string Point(const float* P) {
  return rtl::Format("(%g %g %g)", static_cast<double>(P[0]), static_cast<double>(P[1]),
                     static_cast<double>(P[2]));
}

}  // namespace

struct TRecordingHost::TPending {
  TRecordedBrush Brush;
  // Faces in order of addition; the host's face index j is Added[size - 1 - j].
  std::vector<TRecordedFace> Added;
  // The record GetFaceData hands out, as the editor hands out one record of its own: valid until
  // the matching SetFaceData, reused for the brush's next face.
  std::unique_ptr<TFaceBuffer> Buffer;

  int Count() const { return static_cast<int>(Added.size()); }
  bool Valid(int32_t Face) const { return Face >= 0 && Face < Count(); }
  TRecordedFace& Face(int32_t Face) { return Added[static_cast<size_t>(Count() - 1 - Face)]; }
};

TRecordingHost::TRecordingHost(std::string DefaultTexture)
    : defaultTexture_(std::move(DefaultTexture)) {}

TRecordingHost::~TRecordingHost() {
  if (g_Active == this) g_Active = nullptr;
}

void TRecordingHost::Install(THostFuncTable& Table) {
  g_Active = this;
  Table.NewBrush = &TRecordingHost::NewBrush;
  Table.CommitBrush = &TRecordingHost::CommitBrush;
  Table.AddFace = &TRecordingHost::AddFace;
  Table.GetFaceData = &TRecordingHost::GetFaceData;
  Table.GetFaceCount = &TRecordingHost::GetFaceCount;
  Table.SetFaceData = &TRecordingHost::SetFaceData;
  Table.ConsolePrint = &TRecordingHost::ConsolePrint;
}

TRecordingHost::TPending* TRecordingHost::Find(BrushHandle Handle) {
  for (auto& p : pending_)
    if (p.get() == Handle) return p.get();
  return nullptr;
}

BrushHandle QERAPI TRecordingHost::NewBrush() {
  TRecordingHost* h = g_Active;
  if (!h) return nullptr;
  if (h->NewBrushReturnsNull) {
    if (h->RecordCalls) h->Record("NewBrush", "-> null");
    return nullptr;
  }
  std::unique_ptr<TPending> p;
  if (h->spare_.empty()) {
    p = std::make_unique<TPending>();
  } else {
    p = std::move(h->spare_.back());
    h->spare_.pop_back();
  }
  p->Brush.Number = h->nextNumber_++;
  if (h->RecordCalls) h->Record("NewBrush", rtl::Format("-> #%d", p->Brush.Number));
  h->pending_.push_back(std::move(p));
  return h->pending_.back().get();
}

void QERAPI TRecordingHost::CommitBrush(BrushHandle Handle) {
  TRecordingHost* h = g_Active;
  if (!h) return;
  auto it = std::find_if(h->pending_.begin(), h->pending_.end(),
                         [&](const std::unique_ptr<TPending>& p) { return p.get() == Handle; });
  if (it == h->pending_.end()) {
    if (h->RecordCalls) h->Record("CommitBrush", "unknown brush");
    return;
  }
  std::unique_ptr<TPending> p = std::move(*it);
  h->pending_.erase(it);
  if (h->RecordCalls) h->Record("CommitBrush", rtl::Format("#%d", p->Brush.Number));
  ++h->committedCount_;
  if (h->OnCommit) {
    // Handed on and forgotten: the record, its faces' room included, serves the next brush.
    std::reverse(p->Added.begin(), p->Added.end());
    p->Brush.Faces.swap(p->Added);
    h->OnCommit(p->Brush);
    p->Brush.Faces.clear();
    h->spare_.push_back(std::move(p));
    return;
  }
  p->Brush.Faces.assign(std::make_move_iterator(p->Added.rbegin()),
                        std::make_move_iterator(p->Added.rend()));
  h->Committed.push_back(std::move(p->Brush));
  p->Brush = TRecordedBrush();
  p->Added.clear();
  h->spare_.push_back(std::move(p));
}

void QERAPI TRecordingHost::AddFace(BrushHandle Handle, float* P1, float* P2, float* P3) {
  TRecordingHost* h = g_Active;
  if (!h) return;
  TPending* p = h->Find(Handle);
  if (!p || !P1 || !P2 || !P3) {
    if (h->RecordCalls) h->Record("AddFace", p ? "missing point" : "unknown brush");
    return;
  }
  TRecordedFace f;
  std::memcpy(f.P1, P1, sizeof f.P1);
  std::memcpy(f.P2, P2, sizeof f.P2);
  std::memcpy(f.P3, P3, sizeof f.P3);
  f.TextureName = h->defaultTexture_;
  if (h->RecordCalls)
    h->Record("AddFace",
              rtl::Format("#%d ", p->Brush.Number) + Point(P1) + " " + Point(P2) + " " + Point(P3));
  p->Added.push_back(std::move(f));
}

TFaceData* QERAPI TRecordingHost::GetFaceData(BrushHandle Handle, int32_t Face) {
  TRecordingHost* h = g_Active;
  if (!h) return nullptr;
  TPending* p = h->Find(Handle);
  if (!p || !p->Valid(Face) || Face == h->NullFaceDataAt) {
    if (h->RecordCalls) h->Record("GetFaceData", rtl::Format("%d -> null", Face));
    return nullptr;
  }
  if (h->RecordCalls) h->Record("GetFaceData", rtl::Format("#%d %d", p->Brush.Number, Face));
  const TRecordedFace& f = p->Face(Face);
  auto& buffer = p->Buffer;
  if (!buffer) {
    buffer = std::make_unique<TFaceBuffer>();
    std::memset(buffer.get(), 0, sizeof(TFaceBuffer));
  }
  // Every field of the record is filled anew (the name padded with NULs to its end); the spare
  // room behind it is the caller's.
  TFaceData& d = buffer->Data;
  std::strncpy(d.TextureName, f.TextureName.c_str(), sizeof d.TextureName - 1);
  d.TextureName[sizeof d.TextureName - 1] = '\0';
  d.Contents = f.Contents;
  d.Flags = f.Flags;
  d.Value = f.Value;
  d.ShiftS = f.ShiftS;
  d.ShiftT = f.ShiftT;
  d.Rotate = f.Rotate;
  d.ScaleS = f.ScaleS;
  d.ScaleT = f.ScaleT;
  std::memcpy(d.Point1, f.P1, sizeof d.Point1);
  std::memcpy(d.Point2, f.P2, sizeof d.Point2);
  std::memcpy(d.Point3, f.P3, sizeof d.Point3);
  return &d;
}

int32_t QERAPI TRecordingHost::GetFaceCount(BrushHandle Handle) {
  TRecordingHost* h = g_Active;
  if (!h) return 0;
  TPending* p = h->Find(Handle);
  int32_t n = p ? p->Count() : 0;
  if (h->HoldsAtMost >= 0 && n > h->HoldsAtMost) n = h->HoldsAtMost;
  if (h->RecordCalls) h->Record("GetFaceCount", rtl::Format("-> %d", n));
  return n;
}

void QERAPI TRecordingHost::SetFaceData(BrushHandle Handle, int32_t Face, TFaceData* Data) {
  TRecordingHost* h = g_Active;
  if (!h) return;
  TPending* p = h->Find(Handle);
  if (!p || !p->Valid(Face) || !Data) {
    if (h->RecordCalls) h->Record("SetFaceData", rtl::Format("%d ignored", Face));
    return;
  }
  TRecordedFace& f = p->Face(Face);
  // The name is NUL-terminated within its 1024 bytes; a record without the NUL is cut there.
  f.TextureName.assign(Data->TextureName, strnlen(Data->TextureName, sizeof Data->TextureName));
  f.Flags = Data->Flags;
  // The rest of the record as the editor keeps it: unchanged unless the plug-in changed it.
  f.Contents = Data->Contents;
  f.Value = Data->Value;
  f.ShiftS = Data->ShiftS;
  f.ShiftT = Data->ShiftT;
  f.Rotate = Data->Rotate;
  f.ScaleS = Data->ScaleS;
  f.ScaleT = Data->ScaleT;
  if (h->RecordCalls)
    h->Record("SetFaceData",
              rtl::Format("#%d %d %s %d", p->Brush.Number, Face, f.TextureName.c_str(), f.Flags));
}

void QERAPI TRecordingHost::ConsolePrint(const char* Text) {
  TRecordingHost* h = g_Active;
  if (!h) return;
  h->Console.push_back(Text ? Text : "");
  if (h->RecordCalls) h->Record("ConsolePrint", Text ? Text : "");
}

}  // namespace recording_host
