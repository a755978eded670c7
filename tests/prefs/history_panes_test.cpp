// The History panes over a store filled by the aging simulated battery (its
// model driven with a manual clock), over no store at all, and the Clear
// History button's confirmation.

#include <gtest/gtest.h>

#include "history/sample.h"
#include "history/store.h"
#include "host/device/sim_battery.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_image_view.h"
#include "prefs/history_snapshot.h"
#include "shared/names.h"
#include "tests/prefs/prefs_fixture.h"

namespace {

constexpr std::int64_t kStart = 1'750'000'000;
constexpr std::int64_t kDay = 86400;

class HistoryPanes : public px::prefs::PrefsTest {
 protected:
  // Lives `days` on a battery cycling 20–90 % about twice a day, a broadcast
  // every 10 simulated minutes, recorded as the tweak records them.
  std::int64_t live(int days, const std::string& options = "level=90,rate=-0.12/min,cycle=20-90,wear=0.05%/cycle") {
    px::host::device::SimBattery battery(*px::host::device::parse_sim_options(options));
    px::history::HistoryWriter writer;
    std::int64_t t = kStart;
    for (; t <= kStart + days * kDay; t += 600) {
      auto s = battery.sample(static_cast<double>(t - kStart), static_cast<double>(t));
      writer.record(px::history::sample_from_status(s.status, static_cast<int>(s.level * 100), 0), t);
    }
    px::platform::sim::set_device_now(static_cast<double>(t));
    return t;
  }
  std::string row(const char* getter) { return get(pane("History"), getter); }
  // A chart row's view as the Settings app makes it.
  std::shared_ptr<px::platform::uikit::UIImageView> chart(const char* selector) {
    auto p = pane("History");
    auto view = px::platform::objc::msg_send<px::platform::objc::id>(
        px::platform::objc::id(p), px::platform::objc::sel(selector), px::platform::objc::id());
    return std::dynamic_pointer_cast<px::platform::uikit::UIImageView>(view);
  }
};

TEST_F(HistoryPanes, NoStoreOrAClearedOneReadsEmptyAndOnlyAnUnreadableOneUnavailable) {
  auto expect_empty = [&](const char* when) {
    for (const char* getter : {"HealthNow:", "Health30DaysAgo:", "Forecast:", "SessionCount:"})
      EXPECT_NE(row(getter), "History unavailable") << when << " " << getter;
    auto level = chart("LevelChart:");
    ASSERT_TRUE(level && level->image());
    EXPECT_EQ(level->accessibilityChartDescriptor()->summary, "No samples yet") << when;
  };
  expect_empty("no store");
  std::int64_t now = live(2);
  px::platform::foundation::RunLoop::main().run_until_idle();
  ASSERT_NE(chart("LevelChart:")->accessibilityChartDescriptor()->summary, "No samples yet");
  px::history::HistoryWriter clearing;
  ASSERT_TRUE(clearing.clear(now).ok());
  px::platform::foundation::RunLoop::main().run_until_idle();
  expect_empty("cleared");
  clearing.close();
  for (const char* suffix : {"", "-wal", "-shm"})
    std::filesystem::remove(device.path(px::shared::kHistoryStoreFile) + suffix);
  device.write_text("/var/mobile/Library/PylonexHistory.sqlite", "not a database at all, just some text");
  px::platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_EQ(row("HealthNow:"), "History unavailable");
  EXPECT_EQ(chart("LevelChart:")->accessibilityChartDescriptor()->summary, "History unavailable");
}

TEST_F(HistoryPanes, NowTakesTheNewestSampleWhoseTimeTheStatusRoundedUp) {
  px::history::HistoryWriter writer;
  for (auto [time, level] : {std::pair{kStart, 40}, std::pair{kStart + 61, 42}}) {
    px::platform::foundation::Value status(
        px::platform::foundation::Dictionary{{"UpdateTime", static_cast<long long>(time)}});
    writer.record(px::history::sample_from_status(status, level, 0), time);
  }
  px::platform::sim::set_device_now(static_cast<double>(kStart) + 60.6);  // the status said 61
  px::platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_EQ(chart("LevelChart:")->accessibilityChartDescriptor()->summary.rfind("42 % now", 0), 0u);
}

TEST_F(HistoryPanes, SixtyDaysOfAgingFillEveryRowAndBothCharts) {
  std::int64_t now = live(60);
  std::string health = row("HealthNow:");
  ASSERT_NE(health, "History unavailable");
  EXPECT_EQ(health.substr(health.size() - 2), " %");
  double now_pct = std::stod(health), month_ago = std::stod(row("Health30DaysAgo:"));
  EXPECT_LT(now_pct, month_ago) << "the battery wore over the month";
  EXPECT_EQ(row("Health365DaysAgo:"), "Not yet available");
  double per_week = std::stod(row("CyclesPerWeek:"));
  EXPECT_NEAR(per_week, 0.12 * 60 * 24 / 140.0 * 0.7 * 7, 1.5);  // 0.7 cycles per turn, a turn per 140 % of travel
  EXPECT_EQ(row("LastFullCharge:"), "None yet") << "a 20–90 cycle never charges full";
  std::string forecast = row("Forecast:");
  EXPECT_EQ(forecast.rfind("80 % in about ", 0), 0u) << forecast;
  EXPECT_NE(forecast.find(", around "), std::string::npos) << forecast;
  EXPECT_NE(row("SessionCount:").find(" in 30 days"), std::string::npos);

  auto level = chart("LevelChart:");
  ASSERT_TRUE(level && level->image() && level->image()->CGImage());
  auto level_data = level->accessibilityChartDescriptor();
  ASSERT_TRUE(level_data);
  int measured = 0;
  for (auto& v : level_data->series[0].values) {
    if (!v) continue;
    ++measured;
    EXPECT_GE(*v, 19.5);
    EXPECT_LE(*v, 90.5);
  }
  EXPECT_EQ(measured, 48) << "a reading in every half hour of the day";
  auto health_chart = chart("HealthChart:")->accessibilityChartDescriptor();
  ASSERT_EQ(health_chart->series.size(), 2u) << "measured, and the forecast continued to 80 %";
  EXPECT_LE(health_chart->y_min, 80);
  auto& projected = health_chart->series[1].values;
  ASSERT_TRUE(projected.back());
  EXPECT_NEAR(*projected.back(), 80, 1.5) << "the dashed line ends at 80 %";
  EXPECT_GT(now, kStart);
}

TEST_F(HistoryPanes, OneScreenReadsOneSnapshotAndTheNextReadsAgain) {
  live(20);
  std::string before = row("HealthNow:");
  px::history::HistoryWriter writer;  // a newer, much worn reading
  px::history::Sample worn;
  worn.time = static_cast<std::int64_t>(px::platform::sim::device_now()) + 60;
  worn.max_capacity = 780;
  worn.design_capacity = 1560;
  ASSERT_EQ(writer.record(worn, worn.time).outcome, px::history::RecordOutcome::stored);
  EXPECT_EQ(row("HealthNow:"), before) << "the same screen sees the same store";
  EXPECT_FALSE(px::platform::foundation::RunLoop::main().has_pending_timers())
      << "an open pane never wakes the loop itself";
  px::platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_EQ(row("HealthNow:"), "50.0 %");
}

TEST(LevelChart, ProjectsTheTimeLeftFromTheNewestLevelCutAtTheChartsEnd) {
  std::vector<px::history::Sample> day(2);
  day[0].time = kStart - 600;
  day[0].level = 60;
  day[1].time = kStart;
  day[1].level = 50;
  px::history::RemainingEstimate e;
  e.status = px::history::RemainingStatus::ok;
  e.direction = px::history::RemainingDirection::to_empty;
  e.seconds = e.seconds_low = e.seconds_high = 3600;
  auto c = px::prefs::level_chart_data(day, kStart, e);
  ASSERT_EQ(c.forecast.size(), 2u);
  EXPECT_EQ(c.forecast[0].x, kStart);
  EXPECT_EQ(c.forecast[1].x, kStart + 3600);
  EXPECT_EQ(c.forecast[1].y, 0);
  EXPECT_EQ(c.x.max, kStart + px::prefs::kLevelAhead);
  EXPECT_NE(c.summary.find(", empty in 1 h"), std::string::npos) << c.summary;
  // Longer than the chart runs ahead: the line stops at its end, where the straight line is then.
  e.direction = px::history::RemainingDirection::to_full;
  e.seconds = 2.0 * px::prefs::kLevelAhead;
  c = px::prefs::level_chart_data(day, kStart, e);
  ASSERT_EQ(c.forecast.size(), 2u);
  EXPECT_EQ(c.forecast[1].x, c.x.max);
  EXPECT_DOUBLE_EQ(c.forecast[1].y, 75);
  // Still calculating: the chart ends now, with no dashed line.
  e.status = px::history::RemainingStatus::calculating;
  c = px::prefs::level_chart_data(day, kStart, e);
  EXPECT_TRUE(c.forecast.empty());
  EXPECT_EQ(c.x.max, kStart);
}

TEST_F(HistoryPanes, SessionsPaneListsTheLastTwentyNewestFirst) {
  live(30);
  auto p = pane("HistorySessions");
  auto rows = specifiers(p);
  ASSERT_TRUE(rows);
  ASSERT_EQ(rows->count(), 1 + px::history::kListedSessions);
  EXPECT_EQ(rows->items()[0]->name(), "Last 20 Sessions");
  auto first = rows->items()[1], second = rows->items()[2];
  EXPECT_GT(first->name(), second->name()) << "newest first";
  std::string details =
      px::platform::objc::msg_send<px::platform::foundation::Value>(
          px::platform::objc::id(p), px::platform::objc::sel("SessionDetails:"), px::platform::objc::id(first))
          .description();
  EXPECT_EQ(details.find(" % → "), 2u) << details;
  EXPECT_NE(details.find(" mAh, 5 W, "), std::string::npos) << details;
}

TEST_F(HistoryPanes, ClearHistoryAsksFirstAndOnlyClearPostsTheNotification) {
  int posted = 0;
  px::platform::foundation::darwin::observe(px::shared::kClearHistoryNotification, [&](std::string_view) { ++posted; });
  auto p = pane("AdvancedOptions");
  px::platform::objc::msg_send<void>(px::platform::objc::id(p), px::platform::objc::sel("ClearHistory:"),
                                     px::platform::objc::id());
  ASSERT_EQ(px::platform::uikit::AlertPresenter::shared().visible().size(), 1u);
  EXPECT_EQ(px::platform::uikit::AlertPresenter::shared().visible()[0]->title(), "Clear History");
  px::platform::uikit::AlertPresenter::shared().press(-1, 0);  // Cancel
  px::platform::objc::msg_send<void>(px::platform::objc::id(p), px::platform::objc::sel("ClearHistory:"),
                                     px::platform::objc::id());
  px::platform::uikit::AlertPresenter::shared().press(-1, 1);  // Clear
  px::platform::foundation::darwin::deliver_pending();
  px::platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_EQ(posted, 1);
}

}  // namespace
