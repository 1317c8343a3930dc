// The structural shell that encloses a level's regions: its cells, its merge and its octree.
#include "seal/Shell.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>
#include <vector>

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

namespace {

shell::TRegion Convex(const std::vector<shell::TPlane>& planes, shell::TPoint lo,
                      shell::TPoint hi) {
  return {planes, lo, hi};
}

// Whether the ray from P along D meets a box before it has gone Far.
bool RayMeetsABox(const std::vector<shell::TBox>& boxes, const shell::TPoint& p,
                  const shell::TPoint& d, double far) {
  for (const shell::TBox& b : boxes) {
    double enter = 0, leave = far;
    for (int a = 0; a < 3; ++a) {
      if (d[a] == 0) {
        if (p[a] <= b.Min[a] || p[a] >= b.Max[a]) leave = -1;
        continue;
      }
      double t0 = (b.Min[a] - p[a]) / d[a], t1 = (b.Max[a] - p[a]) / d[a];
      if (t0 > t1) std::swap(t0, t1);
      enter = std::max(enter, t0), leave = std::min(leave, t1);
    }
    if (enter < leave) return true;
  }
  return false;
}

}  // namespace

// Open worlds: a sector 80,000 units across, a slanted one whose long face crosses every axis,
// and two rooms far apart. Each shell is built fast on few boxes, the slanted one on a coarser
// grid than 64 to stay within its budget; no box reaches into a region, and every ray from inside
// a region meets a box before it leaves the level.
TEST(Shell, OpenWorldsCostFewBoxesAndStaySealed) {
  const double r3 = std::sqrt(3.0);
  struct TCase {
    const char* name;
    std::vector<shell::TRegion> regions;
    shell::TPoint inside;
    size_t most;  // boxes at most
    bool coarser;
  };
  const TCase cases[] = {
      {"open air", {Box({-40000, -40000, 0}, {40000, 40000, 10240})}, {0, 0, 100}, 6, false},
      {"slope",
       {Convex({{{-1, 0, 0}, 32000},
                {{0, -1, 0}, 32000},
                {{0, 0, -1}, 32000},
                {{1 / r3, 1 / r3, 1 / r3}, -32000 / r3}},
               {-32000, -32000, -32000}, {32000, 32000, 32000})},
       {-30000, -30000, -30000},
       4096,
       true},
      {"two rooms apart",
       {Box({-60000, -100, 0}, {-59000, 100, 300}), Box({59000, -100, 0}, {60000, 100, 300})},
       {-59500, 0, 150},
       24,
       false},
  };
  for (const TCase& c : cases) {
    shell::TShellOptions options;
    options.BoxBudget = 4096;
    const shell::TShell s = shell::BuildShellOf(c.regions, {}, options);
    EXPECT_LE(s.Boxes.size(), c.most) << c.name;
    EXPECT_EQ(s.Cell > 64, c.coarser) << c.name;
    // No point of a box lies deeper than a unit inside a region (sampled on a 5 x 5 x 5 grid).
    for (const shell::TBox& b : s.Boxes)
      for (const shell::TRegion& r : c.regions)
        for (int k = 0; k < 125; ++k) {
          shell::TPoint p;
          for (int a = 0, q = k; a < 3; ++a, q /= 5)
            p[a] = b.Min[a] + (b.Max[a] - b.Min[a]) * (q % 5) / 4;
          bool deep = true;
          for (int a = 0; a < 3; ++a) deep = deep && p[a] > r.Min[a] + 1 && p[a] < r.Max[a] - 1;
          for (const shell::TPlane& pl : r.Planes)
            deep = deep &&
                   pl.Normal[0] * p[0] + pl.Normal[1] * p[1] + pl.Normal[2] * p[2] < pl.Offset - 1;
          EXPECT_FALSE(deep) << c.name;
        }
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz)
          if (dx || dy || dz) {
            EXPECT_TRUE(RayMeetsABox(s.Boxes, c.inside, {dx * 1.0, dy * 1.0, dz * 1.0}, 1e6))
                << c.name << " towards " << dx << " " << dy << " " << dz;
          }
  }
}

namespace {

// Every cell of the 64-unit grid that a region may overlap (or a point, or the cell above it,
// holds) is free of shell boxes; every other cell next to such a cell lies in one.
void ExpectShellAgreesWithGrid(const std::vector<std::vector<shell::TRegion>>& levels,
                               int cells = 14) {
  for (size_t l = 0; l < levels.size(); ++l) {
    const std::vector<shell::TPoint> points = {{250, 300, 40}};
    const std::vector<shell::TBox> boxes = shell::BuildShell(levels[l], points, {});
    auto open = [&](int i, int j, int k) {
      for (const shell::TRegion& r : levels[l])
        if (shell::CellMayOverlap(r, i, j, k, 64)) return true;
      for (const shell::TPoint& p : points)
        for (double lift : {0.0, 1.0})
          if (std::floor(p[0] / 64) == i && std::floor(p[1] / 64) == j &&
              std::floor((p[2] + lift) / 64) == k)
            return true;
      return false;
    };
    for (int i = -3; i < cells; ++i)
      for (int j = -3; j < cells - 3; ++j)
        for (int k = -3; k < 8; ++k) {
          bool near = false;
          for (int n = 0; n < 27 && !near; ++n)
            near = open(i + n % 3 - 1, j + n / 3 % 3 - 1, k + n / 9 - 1);
          const bool boxed = std::any_of(boxes.begin(), boxes.end(), [&](const shell::TBox& b) {
            return Inside(b, {(i + 0.5) * 64, (j + 0.5) * 64, (k + 0.5) * 64});
          });
          if (open(i, j, k)) {
            EXPECT_FALSE(boxed) << "level " << l << " cell " << i << " " << j << " " << k;
          } else if (near) {
            EXPECT_TRUE(boxed) << "level " << l << " cell " << i << " " << j << " " << k;
          }
        }
  }
}

// Rooms W x D of 96 x 80 units from (X, Y), 64 high, skipping those Skip refuses.
std::vector<shell::TRegion> Rooms(int W, int D, double X, double Y,
                                  bool (*Skip)(int, int) = nullptr) {
  std::vector<shell::TRegion> rooms;
  for (int i = 0; i < W; ++i)
    for (int j = 0; j < D; ++j)
      if (!Skip || !Skip(i, j))
        rooms.push_back(Box({X + 96 * i, Y + 80 * j, 0}, {X + 96 * (i + 1), Y + 80 * (j + 1), 64}));
  return rooms;
}

}  // namespace

// Against the grid cell by cell, for rooms square and slanted, touching, apart and sharing walls,
// and an entity in the open between them: every closed cell that touches an open one lies in a
// box, and every cell of a box is closed.
TEST(Shell, TheOctreeAgreesWithTheGridCellByCell) {
  const double r2 = std::sqrt(2.0);
  shell::TRegion wedge = Box({300, 0, 0}, {700, 400, 300});
  wedge.Planes = {{{1 / r2, 0, 1 / r2}, 700 / r2}, {{-1, 0, 0}, -300}, {{0, 0, -1}, 0}};
  ExpectShellAgreesWithGrid(
      {{Box({0, 0, 0}, {256, 256, 128}), Box({256, 0, 0}, {512, 100, 128})},
       {Box({10, 10, 10}, {300, 50, 90}), wedge},
       {Box({0, 0, 0}, {100, 100, 100}), Box({400, 400, 0}, {500, 500, 64})}});
}

// Many rooms within one cube of the tree are joined before the cube is split: rooms that tile a
// box, an L of rooms, rooms with a gap, rooms listed twice and a room within another all give
// the shell of the space they cover.
TEST(Shell, RoomsOnAGridGiveTheShellOfTheSpaceTheyCover) {
  std::vector<shell::TRegion> twice = Rooms(4, 3, 10, 20);
  const std::vector<shell::TRegion> again = Rooms(4, 3, 10, 20);
  twice.insert(twice.end(), again.begin(), again.end());
  std::vector<shell::TRegion> nested = Rooms(3, 3, 0, 0);
  nested.push_back(Box({100, 90, 10}, {180, 150, 50}));
  ExpectShellAgreesWithGrid(
      {Rooms(6, 5, 0, 0), Rooms(6, 5, 0, 0, [](int i, int j) { return i > 1 && j > 1; }),
       Rooms(6, 5, 0, 0, [](int i, int j) { return i == 3 && j != 2; }), twice, nested},
      16);
}

// A region far larger than the world (past 2^31 cells of the grid) is open all through the world:
// no box is built for it, and nothing overflows on the way.
TEST(Shell, ARegionBeyondTheWorldBuildsNothing) {
  shell::TShellOptions options;
  options.BoxBudget = 4096;
  const shell::TShell s =
      shell::BuildShellOf({Box({-1e12, -1e12, -1e12}, {1e12, 1e12, 1e12})}, {}, options);
  EXPECT_TRUE(s.Boxes.empty());
  EXPECT_TRUE(shell::CellMayOverlap(Box({-1e12, 0, 0}, {1e12, 1, 1}), 2000000000, 0, 0, 64));
}

// A room one cell thick along one axis and five wide along the others: the shell's boxes on its
// two sides have the same cross-section and lie one (open) cell apart, and no merge may join
// them across it. Along each axis: no box holds an open cell, every closed cell beside one is in
// a box.
TEST(Shell, BoxesOnBothSidesOfAThinRoomStayApart) {
  for (size_t axis = 0; axis < 3; ++axis) {
    shell::TPoint lo{10, 10, 10}, hi{300, 300, 300};
    hi[axis] = 50;
    const shell::TRegion room = Box(lo, hi);
    const std::vector<shell::TBox> boxes = shell::BuildShell({room}, {}, {});
    auto open = [&](int i, int j, int k) { return shell::CellMayOverlap(room, i, j, k, 64); };
    int thin = 0;
    for (int i = -2; i < 7; ++i)
      for (int j = -2; j < 7; ++j)
        for (int k = -2; k < 7; ++k) {
          bool near = false;
          for (int n = 0; n < 27 && !near; ++n)
            near = open(i + n % 3 - 1, j + n / 3 % 3 - 1, k + n / 9 - 1);
          const bool boxed = std::any_of(boxes.begin(), boxes.end(), [&](const shell::TBox& b) {
            return Inside(b, {(i + 0.5) * 64, (j + 0.5) * 64, (k + 0.5) * 64});
          });
          const int cell[3] = {i, j, k};
          if (open(i, j, k)) {
            thin += cell[axis] == 0;
            EXPECT_FALSE(boxed) << "axis " << axis << " cell " << i << " " << j << " " << k;
          } else if (near) {
            EXPECT_TRUE(boxed) << "axis " << axis << " cell " << i << " " << j << " " << k;
          }
          // The room is one cell thick: nothing of it beyond its first cell along the axis.
          if (cell[axis] != 0) {
            EXPECT_FALSE(open(i, j, k)) << "axis " << axis;
          }
        }
    EXPECT_EQ(thin, 25) << "axis " << axis;
  }
}
