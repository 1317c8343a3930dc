#include "level/SpatialGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

struct Box {
  double Lo[3], Hi[3];
};

bool Meets(const Box& a, const Box& b) {
  for (int k = 0; k < 3; ++k)
    if (a.Hi[k] < b.Lo[k] || b.Hi[k] < a.Lo[k]) return false;
  return true;
}

// Whatever the cubes' size, a query answers every item whose bounds meet the asked box, once
// and in ascending order; items that are huge or not finite answer every query, and a query
// that cannot be bounded answers every item.
TEST(SpatialGrid, AQueryAnswersEveryItemItMeetsInOrder) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> at(-500, 500), size(0, 60);
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<Box> items;
  for (int i = 0; i < 400; ++i) {
    Box b;
    for (int k = 0; k < 3; ++k)
      b.Lo[k] = at(random), b.Hi[k] = b.Lo[k] + (i % 3 ? size(random) : 0);
    items.push_back(b);
  }
  items.push_back({{-1e9, -1e9, -1e9}, {1e9, 1e9, 1e9}});  // over far too many cubes
  items.push_back({{0, 0, -inf}, {1, 1, 1}});              // not finite
  for (double cell : {0.5, 16.0, 64.0, 5000.0, 0.0, std::nan("")}) {
    TSpatialGrid grid(cell);
    for (size_t i = 0; i < items.size(); ++i)
      grid.Add(static_cast<int>(i), items[i].Lo, items[i].Hi);
    std::vector<int> answer;
    for (int q = 0; q < 300; ++q) {
      Box query;
      const double reach = q % 10 == 0 ? 2000 : size(random);
      for (int k = 0; k < 3; ++k) query.Lo[k] = at(random), query.Hi[k] = query.Lo[k] + reach;
      grid.Query(query.Lo, query.Hi, answer);
      for (size_t k = 1; k < answer.size(); ++k)
        ASSERT_LT(answer[k - 1], answer[k]) << "cell " << cell;
      size_t next = 0;
      for (size_t i = 0; i < items.size(); ++i) {
        while (next < answer.size() && answer[next] < static_cast<int>(i)) ++next;
        const bool answered = next < answer.size() && answer[next] == static_cast<int>(i);
        if (Meets(items[i], query) || i + 2 >= items.size()) {
          EXPECT_TRUE(answered) << "cell " << cell << " item " << i << " query " << q;
        }
      }
    }
    const double far[3] = {inf, 0, 0}, origin[3] = {0, 0, 0};
    grid.Query(origin, far, answer);
    EXPECT_EQ(answer.size(), items.size()) << "cell " << cell;
  }
  EXPECT_EQ(TSpatialGrid::CellFor({3, -1, 5, std::nan(""), 4, 0}), 4);
  EXPECT_EQ(TSpatialGrid::CellFor({}), 1);
}

}  // namespace
