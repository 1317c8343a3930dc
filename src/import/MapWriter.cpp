#include "import/MapWriter.h"

#include <charconv>
#include <cstring>

namespace {

// Longest piece one Append... call writes at once: a Single in plain notation takes at most 48
// characters (39 integer digits, or "-0." and 45 fraction digits), an int 11.
constexpr size_t MaxNumber = 64;

}  // namespace

TMapWriter::TMapWriter(TSink Sink, size_t BufferSize)
    : sink_(std::move(Sink)),
      buffer_(BufferSize < 4 * MaxNumber ? 4 * MaxNumber : BufferSize),
      numbers_(size_t{1} << NumberCacheBits) {}

char* TMapWriter::MakeRoom(size_t n) {
  Flush();
  if (buffer_.size() < n) buffer_.resize(n);
  return buffer_.data() + used_;
}

void TMapWriter::Flush() {
  if (used_ == 0) return;
  const size_t n = used_;
  // Emptied first: a sink that raises must not see the same bytes again on the next flush.
  used_ = 0;
  sink_(buffer_.data(), n);
}

void TMapWriter::Append(std::string_view Text) {
  char* p = Reserve(Text.size());
  std::memcpy(p, Text.data(), Text.size());
  Commit(p + Text.size());
}

void TMapWriter::AppendChar(char C) {
  char* p = Reserve(1);
  *p = C;
  Commit(p + 1);
}

void TMapWriter::AppendNumber(float Value) {
  char* p = Reserve(MaxNumber);
  // Whole numbers, the most common in a map, print as the integer they are.
  if (Value > -2147483648.0f && Value < 2147483648.0f) {
    const int32_t whole = static_cast<int32_t>(Value);
    if (static_cast<float>(whole) == Value) {  // -0 included: it prints as 0
      Commit(std::to_chars(p, p + MaxNumber, whole).ptr);
      return;
    }
  }
  // The rest mostly repeat (a corner is on several faces, a brush's faces share their settings),
  // and the shortest decimal is costly to find: recent ones are kept by their bits.
  uint32_t bits;
  std::memcpy(&bits, &Value, sizeof bits);
  TCachedNumber& slot = numbers_[(bits * 2654435761u) >> (32 - NumberCacheBits)];
  if (slot.Length != 0 && slot.Bits == bits) {
    std::memcpy(p, slot.Text, sizeof slot.Text);
    Commit(p + slot.Length);
    return;
  }
  char* end = std::to_chars(p, p + MaxNumber, Value, std::chars_format::fixed).ptr;
  const size_t length = static_cast<size_t>(end - p);
  if (length <= sizeof slot.Text) {
    slot.Bits = bits;
    slot.Length = static_cast<uint8_t>(length);
    std::memcpy(slot.Text, p, sizeof slot.Text);
  }
  Commit(end);
}

void TMapWriter::AppendInt(int32_t Value) {
  char* p = Reserve(MaxNumber);
  Commit(std::to_chars(p, p + MaxNumber, Value).ptr);
}

void TMapWriter::AppendPoint(const float P[3]) {
  Append("( ");
  for (int i = 0; i < 3; ++i) {
    AppendNumber(P[i]);
    AppendChar(' ');
  }
  Append(") ");
}

void TMapWriter::BeginWorldspawn() { Append("{\n\"classname\" \"worldspawn\"\n"); }

void TMapWriter::EndEntity() { Append("}\n"); }

bool TMapWriter::WriteBrush(const TEditorBrush& Brush) {
  if (Brush.Faces.empty()) {
    ++skipped_;
    return false;
  }
  Append("{\n");
  // The host numbers faces in reverse order of addition; the file lists them as added.
  for (auto face = Brush.Faces.rbegin(); face != Brush.Faces.rend(); ++face) {
    AppendPoint(face->P1);
    AppendPoint(face->P2);
    AppendPoint(face->P3);
    Append(face->TextureName);
    for (float f : {face->ShiftS, face->ShiftT, face->Rotate, face->ScaleS, face->ScaleT}) {
      AppendChar(' ');
      AppendNumber(f);
    }
    for (int32_t i : {face->Contents, face->Flags, face->Value}) {
      AppendChar(' ');
      AppendInt(i);
    }
    AppendChar('\n');
  }
  Append("}\n");
  ++written_;
  return true;
}

bool TMapWriter::WriteBrushDef(const TEditorBrush& Brush,
                               const std::vector<texfit::TBrushDefMatrix>& Matrices) {
  if (Brush.Faces.empty()) {
    ++skipped_;
    return false;
  }
  Append("{\nbrushDef\n{\n");
  size_t k = 0;
  for (auto face = Brush.Faces.rbegin(); face != Brush.Faces.rend(); ++face, ++k) {
    AppendPoint(face->P1);
    AppendPoint(face->P2);
    AppendPoint(face->P3);
    const texfit::TBrushDefMatrix m = k < Matrices.size() ? Matrices[k] : texfit::TBrushDefMatrix();
    Append("( ");
    for (const auto& row : m.M) {
      Append("( ");
      for (float v : row) {
        AppendNumber(v);
        AppendChar(' ');
      }
      Append(") ");
    }
    Append(") ");
    Append(face->TextureName);
    for (int32_t i : {face->Contents, face->Flags, face->Value}) {
      AppendChar(' ');
      AppendInt(i);
    }
    AppendChar('\n');
  }
  Append("}\n}\n");
  ++written_;
  ++writtenBrushDef_;
  return true;
}
