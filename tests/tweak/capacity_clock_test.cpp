#include <regex>

#include "platform/foundation/date_formatter.h"
#include "tests/tweak/tweak_harness.h"
#include "shared/names.h"

namespace px::tweak {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;
using platform::objc::sel;

class CapacityClockTest : public TweakTest {
 protected:
  platform::objc::id aggregator() { return host::springboard::shared_instance("SBStatusBarStateAggregator"); }
  std::string pattern() {
    platform::objc::Ivar ivar = platform::objc::class_getInstanceVariable(platform::objc::object_getClass(aggregator()),
                                                                          "_timeItemDateFormatter");
    auto f = platform::objc::cast<platform::foundation::NSDateFormatter>(
        platform::objc::object_getIvar<platform::objc::id>(aggregator(), ivar));
    return f ? f->dateFormat() : "<no formatter>";
  }
  void broadcast_capacity(int mAh) {
    Dictionary status = default_status();
    status["AppleRawCurrentCapacity"] = Value(mAh);
    broadcast(shared::kBatteryStatusChangedNotification, Value(status));
  }
  void start_with_timemode(int mode) {
    write_settings({{"timemode", Value(mode)}});
    start();
    broadcast_capacity(1500);
    host().tick(1, true);
  }
};

TEST_F(CapacityClockTest, TwentyFourHourPatternCarriesTheCapacity) {
  start_with_timemode(1);
  EXPECT_EQ(pattern(), "HH:mm '-' '1500 mAh'");
  EXPECT_TRUE(std::regex_match(sb().status_bar_time, std::regex(R"(\d\d:\d\d - 1500 mAh)"))) << sb().status_bar_time;
}

TEST_F(CapacityClockTest, EveryOtherTimemodeGivesTwelveHoursWithTwoBlanksBeforeTheMarker) {
  start();
  for (int mode : {0, 2, -1}) {
    SCOPED_TRACE(mode);
    write_settings({{"timemode", Value(mode)}});
    restart();
    broadcast_capacity(1500);
    host().tick(1, true);
    EXPECT_EQ(pattern(), "hh:mm  a '-' '1500 mAh'");
    EXPECT_TRUE(std::regex_match(sb().status_bar_time, std::regex(R"(\d\d:\d\d  (AM|PM) - 1500 mAh)")))
        << sb().status_bar_time;
  }
}

TEST_F(CapacityClockTest, OptionOffLeavesSpringBoardsOwnClockAndReadsNoFile) {
  write_settings({{"statusbarMah", Value(false)}});
  start();
  broadcast_capacity(1500);
  host().tick(2, true);
  EXPECT_EQ(pattern(), "H:mm");
  EXPECT_TRUE(statusMah().is_nil());
  EXPECT_TRUE(std::regex_match(sb().status_bar_time, std::regex(R"(\d?\d:\d\d)"))) << sb().status_bar_time;
}

TEST_F(CapacityClockTest, CapacityFollowsAtTheNextUpdateAndTheClockAtTheNextReset) {
  start_with_timemode(1);
  broadcast_capacity(1400);
  host().tick(1, false);
  EXPECT_EQ(statusMah(), Value("1400 mAh"));
  EXPECT_EQ(pattern(), "HH:mm '-' '1500 mAh'");
  host().tick(0, true);
  EXPECT_EQ(pattern(), "HH:mm '-' '1400 mAh'");
}

TEST_F(CapacityClockTest, MissingDataFileGivesThePlaceholder) {
  start();
  host().tick(1, true);
  EXPECT_EQ(statusMah(), Value("(null) mAh"));
  EXPECT_EQ(pattern(), "HH:mm '-' '(null) mAh'");
  EXPECT_TRUE(sb().status_bar_time.ends_with(" - (null) mAh")) << sb().status_bar_time;
}

TEST_F(CapacityClockTest, AResetBeforeAnyUpdatePutsThePlaceholderAlone) {
  start(false);
  platform::objc::msg_send<void>(aggregator(), sel("_resetTimeItemFormatter"));
  EXPECT_EQ(pattern(), "HH:mm '-' '(null)'");
}

TEST_F(CapacityClockTest, TurningTheOptionOffTakesEffectAtTheNextReset) {
  start_with_timemode(1);
  write_settings({{"statusbarMah", Value(false)}});
  reload_settings();
  host().tick(1, false);
  EXPECT_EQ(pattern(), "HH:mm '-' '1500 mAh'");
  host().tick(0, true);
  EXPECT_EQ(pattern(), "H:mm");
}

}  // namespace
}  // namespace px::tweak
