#include "align/TexFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "level/Vec3.h"

using namespace texfit;

namespace {

struct V3 {
  double x, y, z;
};
V3 Add(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
V3 Mul(V3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }

// A face as the hand-off gives it: corners, and the three points (first, second, centre).
struct Face {
  std::vector<TTexCorner> corners;
  float p1[3], p2[3], p3[3];
  TVector3 Normal() const { return EditorNormal(p1, p2, p3); }
};

// A convex quad around Centre spanned by A and B (corners C+A+B, C-A+B, C-A-B, C+A-B), with the
// hand-off's three points.
Face Quad(V3 centre, V3 a, V3 b) {
  Face f;
  const V3 pts[4] = {Add(Add(centre, a), b), Add(Add(centre, Mul(a, -1)), b),
                     Add(Add(centre, Mul(a, -1)), Mul(b, -1)), Add(Add(centre, a), Mul(b, -1))};
  double cx = 0, cy = 0, cz = 0;
  for (const V3& p : pts) {
    TTexCorner c;
    c.X = static_cast<float>(p.x), c.Y = static_cast<float>(p.y), c.Z = static_cast<float>(p.z);
    f.corners.push_back(c);
    cx += c.X, cy += c.Y, cz += c.Z;
  }
  const TTexCorner &c0 = f.corners[0], &c1 = f.corners[1];
  f.p1[0] = c0.X, f.p1[1] = c0.Y, f.p1[2] = c0.Z;
  f.p2[0] = c1.X, f.p2[1] = c1.Y, f.p2[2] = c1.Z;
  f.p3[0] = static_cast<float>(cx / 4), f.p3[1] = static_cast<float>(cy / 4),
  f.p3[2] = static_cast<float>(cz / 4);
  return f;
}

// Gives every corner the texel Proj puts there.
void Paint(Face& f, const TClassicProjection& proj) {
  for (TTexCorner& c : f.corners) {
    const float p[3] = {c.X, c.Y, c.Z};
    double s, t;
    ClassicTexel(f.Normal(), proj, p, s, t);
    c.S = static_cast<float>(s), c.T = static_cast<float>(t);
  }
}

TClassicProjection Proj(float shiftS, float shiftT, float rot, float scaleS, float scaleT) {
  TClassicProjection p;
  p.ShiftS = shiftS, p.ShiftT = shiftT, p.Rotation = rot, p.ScaleS = scaleS, p.ScaleT = scaleT;
  return p;
}

bool AllFinite(const TClassicProjection& p) {
  return std::isfinite(p.ShiftS) && std::isfinite(p.ShiftT) && std::isfinite(p.Rotation) &&
         std::isfinite(p.ScaleS) && std::isfinite(p.ScaleT) && p.ScaleS != 0 && p.ScaleT != 0;
}

}  // namespace

TEST(TexFit, AxisPairFollowsTheFirstStrictlyGreatestDirection) {
  const struct {
    TVector3 n;
    TAxisPair pair;
  } cases[] = {
      {{0, 0, 1}, TAxisPair::Floor},
      {{0, 0, -1}, TAxisPair::Ceiling},
      {{1, 0, 0}, TAxisPair::West},
      {{-1, 0, 0}, TAxisPair::East},
      {{0, 1, 0}, TAxisPair::South},
      {{0, -1, 0}, TAxisPair::North},
      {{0, 0, 0}, TAxisPair::Floor},
      {{0.6f, 0.8f, 0}, TAxisPair::South},
      // Ties keep the earlier direction.
      {{0.6f, 0, 0.6f}, TAxisPair::Floor},
      {{0.6f, 0.6f, 0}, TAxisPair::West},
      {{-0.6f, -0.6f, 0}, TAxisPair::East},
      {{0, -0.6f, -0.6f}, TAxisPair::Ceiling},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AxisPair(c.n), c.pair) << c.n.X << " " << c.n.Y << " " << c.n.Z;
  TVector3 s, t;
  AxisVectors(TAxisPair::East, s, t);
  EXPECT_EQ(s.Y, 1);
  EXPECT_EQ(t.Z, -1);
  AxisVectors(TAxisPair::Ceiling, s, t);
  EXPECT_EQ(s.X, 1);
  EXPECT_EQ(t.Y, -1);
}

// A wall near 45 degrees whose normal has equal X and Y components only when every step is
// rounded to a Single, as the editor computes it: then the west pair wins the tie. Rounding once
// from wider intermediates gives Y the larger component and the south pair, hundreds of texels off.
TEST(TexFit, FortyFiveDegreeTieIsDecidedInSingles) {
  const float p1[3] = {-0x1.f9ca3ep+8f, 0x1.985c28p+6f, 0x1.f9p+9f};
  const float p2[3] = {-0x1.f9ca3ep+8f, 0x1.985c28p+6f, 0x1.d9p+9f};
  const float p3[3] = {-0x1.2030a4p+8f, -0x1.ce0a3cp+6f, 0x1.d9p+9f};
  const TVector3 n = EditorNormal(p1, p2, p3);
  EXPECT_EQ(n.X, n.Y);
  EXPECT_EQ(n.Z, 0);
  EXPECT_EQ(AxisPair(n), TAxisPair::West);

  // An exact 45 degree wall facing -X-Y: east comes before north.
  const float q1[3] = {0, 0, 64}, q2[3] = {0, 0, 0}, q3[3] = {-64, 64, 0};
  const TVector3 m = EditorNormal(q1, q2, q3);
  EXPECT_FLOAT_EQ(m.X, -std::sqrt(0.5f));
  EXPECT_EQ(m.X, m.Y);
  EXPECT_EQ(AxisPair(m), TAxisPair::East);
}

TEST(TexFit, KnownClassicParametersComeBackExactly) {
  const V3 far = {1536, -2304, 768};
  const Face faces[] = {
      Quad(far, {40, 0, 0}, {0, 24, 0}),        // floor (corners counter-clockwise from +Z)
      Quad(far, {0, 24, 0}, {40, 0, 0}),        // ceiling
      Quad(far, {0, 40, 0}, {0, 0, 24}),        // west
      Quad(far, {0, 0, 24}, {0, 40, 0}),        // east
      Quad(far, {0, 0, 24}, {40, 0, 0}),        // south
      Quad(far, {40, 0, 0}, {0, 0, 24}),        // north
      Quad(far, {33.5, 21.25, 0}, {0, 0, 48}),  // wall at an odd angle
      Quad(far, {-12.5, 50, 0}, {0, 0, -30}),   // another
      Quad(far, {40, 0, 0}, {0, 30, 17.5}),     // slope, floor pair
      Quad(far, {0, 30, 17.5}, {40, 0, 0}),     // overhang, ceiling pair
      Quad(far, {10, 40, 0}, {-20, 5, 30}),     // slope steeper than 45 degrees
  };
  const TClassicProjection params[] = {
      Proj(0, 0, 0, 0.5f, 0.5f),     Proj(13, -7, 90, 0.25f, 0.25f), Proj(-31, 5, 180, 1, 0.75f),
      Proj(4, 60, 270, 0.5f, -0.5f), Proj(-3, 1, 37, 0.8f, 0.8f),    Proj(100, -250, 301, 2, 1.25f),
  };
  int faceIndex = 0;
  for (const Face& shape : faces) {
    const int pair = static_cast<int>(AxisPair(shape.Normal()));
    for (const TClassicProjection& want : params) {
      Face f = shape;
      Paint(f, want);
      const TClassicFit fit = FitClassic(f.Normal(), f.corners.data(), f.corners.size());
      SCOPED_TRACE(::testing::Message()
                   << "face " << faceIndex << " pair " << pair << " rotation " << want.Rotation);
      ASSERT_TRUE(fit.Fitted);
      EXPECT_EQ(fit.Projection.Rotation, want.Rotation);
      EXPECT_EQ(fit.Projection.ShiftS, want.ShiftS);
      EXPECT_EQ(fit.Projection.ShiftT, want.ShiftT);
      EXPECT_NEAR(fit.Projection.ScaleS, want.ScaleS, 1e-6 * std::fabs(want.ScaleS));
      EXPECT_NEAR(fit.Projection.ScaleT, want.ScaleT, 1e-6 * std::fabs(want.ScaleT));
      // The texels were stored as Singles of up to some thousands: a thousandth is their rounding.
      EXPECT_LT(fit.Error.Worst, 2e-3);
    }
    ++faceIndex;
  }
  // Each of the six pairs was met.
  std::vector<bool> seen(6);
  for (const Face& f : faces) seen[static_cast<size_t>(AxisPair(f.Normal()))] = true;
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(seen[static_cast<size_t>(i)]) << "pair " << i;
}

// A floor whose texture is sheared (s = u + k w) cannot be drawn by a rotation and two scales.
// The fit then lands no farther than the unsheared map does (k times the half-size, plus half a
// texel for each rounded shift), and nearer than the default projection, with finite values.
TEST(TexFit, ShearedTexelsGetAFiniteLeastSquaresCompromise) {
  const double k = 0.25, half = 32;
  Face f = Quad({4096, -4096, 0}, {half, 0, 0}, {0, half, 0});
  for (TTexCorner& c : f.corners) {
    c.S = static_cast<float>(c.X + k * c.Y + 0.3);
    c.T = static_cast<float>(-c.Y + 0.6);
  }
  const TClassicFit fit = FitClassic(f.Normal(), f.corners.data(), f.corners.size());
  ASSERT_TRUE(fit.Fitted);
  EXPECT_TRUE(AllFinite(fit.Projection));
  EXPECT_TRUE(std::isfinite(fit.Error.Worst));
  EXPECT_GT(fit.Error.Worst, 0.5);  // it cannot be exact
  EXPECT_LE(fit.Error.Worst, k * half + std::sqrt(0.5));
  const TFitError byDefault = ClassicError(f.Normal(), TClassicProjection(), f.corners.data(), 4);
  EXPECT_LT(fit.Error.Worst, byDefault.Worst);
  // The reported error is the one of the projection handed out.
  const TFitError again = ClassicError(f.Normal(), fit.Projection, f.corners.data(), 4);
  EXPECT_DOUBLE_EQ(again.Worst, fit.Error.Worst);
  EXPECT_EQ(again.WorstCorner, fit.Error.WorstCorner);
}

TEST(TexFit, RandomAffineTexelsNeverGiveNaNOrZeroScales) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> pos(-8000, 8000), dir(-60, 60), m(-4, 4), off(-3000, 3000);
  for (int i = 0; i < 500; ++i) {
    Face f = Quad({pos(rng), pos(rng), pos(rng)}, {dir(rng), dir(rng), dir(rng)},
                  {dir(rng), dir(rng), dir(rng)});
    const double a = m(rng), b = m(rng), c = m(rng), d = m(rng), e = off(rng), g = off(rng);
    for (TTexCorner& t : f.corners) {
      t.S = static_cast<float>(a * t.X + b * t.Y + c * t.Z + e);
      t.T = static_cast<float>(d * t.X - a * t.Y + b * t.Z + g);
    }
    const TClassicFit fit = FitClassic(f.Normal(), f.corners.data(), f.corners.size());
    if (!fit.Fitted) continue;
    ASSERT_TRUE(AllFinite(fit.Projection)) << i;
    ASSERT_TRUE(std::isfinite(fit.Error.Worst)) << i;
    EXPECT_EQ(fit.Projection.Rotation, std::floor(fit.Projection.Rotation));
    EXPECT_GE(fit.Projection.Rotation, 0);
    EXPECT_LT(fit.Projection.Rotation, 360);
    EXPECT_EQ(fit.Projection.ShiftS, std::floor(fit.Projection.ShiftS));
    EXPECT_EQ(fit.Projection.ShiftT, std::floor(fit.Projection.ShiftT));
  }
}

TEST(TexFit, DegenerateFacesKeepTheDefaultProjection) {
  const TClassicProjection def;
  auto expectDefault = [&](const Face& f, size_t count, const char* what) {
    const TClassicFit fit = FitClassic(f.Normal(), f.corners.data(), count);
    EXPECT_FALSE(fit.Fitted) << what;
    EXPECT_EQ(fit.Projection.ShiftS, def.ShiftS) << what;
    EXPECT_EQ(fit.Projection.ShiftT, def.ShiftT) << what;
    EXPECT_EQ(fit.Projection.Rotation, def.Rotation) << what;
    EXPECT_EQ(fit.Projection.ScaleS, 0.5f) << what;
    EXPECT_EQ(fit.Projection.ScaleT, 0.5f) << what;
  };
  Face good = Quad({10, 20, 30}, {16, 0, 0}, {0, 16, 0});
  Paint(good, Proj(3, 4, 10, 0.5f, 0.5f));
  ASSERT_TRUE(FitClassic(good.Normal(), good.corners.data(), 4).Fitted);

  expectDefault(good, 2, "two corners");
  Face same = good;
  for (TTexCorner& c : same.corners) c.S = 12, c.T = -3;
  expectDefault(same, 4, "one texel for all corners");
  Face line = good;
  for (size_t i = 0; i < 4; ++i) line.corners[i].X = 10, line.corners[i].Y = 20 + 5.0f * i;
  expectDefault(line, 4, "corners in a line");
  Face nan = good;
  nan.corners[2].S = std::nanf("");
  expectDefault(nan, 4, "a NaN texel");
  Face inf = good;
  inf.corners[1].Z = HUGE_VALF;
  expectDefault(inf, 4, "an infinite corner");
}

TEST(TexFit, AxisBaseIsOrthonormalAndAcrossTheNormal) {
  TVector3 x, y;
  ComputeAxisBase(TVector3{0, 0, 1}, x, y);
  EXPECT_FLOAT_EQ(x.Y, 1);
  EXPECT_NEAR(x.X, 0, 1e-7);
  EXPECT_FLOAT_EQ(y.X, 1);
  EXPECT_NEAR(y.Z, 0, 1e-7);
  ComputeAxisBase(TVector3{1, 0, 0}, x, y);
  EXPECT_FLOAT_EQ(x.Y, 1);
  EXPECT_FLOAT_EQ(y.Z, -1);
  // A component under 1e-6 counts as zero: the same axes as the clean normal.
  TVector3 x2, y2;
  ComputeAxisBase(TVector3{1, 5e-7f, -5e-7f}, x2, y2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(vec::Component(x, i), vec::Component(x2, i));
    EXPECT_EQ(vec::Component(y, i), vec::Component(y2, i));
  }

  const TVector3 n = {0.36f, -0.48f, 0.8f};
  ComputeAxisBase(n, x, y);
  EXPECT_NEAR(vec::Dot(x, n), 0, 1e-6);
  EXPECT_NEAR(vec::Dot(y, n), 0, 1e-6);
  EXPECT_NEAR(vec::Dot(x, y), 0, 1e-6);
  EXPECT_NEAR(vec::Dot(x, x), 1, 1e-6);
}

// Any affine texture map in the face plane, far from the origin and on a slope, lands within a
// hundredth of a texel on every corner once the matrix is written and read back as text.
TEST(TexFit, BrushDefMatrixPutsEveryCornerOnItsTexel) {
  Face f = Quad({6000, -3500, 900}, {50, 20, 10}, {-10, 30, 45});
  for (TTexCorner& c : f.corners) {
    c.S = static_cast<float>(1.3 * c.X - 0.4 * c.Y + 0.2 * c.Z + 17.5);
    c.T = static_cast<float>(0.5 * c.X + 0.9 * c.Y - 1.1 * c.Z - 400.25);
  }
  const TBrushDefFit fit = FitBrushDef(f.Normal(), f.corners.data(), 4, 128, 64);
  ASSERT_TRUE(fit.Fitted);
  EXPECT_LT(fit.Error.Worst, 0.01);
  TBrushDefMatrix parsed;
  for (int r = 0; r < 2; ++r)
    for (int k = 0; k < 3; ++k) {
      char text[64];
      std::snprintf(text, sizeof text, "%.9g", static_cast<double>(fit.Matrix.M[r][k]));
      parsed.M[r][k] = std::strtof(text, nullptr);
      EXPECT_EQ(parsed.M[r][k], fit.Matrix.M[r][k]);
    }
  EXPECT_LT(BrushDefError(f.Normal(), parsed, 128, 64, f.corners.data(), 4).Worst, 0.01);

  // A size of 0 is unknown: nothing is fitted.
  EXPECT_FALSE(FitBrushDef(f.Normal(), f.corners.data(), 4, 0, 64).Fitted);
  Face line = f;
  for (size_t i = 0; i < 4; ++i) line.corners[i] = f.corners[0], line.corners[i].X += 3.0f * i;
  EXPECT_FALSE(FitBrushDef(f.Normal(), line.corners.data(), 4, 64, 64).Fitted);
}

// The matrix made from a classic projection draws every point of the plane where that projection
// does: the back and side faces of a brushDef brush keep what they showed before.
TEST(TexFit, BrushDefFromClassicDrawsLikeTheClassicProjection) {
  const Face shapes[] = {Quad({512, 256, -64}, {32, 0, 0}, {0, 32, 0}),
                         Quad({-900, 40, 300}, {0, 0, 24}, {30, 20, 0}),
                         Quad({2000, 2000, 2000}, {40, 0, 0}, {0, 30, 17.5})};
  for (const Face& shape : shapes) {
    for (const TClassicProjection& proj :
         {TClassicProjection(), Proj(12, -40, 33, 0.75f, -0.5f), Proj(0, 5, 270, 2, 2)}) {
      Face f = shape;
      Paint(f, proj);
      const TBrushDefMatrix m = BrushDefFromClassic(f.Normal(), f.p1, proj, 256, 32);
      EXPECT_LT(BrushDefError(f.Normal(), m, 256, 32, f.corners.data(), 4).Worst, 0.01);
    }
  }
}
