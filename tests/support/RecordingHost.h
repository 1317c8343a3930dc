// A host of our own behind the editor's function table: it builds brushes the way the editor
// does (one face per AddFace, faces numbered in reverse order of addition, each starting with the
// host's default texture and texture settings), keeps the committed brushes with the exact
// points it was given or hands each one on as it is committed, and, when asked, records every
// call in order. The tests use it as the editor, to watch the hand-off.
//
// The table's slots are plain functions, so one recording host is active at a time: the one
// that was installed last and still lives.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "import/EditorFaces.h"
#include "plugin/QERadiant_Plugins.h"

namespace recording_host {

struct TCall {
  std::string Slot;  // the slot's name, e.g. "AddFace"
  std::string Args;  // a short summary of the arguments and the result
};

// The faces and brushes as the host holds them: the editor's own records.
using TRecordedFace = TEditorFace;
using TRecordedBrush = TEditorBrush;

class TRecordingHost {
 public:
  explicit TRecordingHost(std::string DefaultTexture = "system/caulk");
  ~TRecordingHost();
  TRecordingHost(const TRecordingHost&) = delete;
  TRecordingHost& operator=(const TRecordingHost&) = delete;

  // A brush's handle is valid from its NewBrush to its CommitBrush; a later NewBrush may return
  // the same handle again, as an editor reusing its memory would.
  //
  // Makes this host the active one and fills the seven slots that Morvane calls (NewBrush,
  // CommitBrush, AddFace, GetFaceData, GetFaceCount, SetFaceData, ConsolePrint).
  void Install(THostFuncTable& Table);

  // Every call in order, while RecordCalls is set. Off by default: the log costs a formatted
  // text per call, which only tests that watch the hand-off want.
  std::vector<TCall> Calls;
  bool RecordCalls = false;
  std::vector<std::string> Console;  // texts given to ConsolePrint, verbatim
  // The committed brushes in commit order, unless OnCommit is set.
  std::vector<TRecordedBrush> Committed;
  // When set, receives each brush as it is committed instead of Committed keeping it, so a host
  // that writes brushes out holds one brush at a time. The brush is valid during the call only.
  std::function<void(const TRecordedBrush&)> OnCommit;
  // Brushes committed so far, whether kept or handed to OnCommit.
  size_t CommittedCount() const { return committedCount_; }

  // Misbehaviour on demand, to test how callers cope with a faulty editor.
  bool NewBrushReturnsNull = false;
  int NullFaceDataAt = -1;  // GetFaceData of this face index returns null
  int HoldsAtMost = -1;     // GetFaceCount says no more faces than this (an editor that lost some)

  // Brushes begun and not committed.
  size_t PendingCount() const { return pending_.size(); }

 private:
  struct TPending;
  TPending* Find(BrushHandle Handle);
  void Record(const char* Slot, std::string Args) { Calls.push_back({Slot, std::move(Args)}); }

  static BrushHandle QERAPI NewBrush();
  static void QERAPI CommitBrush(BrushHandle Handle);
  static void QERAPI AddFace(BrushHandle Handle, float* P1, float* P2, float* P3);
  static TFaceData* QERAPI GetFaceData(BrushHandle Handle, int32_t Face);
  static int32_t QERAPI GetFaceCount(BrushHandle Handle);
  static void QERAPI SetFaceData(BrushHandle Handle, int32_t Face, TFaceData* Data);
  static void QERAPI ConsolePrint(const char* Text);

  std::string defaultTexture_;
  int nextNumber_ = 0;
  size_t committedCount_ = 0;
  std::vector<std::unique_ptr<TPending>> pending_;
  // Finished brushes' records, reused by the next NewBrush with their room kept.
  std::vector<std::unique_ptr<TPending>> spare_;
};

}  // namespace recording_host
