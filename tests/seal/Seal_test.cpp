// The seal of a level: its block size, the line for the compiler's limits, and the front plane
// fitted to a surface not quite flat.
#include "seal/Seal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

#include "brush/BrushTestSupport.h"
#include "seal/Shell.h"

using namespace brush_test;

// A quad a tenth of a unit out of flat: its front face lies on the level's plane through the
// corners' centre, not on the plane of two corners and the centre; a flat quad keeps its corners.
TEST(Seal, ANonFlatQuadGetsItsBestFitPlane) {
  TSlabSettings slab;
  slab.Scale.Value = 1;
  for (const float warp : {0.0f, 0.1f}) {
    LevelBuilder b;
    TSurface* s = b.AddSurface({{0, 0, 0}, {100, 0, 0}, {100, 1, warp}, {0, 1, 0}});
    s->Normal = MakeVector(0, 0, 1);
    TImportOptions o;
    o.SealLevel = true;
    TBrushLevel out;
    MakeBrushLevel(b.Level, out, nullptr, o, &slab);
    TSurface& front = *out.Brushes.Items(0)->Surfaces.Items(0);
    TVector3 n;
    front.GetNormal(n);
    EXPECT_NEAR(n.Z, 1, 1e-6) << warp;
    for (int k = 0; k < 4; ++k)
      EXPECT_NEAR(front.Vertices.Items(k)->Z, warp / 4, 1e-6) << warp << " corner " << k;
  }
}

// The compiler's blocks: the default for a level of a few rooms; for a level 80,000 units across
// and 10,240 high, larger blocks along the long axes, at most 512 of them.
TEST(Seal, TheBlockSizeGrowsWithTheLevel) {
  struct TCase {
    shell::TPoint lo, hi;
    std::array<int, 3> size;
  };
  for (const TCase& c : {TCase{{-3000, -2000, -500}, {5000, 6000, 1500}, {1024, 1024, 1024}},
                         TCase{{-40000, -40000, 0}, {40000, 40000, 10240}, {16384, 8192, 1024}},
                         TCase{{0, 0, 0}, {0, 0, 0}, {1024, 1024, 1024}}}) {
    const std::array<int, 3> size = ChooseBlockSize(c.lo, c.hi);
    EXPECT_EQ(size, c.size) << c.hi[0];
    double blocks = 1;
    for (int a = 0; a < 3; ++a) blocks *= std::max(1.0, std::ceil((c.hi[a] - c.lo[a]) / size[a]));
    EXPECT_LE(blocks, 512);
  }
}

// The line that says the compile will struggle names each limit the map passes, and what to do.
TEST(Seal, TheLineForTheCompilersLimits) {
  TBrushLevel level;
  AddShellBrushes({{{0, 0, 0}, {64, 64, 64}}, {{64, 0, 0}, {128, 64, 64}}}, level.Brushes);
  struct TCase {
    TCompileLimits limits;
    std::vector<std::string> named;
  };
  // Two boxes: 12 sides on 14 planes (x = 0, 64, 128; y, z = 0, 64; each with its reverse).
  for (const TCase& c :
       {TCase{{2, 12, 14}, {}}, TCase{{1, 12, 14}, {"2 brushes (the limit is 1)"}},
        TCase{{2, 11, 13},
              {"12 brush sides (the limit is 11) and 14 planes (the limit is 13)", "split"}}}) {
    const std::string line = CompileLimitsLine(level, c.limits);
    EXPECT_EQ(line.empty(), c.named.empty()) << line;
    for (const std::string& n : c.named) EXPECT_NE(line.find(n), std::string::npos) << line;
  }
  level.Brushes.Items(1)->Vertices.Items(0)->X = 70000;
  EXPECT_NE(CompileLimitsLine(level).find("the world's edge is 65536); import it with --fit-world"),
            std::string::npos);
}

// The region holding a point, and the first slab holding it, are looked for among those near
// it: the answers are those of a walk over all of them, whatever the hint.
TEST(Seal, TheRegionAndTheSlabHoldingAPointAreFoundNearIt) {
  std::vector<shell::TRegion> regions;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 9; ++j)
      regions.push_back(
          {{}, {-300.0 + 96 * i, -200.0 + 80 * j, 0}, {-204.0 + 96 * i, -120.0 + 80 * j, 64}});
  const double r2 = std::sqrt(2.0);
  shell::TRegion wedge{{}, {300, 0, 0}, {700, 400, 300}};
  wedge.Planes = {{{1 / r2, 0, 1 / r2}, 700 / r2}, {{-1, 0, 0}, -300}, {{0, 0, -1}, 0}};
  regions.push_back(wedge);
  regions.push_back({{}, {-5000, -5000, 500}, {5000, 5000, 900}});  // open air over everything
  std::vector<shell::TBox> boxes;
  for (int i = 0; i < 200; ++i) {
    const double x = -400 + (i * 37) % 1000, y = -300 + (i * 53) % 700, z = (i * 11) % 120;
    boxes.push_back({{x, y, z}, {x + 20 + i % 90, y + 8 + i % 40, z + 4 + i % 70}});
  }
  T3DMeshList brushes;
  AddShellBrushes(boxes, brushes);
  const TRegionIndex index(regions);
  const TBrushBounds bounds(brushes, brushes.Count());
  for (int n = 0; n < 3000; ++n) {
    const shell::TPoint p{-450.0 + (n * 7919) % 1300 + 0.25, -350.0 + (n * 104729) % 900 + 0.5,
                          -20.0 + (n * 31) % 960};
    const int hints[] = {-1, n % static_cast<int>(regions.size()), 100000};
    for (int hint : hints)
      EXPECT_EQ(index.Holds(p, hint), InAnyRegion(regions, p))
          << p[0] << " " << p[1] << " " << p[2] << " hint " << hint;
    int first = -1;
    for (size_t b = 0; b < boxes.size() && first < 0; ++b) {
      bool in = true;
      for (int a = 0; a < 3; ++a)
        in = in && p[a] > boxes[b].Min[a] + 0.01 && p[a] < boxes[b].Max[a] - 0.01;
      if (in) first = static_cast<int>(b);
    }
    EXPECT_EQ(bounds.Holding(brushes, p), first) << p[0] << " " << p[1] << " " << p[2];
  }
}
