// Writes the brushes a host received as a Radiant .map file, as they arrive.
//
// TMapWriter formats straight into a buffer of its own and hands the buffer to a sink whenever
// it fills, so a level of any size is written with a fixed amount of memory. The classic layout:
//
//   {                                 BeginWorldspawn()
//   "classname" "worldspawn"
//   {                                 WriteBrush(), once per committed brush
//   ( x y z ) ( x y z ) ( x y z ) TEX sS sT rot scS scT contents flags value
//   }
//   }                                 EndEntity()
//
// Each face on one line, in the order the faces were added, its three points as AddFace received
// them. Every number is the shortest decimal that reads back to the same Single, in plain
// notation, with negative zero written as 0. Further blocks (more entities, other brush layouts)
// are written with the Append... calls between the ones above.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "align/TexFit.h"
#include "import/EditorFaces.h"

class TMapWriter {
 public:
  // Receives each full buffer, and the rest at Flush. It may raise; the writer then stops
  // growing its buffer only by what one call appends, and the error reaches the caller.
  using TSink = std::function<void(const char* Data, size_t Size)>;

  explicit TMapWriter(TSink Sink, size_t BufferSize = 1 << 16);
  TMapWriter(const TMapWriter&) = delete;
  TMapWriter& operator=(const TMapWriter&) = delete;
  // Does not flush: what was not flushed is dropped, as a half-finished map must not look whole.
  ~TMapWriter() = default;

  // "{" and the worldspawn's class name line.
  void BeginWorldspawn();
  // The brush block, faces in the order they were added. A brush without faces is no solid:
  // nothing is written, the brush is counted in Skipped() and False is returned.
  bool WriteBrush(const TEditorBrush& Brush);
  // The brush as a brush-primitive block, faces in the order they were added, face k with the
  // texture matrix Matrices[k] (one per face, in that order):
  //   {
  //   brushDef
  //   {
  //   ( x y z ) ( x y z ) ( x y z ) ( ( a b c ) ( d e f ) ) TEX contents flags value
  //   }
  //   }
  // A brush without faces is left out as by WriteBrush.
  bool WriteBrushDef(const TEditorBrush& Brush,
                     const std::vector<texfit::TBrushDefMatrix>& Matrices);
  // "}" closing an entity.
  void EndEntity();
  // Hands everything still buffered to the sink.
  void Flush();

  // Raw pieces for further blocks.
  void Append(std::string_view Text);
  void AppendChar(char C);
  // The shortest decimal that reads back to the same Single ("-0" becomes "0").
  void AppendNumber(float Value);
  void AppendInt(int32_t Value);
  // "( x y z ) ": a point as the face lines write it.
  void AppendPoint(const float P[3]);

  int Written() const { return written_; }                  // brush blocks written, of both layouts
  int WrittenBrushDef() const { return writtenBrushDef_; }  // of them brushDef blocks
  int Skipped() const { return skipped_; }                  // brushes left out for having no faces

 private:
  // Makes room for at least n more bytes, flushing first when the buffer would overflow.
  char* Reserve(size_t n) {
    return buffer_.size() - used_ >= n ? buffer_.data() + used_ : MakeRoom(n);
  }
  char* MakeRoom(size_t n);
  void Commit(char* end) { used_ = static_cast<size_t>(end - buffer_.data()); }

  // A number already written, by its bits; Length 0: an empty slot. Text holds the digits,
  // followed by whatever the buffer held, so one fixed-size copy moves it.
  struct TCachedNumber {
    uint32_t Bits = 0;
    uint8_t Length = 0;
    char Text[19] = {};
  };
  static constexpr int NumberCacheBits = 12;

  TSink sink_;
  std::vector<char> buffer_;
  std::vector<TCachedNumber> numbers_;
  size_t used_ = 0;
  int written_ = 0;
  int writtenBrushDef_ = 0;
  int skipped_ = 0;
};
