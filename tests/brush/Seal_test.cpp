// The structural shell that seals a level, and the front plane fitted to a surface not quite
// flat.
#include "brush/Seal.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "brush/BrushTestSupport.h"
#include "brush/Shell.h"

using namespace brush_test;

namespace {

shell::TRegion Box(shell::TPoint lo, shell::TPoint hi) { return {{}, lo, hi}; }

bool Inside(const shell::TBox& b, const shell::TPoint& p) {
  for (int a = 0; a < 3; ++a)
    if (p[a] <= b.Min[a] || p[a] >= b.Max[a]) return false;
  return true;
}

}  // namespace

// A cell is closed only when one plane has all its corners in front: a sector that reaches 1
// unit into a cell, or touches it, keeps it open; one that stops 1 unit short closes it.
TEST(Shell, ACellASectorBarelyTouchesStaysOpen) {
  const double r3 = std::sqrt(3.0);
  struct TCase {
    double nx, offset;  // the plane nx * (x + y + z) <= offset cuts the cube [0, 100]^3
    int i, j, k;
    bool open;
  };
  // Cell (1, 1, 0) has its lowest corner at x + y + z = 128, cell (0, 0, 1) its highest at 256.
  for (const TCase c : {TCase{1, 129, 1, 1, 0, true}, TCase{1, 128, 1, 1, 0, true},
                        TCase{1, 127, 1, 1, 0, false}, TCase{1, 129, 1, 1, 1, false},
                        TCase{-1, -255, 0, 0, 1, true}, TCase{-1, -257, 0, 0, 1, false}}) {
    shell::TRegion cube = Box({0, 0, 0}, {100, 100, 100});
    cube.Planes.push_back({{c.nx / r3, c.nx / r3, c.nx / r3}, c.offset / r3});
    EXPECT_EQ(shell::CellMayOverlap(cube, c.i, c.j, c.k, 64), c.open) << c.offset;
  }
}

// Around one open cell the shell is the 26 cells touching it, merged into 6 boxes: a row of
// three along x, a column of two along y, the cells below and above, and two more columns.
TEST(Shell, GreedyMergeOfTheCellsAroundOneCell) {
  const std::vector<shell::TBox> boxes = shell::BuildShell({}, {{10, 10, 10}}, {});
  ASSERT_EQ(boxes.size(), 6u);
  double volume = 0;
  for (const shell::TBox& b : boxes) {
    EXPECT_FALSE(Inside(b, {32, 32, 32}));
    volume += (b.Max[0] - b.Min[0]) * (b.Max[1] - b.Min[1]) * (b.Max[2] - b.Min[2]);
  }
  EXPECT_EQ(volume, 26 * 64.0 * 64 * 64);
}

// Two rooms apart: no box reaches into either, and no path of cells leads from a room out of
// the shell.
TEST(Shell, TwoRoomsAreEnclosedAndKeptFree) {
  const std::vector<shell::TRegion> rooms = {Box({0, 0, 0}, {256, 256, 128}),
                                             Box({512, 40, 0}, {700, 256, 100})};
  const std::vector<shell::TBox> boxes = shell::BuildShell(rooms, {}, {});
  for (const shell::TBox& b : boxes)
    for (const shell::TRegion& r : rooms) {
      bool apart = false;
      for (int a = 0; a < 3; ++a) apart = apart || b.Max[a] <= r.Min[a] || b.Min[a] >= r.Max[a];
      EXPECT_TRUE(apart);
    }
  // Flood the cells whose centres no box holds, from the middle of the first room.
  auto blocked = [&](int i, int j, int k) {
    const shell::TPoint p{(i + 0.5) * 64, (j + 0.5) * 64, (k + 0.5) * 64};
    for (const shell::TBox& b : boxes)
      if (Inside(b, p)) return true;
    return false;
  };
  std::set<std::tuple<int, int, int>> seen{{2, 2, 1}};
  std::vector<std::tuple<int, int, int>> todo{{2, 2, 1}};
  bool escaped = false, reachedSecond = false;
  while (!todo.empty() && !escaped) {
    const auto [i, j, k] = todo.back();
    todo.pop_back();
    reachedSecond = reachedSecond || (i == 9 && j == 2 && k == 0);
    escaped = i < -6 || i > 18 || j < -6 || j > 10 || k < -6 || k > 8;
    const int steps[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& s : steps) {
      const std::tuple<int, int, int> next{i + s[0], j + s[1], k + s[2]};
      if (!blocked(i + s[0], j + s[1], k + s[2]) && seen.insert(next).second) todo.push_back(next);
    }
  }
  EXPECT_FALSE(escaped);
  EXPECT_FALSE(reachedSecond);  // the gap between the rooms is closed too
}

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
    ConvertSectorsToBrushes(b.Level, out, nullptr, o, &slab);
    TSurface& front = *out.Brushes.Items(0)->Surfaces.Items(0);
    TVector3 n;
    front.GetNormal(n);
    EXPECT_NEAR(n.Z, 1, 1e-6) << warp;
    for (int k = 0; k < 4; ++k)
      EXPECT_NEAR(front.Vertices.Items(k)->Z, warp / 4, 1e-6) << warp << " corner " << k;
  }
}
