#include "cli/MapWriter.h"

#include <charconv>
#include <cstring>

namespace {

// Longest piece one Append... call writes at once: a Single in plain notation takes at most 48
// characters (39 integer digits, or "-0." and 45 fraction digits), an int 11.
constexpr size_t MaxNumber = 64;

}  // namespace

TMapWriter::TMapWriter(TSink Sink, size_t BufferSize)
    : sink_(std::move(Sink)), buffer_(BufferSize < 4 * MaxNumber ? 4 * MaxNumber : BufferSize) {}

char* TMapWriter::Reserve(size_t n) {
  if (buffer_.size() - used_ < n) {
    Flush();
    if (buffer_.size() < n) buffer_.resize(n);
  }
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
  char* end = std::to_chars(p, p + MaxNumber, Value, std::chars_format::fixed).ptr;
  if (end - p == 2 && p[0] == '-' && p[1] == '0') {
    p[0] = '0';
    end = p + 1;
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

bool TMapWriter::WriteBrush(const recording_host::TRecordedBrush& Brush) {
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

bool TMapWriter::WriteBrushDef(const recording_host::TRecordedBrush& Brush,
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

std::string WriteMap(const std::vector<recording_host::TRecordedBrush>& brushes, int& skipped) {
  std::string out;
  TMapWriter writer([&](const char* data, size_t size) { out.append(data, size); });
  writer.BeginWorldspawn();
  for (const recording_host::TRecordedBrush& brush : brushes) writer.WriteBrush(brush);
  writer.EndEntity();
  writer.Flush();
  skipped = writer.Skipped();
  return out;
}
