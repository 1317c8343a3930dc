#include "level/BlockAlloc.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Records its making and its end, so that a test sees every item released once, in order.
struct Tracked {
  Tracked(int Id, std::vector<int>& Log) : id(Id), log(Log) {
    if (Id < 0) throw std::runtime_error("refused");
  }
  ~Tracked() { log.push_back(id); }
  int id;
  std::vector<int>& log;
};

}  // namespace

TEST(ItemPools, ItemsStayPutAndAreReleasedOnceLastToFirst) {
  std::vector<int> log;
  std::vector<Tracked*> made;
  {
    TItemPool<Tracked> pool;
    for (int i = 0; i < 5000; ++i) {
      if (i == 7 || i == 4000)
        made.push_back(pool.Adopt(std::make_unique<Tracked>(i, log)));
      else
        made.push_back(pool.Make(i, log));
      if (i == 100) pool.Reserve(1000);
    }
    // A constructor that raises leaves nothing behind.
    EXPECT_THROW(pool.Make(-1, log), std::runtime_error);
    for (int i = 0; i < 5000; ++i) ASSERT_EQ(made[static_cast<size_t>(i)]->id, i);
    // Reserved room is one block: the items made into it lie side by side.
    EXPECT_EQ(made[102], made[101] + 1);
    EXPECT_EQ(made[1100], made[101] + 999);
    EXPECT_TRUE(log.empty());

    TItemPool<Tracked> moved(std::move(pool));
    pool.Clear();  // the emptied source owns nothing any more
    EXPECT_TRUE(log.empty());
  }
  ASSERT_EQ(log.size(), 5000u);
  for (int i = 0; i < 5000; ++i) EXPECT_EQ(log[static_cast<size_t>(i)], 4999 - i) << i;
}
