// How `morvane import` lays out each committed brush in the .map: the classic face lines, or a
// brush-primitive (brushDef) block when asked and the size of the front face's image is known;
// and, with texture alignment, how near the front faces' texels came.
#pragma once

#include <string>
#include <vector>

#include "align/TexFit.h"
#include "import/EditorFaces.h"
#include "import/ImportContext.h"
#include "import/ImportOptions.h"
#include "import/MapWriter.h"

class TBrushLevel;
struct TLevelTextures;

// What the alignment achieved on the front faces written so far.
struct TAlignReport {
  int Aligned = 0;           // front faces given a fitted classic projection
  int WithinTexel = 0;       // of them, those whose every corner lies within 1 texel
  double Worst = 0;          // the farthest corner of all, in texels
  int BrushDefFitted = 0;    // brushDef front faces given a fitted matrix
  int BrushDefWithin = 0;    // of them, every corner within 0.1 texel
  double BrushDefWorst = 0;  // texels
  int BrushDefUnsized = 0;   // brushDef blocks whose front face's image size is unknown
};

class TMapLayout {
 public:
  TMapLayout(bool BrushDef, bool Align) : brushDef_(BrushDef), align_(Align) {}

  // The brush model and the materials' sizes of the running import; both live until it ends,
  // after the last commit.
  void Converted(const TImportContext& Context);

  // Writes the committed brush: brush Number of the brush model (the hand-off commits them in
  // order). As a brushDef block when asked (sized as 64 x 64 when the front face's image is not
  // known):
  // the front face's matrix fitted to its texels with alignment, every other matrix drawing what
  // the face's classic projection draws (sized by the front face's material). Otherwise classic.
  void Write(TMapWriter& Map, const TEditorBrush& Brush);

  const TAlignReport& Report() const { return report_; }
  // The standard-error line on the alignment; empty without it.
  std::string ReportLine() const;

 private:
  bool brushDef_, align_;
  const TBrushLevel* brushes_ = nullptr;
  const TLevelTextures* textures_ = nullptr;
  TAlignReport report_;
  std::vector<texfit::TBrushDefMatrix> matrices_;
};
