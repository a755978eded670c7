// The result type every fallible internal step returns: what a caller can
// rely on when it moves a value out, falls back, or passes a failure on.
#include "platform/foundation/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
using foundation::Errc;
using foundation::fail;
using foundation::Result;

Result<std::unique_ptr<int>> boxed(int n) {
  if (n < 0) return fail(Errc::invalid, "negative: " + std::to_string(n));
  return std::make_unique<int>(n);
}

// A failure passed up a level keeps its code and message.
Result<int> unboxed(int n) {
  auto box = boxed(n);
  if (!box) return box.error();
  return *std::move(box).value();
}

TEST(Result, AMoveOnlyValueMovesOutAndAFailurePassesUpWhole) {
  auto held = boxed(7);
  ASSERT_TRUE(held.ok());
  std::unique_ptr<int> taken = std::move(held).value();
  EXPECT_EQ(*taken, 7);
  EXPECT_EQ(*unboxed(3), 3);
  auto refused = unboxed(-2);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.code(), Errc::invalid);
  EXPECT_EQ(refused.message(), "negative: -2");
  EXPECT_EQ(refused.value_or(11), 11);
  EXPECT_EQ(unboxed(4).value_or(11), 4);
}

TEST(Result, NothingButSuccessOrAFailure) {
  Result<void> done;
  EXPECT_TRUE(done);
  Result<void> refused = fail(Errc::io, "disk full");
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.code(), Errc::io);
  EXPECT_EQ(refused.message(), "disk full");
  // A value that is itself empty is still a success.
  Result<std::string> empty = std::string();
  EXPECT_TRUE(empty);
  EXPECT_STREQ(foundation::describe(Errc::too_deep), "nested too deep");
}

}  // namespace
