#include "common/scoped_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace sv {
namespace {

std::vector<int> closed;

struct CountingTraits {
  using Handle = int;
  static Handle Null() noexcept { return -1; }
  static bool IsValid(Handle handle) noexcept { return handle >= 0; }
  static void Close(Handle handle) noexcept { closed.push_back(handle); }
};

using Owned = ScopedHandle<CountingTraits>;

class ScopedHandleTest : public ::testing::Test {
 protected:
  void SetUp() override { closed.clear(); }
};

TEST_F(ScopedHandleTest, ClosesExactlyOnceWhenLeavingScope) {
  { Owned handle(7); }
  EXPECT_EQ(closed, std::vector<int>{7});
  { Owned empty; }
  EXPECT_EQ(closed, std::vector<int>{7});
}

TEST_F(ScopedHandleTest, MovingHandsOverOwnership) {
  {
    Owned first(1);
    Owned second(std::move(first));
    EXPECT_FALSE(first.IsValid());
    EXPECT_EQ(second.Get(), 1);
    Owned third(3);
    third = std::move(second);  // closes 3, takes 1
    EXPECT_EQ(closed, std::vector<int>{3});
  }
  EXPECT_EQ(closed, (std::vector<int>{3, 1}));
}

TEST_F(ScopedHandleTest, ReceiveClosesTheOldHandleAndReleaseGivesItUp) {
  Owned handle(4);
  *handle.Receive() = 5;
  EXPECT_EQ(closed, std::vector<int>{4});
  EXPECT_EQ(handle.Release(), 5);
  EXPECT_FALSE(handle);
  handle.Reset(6);
  handle.Reset();
  EXPECT_EQ(closed, (std::vector<int>{4, 6}));
}

}  // namespace
}  // namespace sv
