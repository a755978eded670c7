// The level percent both deliverables count with: unknown levels have none,
// known ones truncate toward zero in 32-bit float and saturate.

#include "shared/battery_level.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(LevelPercent, NaNAndNegativeLevelsAreUnknown) {
  EXPECT_FALSE(px::shared::level_percent(std::numeric_limits<float>::quiet_NaN()));
  EXPECT_FALSE(px::shared::level_percent(-1.0f));
  EXPECT_FALSE(px::shared::level_percent(-0.001f));
  EXPECT_FALSE(px::shared::level_percent(-std::numeric_limits<float>::infinity()));
  EXPECT_EQ(px::shared::level_percent(-0.0f), 0) << "negative zero is a level of nothing, not an unknown one";
}

TEST(LevelPercent, TruncatesTheFloatProductTowardZero) {
  EXPECT_EQ(px::shared::level_percent(0.0f), 0);
  EXPECT_EQ(px::shared::level_percent(0.005f), 0);
  EXPECT_EQ(px::shared::level_percent(0.57f), 57);  // 0.57f × 100 rounds to 57.0 in float
  EXPECT_EQ(px::shared::level_percent(0.999999f), 99);
  EXPECT_EQ(px::shared::level_percent(1.0f), 100);
  EXPECT_EQ(px::shared::level_percent(1.009f), 100);
}

TEST(LevelPercent, SaturatesAtTheIntegerLimit) {
  EXPECT_EQ(px::shared::level_percent(3e7f), kMax);
  EXPECT_EQ(px::shared::level_percent(std::numeric_limits<float>::infinity()), kMax);
  EXPECT_EQ(px::shared::truncate_to_int32(-3e9f), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(px::shared::truncate_to_int32(std::numeric_limits<float>::quiet_NaN()), 0);
}

// Both deliverables compile the same rule; it is usable where constants are.
static_assert(px::shared::level_percent(0.5f) == 50);

}  // namespace
