// The level's texture vertices in the brush model, and the fitted projection in the hand-off.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "align/TexFit.h"
#include "brush/BrushTestSupport.h"
#include "support/HandOff.h"
#include "support/RecordingHost.h"

using namespace brush_test;
using recording_host::TRecordingHost;

namespace {

// A surface with texels: corner k gets texel (Texels[k][0], Texels[k][1]).
TSurface* AddTexturedSurface(LevelBuilder& b, const std::vector<TVector3>& corners,
                             const std::vector<std::array<float, 2>>& texels, int flags = 0) {
  TSurface* s = b.AddSurface(corners, -1, flags, "wall.mat");
  s->TXVertices.Clear();
  for (const auto& t : texels) s->TXVertices.Add(std::make_unique<TTXVertex>(t[0], t[1]));
  return s;
}

const std::vector<TVector3> Square = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const std::vector<std::array<float, 2>> SquareTexels = {{0, 0}, {64, 0}, {64, 64}, {0, 64}};

TImportOptions With(bool align, bool keep) {
  TImportOptions o;
  o.AlignTextures = align;
  o.KeepTexels = keep;
  return o;
}

class AlignHandOff : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ThePlugin().Table();
    host.RecordCalls = false;
    host.Install(ThePlugin().Table());
  }
  void TearDown() override { ThePlugin().Table() = saved_; }
  void ConvertAndSend(LevelBuilder& b, const TImportOptions& options) {
    MakeBrushLevel(b.Level, brushes, nullptr, options);
    const std::vector<texfit::TClassicFit> fits = FitFrontFaces(brushes);
    HandOffBrushLevel(brushes, "abc/", "", options.AlignTextures ? &fits : nullptr);
  }
  // The host's record of brush i's front face (the host numbers faces backwards).
  const recording_host::TRecordedFace& Front(size_t i) const {
    return host.Committed.at(i).Faces.back();
  }

  TRecordingHost host;
  TBrushLevel brushes;

 private:
  THostFuncTable saved_;
};

void ExpectDefault(const recording_host::TRecordedFace& f) {
  EXPECT_EQ(f.ShiftS, 0);
  EXPECT_EQ(f.ShiftT, 0);
  EXPECT_EQ(f.Rotate, 0);
  EXPECT_EQ(f.ScaleS, 0.5f);
  EXPECT_EQ(f.ScaleT, 0.5f);
}

}  // namespace

TEST(AlignBrushModel, FrontCornersKeepTheirTexelsThroughTheReversal) {
  for (const TImportOptions& options : {With(false, true), With(true, false)}) {
    LevelBuilder b;
    AddTexturedSurface(b, Square, SquareTexels);
    TBrushLevel out;
    TSlabSettings slab = Slab(2, 8);
    MakeBrushLevel(b.Level, out, nullptr, options, &slab);
    const T3DMesh& brush = *out.Brushes.Items(0);
    const TSurface& front = *brush.Surfaces.Items(0);
    ASSERT_EQ(front.TXVertices.Count(), 4);
    // Front corner j is source corner 3 - j, scaled; its texel goes with it.
    for (int j = 0; j < 4; ++j) {
      const TVector3& src = Square[static_cast<size_t>(3 - j)];
      EXPECT_EQ(front.Vertices.Items(j)->X, 2 * src.X);
      EXPECT_EQ(front.Vertices.Items(j)->Y, 2 * src.Y);
      EXPECT_EQ(front.TXVertices.Items(j)->U, SquareTexels[static_cast<size_t>(3 - j)][0]);
      EXPECT_EQ(front.TXVertices.Items(j)->V, SquareTexels[static_cast<size_t>(3 - j)][1]);
    }
    const TSurface& back = *brush.Surfaces.Items(1);
    for (int j = 0; j < 4; ++j) {
      EXPECT_EQ(back.TXVertices.Items(j)->U, 0);
      EXPECT_EQ(back.TXVertices.Items(j)->V, 0);
    }
    EXPECT_FALSE(front.TXVertexMissing);
  }
}

TEST(AlignBrushModel, WithoutTheOptionsEveryTexelIsZeroAsBefore) {
  LevelBuilder b;
  AddTexturedSurface(b, Square, SquareTexels);
  b.Level.Surfaces.Items(0)->TXVertexMissing = true;
  TBrushLevel out;
  TSlabSettings slab = Slab(1, 8);
  MakeBrushLevel(b.Level, out, nullptr, TImportOptions(), &slab);
  const TSurface& front = *out.Brushes.Items(0)->Surfaces.Items(0);
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(front.TXVertices.Items(j)->U, 0);
    EXPECT_EQ(front.TXVertices.Items(j)->V, 0);
  }
  EXPECT_FALSE(front.TXVertexMissing);

  // The mark of a missing texture vertex travels with the carried texels.
  TBrushLevel kept;
  MakeBrushLevel(b.Level, kept, nullptr, With(false, true), &slab);
  EXPECT_TRUE(kept.Brushes.Items(0)->Surfaces.Items(0)->TXVertexMissing);
  EXPECT_FALSE(AlignedFrontFace(*kept.Brushes.Items(0)->Surfaces.Items(0)));
}

TEST_F(AlignHandOff, FrontFaceGetsTheFittedProjectionAndNothingElseChanges) {
  LevelBuilder b;
  // A wall at an odd angle whose texels a known projection made, on the very points handed over.
  const std::vector<TVector3> wall = {
      {3, 1, 0}, {4.5f, 2.25f, 0}, {4.5f, 2.25f, 1.5f}, {3, 1, 1.5f}};
  AddTexturedSurface(b, wall, {{0, 0}, {0, 0}, {0, 0}, {0, 0}});
  AddTexturedSurface(b, Square, SquareTexels, 0x200);  // sky: left alone
  AddTexturedSurface(b, Square, SquareTexels);
  b.Level.Surfaces.Items(2)->TXVertexMissing = true;  // a '-1' corner: left alone
  {
    // Paint the wall's texels with a known projection, on the brush's own front corners.
    TBrushLevel probe;
    MakeBrushLevel(b.Level, probe, nullptr, With(true, false));
    const TSurface& front = *probe.Brushes.Items(0)->Surfaces.Items(0);
    float p1[3], p2[3], p3[3];
    HandOffPoints(front, p1, p2, p3);
    texfit::TClassicProjection known;
    known.ShiftS = 7, known.ShiftT = -12, known.Rotation = 20, known.ScaleS = 1.5f,
    known.ScaleT = 0.75f;
    TSurface* src = b.Level.Surfaces.Items(0);
    for (int j = 0; j < 4; ++j) {
      const TVertex* v = front.Vertices.Items(j);
      const float p[3] = {v->X, v->Y, v->Z};
      double s, t;
      texfit::ClassicTexel(texfit::EditorNormal(p1, p2, p3), known, p, s, t);
      src->TXVertices.Items(3 - j)->U = static_cast<float>(s);
      src->TXVertices.Items(3 - j)->V = static_cast<float>(t);
    }
  }
  ConvertAndSend(b, With(true, false));
  ASSERT_EQ(host.Committed.size(), 3u);
  const auto& wallFront = Front(0);
  EXPECT_EQ(wallFront.ShiftS, 7);
  EXPECT_EQ(wallFront.ShiftT, -12);
  EXPECT_EQ(wallFront.Rotate, 20);
  EXPECT_NEAR(wallFront.ScaleS, 1.5f, 1e-6);
  EXPECT_NEAR(wallFront.ScaleT, 0.75f, 1e-6);
  EXPECT_EQ(wallFront.TextureName, "abc/wall");
  // Back and side faces, the sky face and the face with a missing texel keep the defaults.
  for (size_t i = 0; i < 3; ++i) {
    const auto& faces = host.Committed[i].Faces;
    for (size_t j = 0; j + (i == 0 ? 1 : 0) < faces.size(); ++j) ExpectDefault(faces[j]);
  }
  EXPECT_EQ(Front(1).Flags, 4);
}

TEST_F(AlignHandOff, KeptTexelsAloneChangeNothingTheEditorSees) {
  LevelBuilder b;
  AddTexturedSurface(b, Square, SquareTexels);
  ConvertAndSend(b, With(false, true));
  ASSERT_EQ(host.Committed.size(), 1u);
  for (const auto& face : host.Committed[0].Faces) ExpectDefault(face);

  // The same texels with alignment: a floor 256 units wide showing 64 texels, so scale 4.
  host.Committed.clear();
  brushes.Brushes.Clear();
  ConvertAndSend(b, With(true, false));
  ASSERT_EQ(host.Committed.size(), 1u);
  EXPECT_FLOAT_EQ(std::fabs(Front(0).ScaleS), 4);
  EXPECT_FLOAT_EQ(std::fabs(Front(0).ScaleT), 4);
  const texfit::TClassicFit fit = FitFrontFace(*brushes.Brushes.Items(0)->Surfaces.Items(0));
  ASSERT_TRUE(fit.Fitted);
  EXPECT_LT(fit.Error.Worst, 1e-3);
}
