#include "cli/MapWriter.h"

#include "rtl/SysUtils.h"

namespace {

void Point(std::string& out, const float p[3]) {
  out += "( ";
  for (int i = 0; i < 3; ++i) {
    out += rtl::SingleToStr(p[i]);
    out += ' ';
  }
  out += ") ";
}

}  // namespace

std::string WriteMap(const std::vector<recording_host::TRecordedBrush>& brushes, int& skipped) {
  skipped = 0;
  std::string out = "{\n\"classname\" \"worldspawn\"\n";
  for (const recording_host::TRecordedBrush& brush : brushes) {
    if (brush.Faces.empty()) {
      ++skipped;
      continue;
    }
    out += "{\n";
    // The host numbers faces in reverse order of addition; the file lists them as added.
    for (auto face = brush.Faces.rbegin(); face != brush.Faces.rend(); ++face) {
      Point(out, face->P1);
      Point(out, face->P2);
      Point(out, face->P3);
      out += face->TextureName;
      out += rtl::Format(
          " %s %s %s %s %s %d %d %d\n", rtl::SingleToStr(face->ShiftS).c_str(),
          rtl::SingleToStr(face->ShiftT).c_str(), rtl::SingleToStr(face->Rotate).c_str(),
          rtl::SingleToStr(face->ScaleS).c_str(), rtl::SingleToStr(face->ScaleT).c_str(),
          face->Contents, face->Flags, face->Value);
    }
    out += "}\n";
  }
  out += "}\n";
  return out;
}
