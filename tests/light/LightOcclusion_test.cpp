// What the light fit takes for a shadow: a segment through a solid surface's polygon, and
// nothing else.
#include "light/LightOcclusion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "level/O_jkl.h"
#include "support/JklText.h"

namespace {

// Two floors facing up: (0, 0)-(1, 1) and (5, 0)-(6, 1), both at height 0.
void LoadTwoFloors(TJKLevel& Level) {
  jkl_text::TJklLevel l;
  l.Vertices = {"0 0 0", "1 0 0", "1 1 0", "0 1 0", "5 0 0", "6 0 0", "6 1 0", "5 1 0"};
  l.Surfaces = {{0, 1, 2, 3}, {4, 5, 6, 7}};
  const std::string text = l.Text();
  Level.LoadFromText(text.data(), text.size());
}

}  // namespace

TEST(LightOcclusion, OnlyACrossingOfAPolygonBlocks) {
  TJKLevel level;
  LoadTwoFloors(level);
  const TOccluders occluders(level);
  ASSERT_EQ(occluders.Polygons(), 2u);
  const double inf = std::numeric_limits<double>::infinity();
  struct TCase {
    const char* What;
    double A[3], B[3];
    bool Clear;
  };
  for (const TCase& c : std::vector<TCase>{
           {"through the first floor", {.5, .5, 1}, {.5, .5, -1}, false},
           {"through the second floor, upwards", {5.5, .2, -3}, {5.5, .9, 2}, false},
           {"beside both", {2.5, .5, 1}, {2.5, .5, -1}, true},
           {"ending on the floor (a corner's own surface)", {.5, .5, 1}, {.5, .5, 0}, true},
           {"short of the floor", {.5, .5, 1}, {.5, .5, .25}, true},
           {"along an edge", {1, .5, 1}, {1, .5, -1}, true},
           {"from far outside the grid, across it", {100, .5, 1}, {-99, .5, -1}, false},
           {"over both, never crossing their plane", {-10, .5, .1}, {20, .5, .1}, true},
           {"from a point at no finite place", {inf, 0, 0}, {.5, .5, -1}, true},
           {"from beyond any level", {1e30, .5, 1e30}, {.5, .5, -1}, true}}) {
    EXPECT_EQ(occluders.Clear(c.A, c.B), c.Clear) << c.What;
    EXPECT_EQ(occluders.Clear(c.B, c.A), c.Clear) << c.What << ", the other way";
  }
}
