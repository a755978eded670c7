// The result type every fallible internal step returns: what a caller can
// rely on when it moves a value out, falls back, or passes a failure on.
#include "platform/foundation/result.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
using px::platform::foundation::Errc;
using px::platform::foundation::fail;
using px::platform::foundation::Result;

Result<std::unique_ptr<int>> boxed(int n) {
  if (n < 0) return fail(Errc::invalid, "negative: " + std::to_string(n));
  return std::make_unique<int>(n);
}

Result<int> unboxed(int n) {
  auto box = boxed(n);
  if (!box) return box.error();
  return *std::move(box).value();
}

TEST(Result, AMoveOnlyValueMovesOutAndAFailurePassesUpWhole) {
  EXPECT_EQ(unboxed(4).value_or(11), 4);
  auto refused = unboxed(-2);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.code(), Errc::invalid);
  EXPECT_EQ(refused.message(), "negative: -2");
  EXPECT_EQ(refused.value_or(11), 11);

  EXPECT_TRUE(Result<void>());
  Result<void> unwritten = fail(Errc::io, "disk full");
  EXPECT_FALSE(unwritten);
  EXPECT_EQ(unwritten.code(), Errc::io);
  EXPECT_EQ(unwritten.message(), "disk full");
  EXPECT_TRUE(Result<std::string>(std::string())) << "a value that is itself empty is still a success";
}

// A lower layer's own error, and one that converts into px::platform::foundation::Error.
struct DiskError {
  int code = 0;
};
struct Store {
  static Result<int, DiskError> read(int n) {
    if (n < 0) return DiskError{n};
    return n * 2;
  }
};
struct IoError : px::platform::foundation::Error {
  IoError(const DiskError& e) : Error(fail(Errc::io, "disk " + std::to_string(e.code))) {}  // NOLINT
};

Result<void, DiskError> refuse_five(int n) {
  if (n == 5) return DiskError{5};
  return {};
}

Result<int, IoError> doubled_plus_one(int n) {
  int twice = TRY(Store::read(n));
  TRY(refuse_five(n));
  return twice + 1;
}

TEST(Result, TryYieldsTheValueOrReturnsTheFailureInTheCallersTerms) {
  EXPECT_EQ(*doubled_plus_one(3), 7);
  EXPECT_EQ(doubled_plus_one(-4).error().message, "disk -4");
  EXPECT_EQ(doubled_plus_one(5).error().message, "disk 5") << "a step of no value passes its failure up too";
}

}  // namespace
