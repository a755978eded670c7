// The History pane over one simulated year of battery history: every row and
// both charts of one screen, beside a bare SELECT count(*) over the same store.
//
// The store is what a year of broadcasts every 20 s leaves after thinning:
// the last 30 days at full rate and one sample an hour before that, recorded
// through the tweak's writer from
// the aging simulated battery (about 1.5 cycles a day, 0.02 % per cycle).
// It ends before the battery broadcast benchmark's samples, so those append
// after it and change nothing the pane shows.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "bench/summary.h"
#include "history/sample.h"
#include "history/store.h"
#include "host/device/sim_battery.h"
#include "platform/foundation/run_loop.h"
#include "platform/objc/runtime.h"
#include "platform/preferences/ps_list_controller.h"
#include "platform/sim/device_clock.h"
#include "prefs/history_snapshot.h"
#include "prefs/panes.h"

namespace {

constexpr std::int64_t kYearEnd = 1'417'990'000;  // before the broadcast benchmark's UpdateTime
constexpr std::int64_t kDay = 86400;

void make_year_store() {
  static bool made = false;
  if (made) return;
  made = true;
  auto started = std::chrono::steady_clock::now();
  px::host::device::SimBattery battery(
      *px::host::device::parse_sim_options("level=90,rate=-0.1/min,cycle=20-90,wear=0.02%/cycle,cycles=0"));
  px::history::HistoryWriter writer;
  std::int64_t start = kYearEnd - 365 * kDay, recent = kYearEnd - 30 * kDay;
  long long written = 0;
  for (std::int64_t t = start; t <= kYearEnd; t += t < recent ? 3600 : 20) {
    auto s = battery.sample(static_cast<double>(t - start), static_cast<double>(t));
    auto r = writer.record(px::history::sample_from_status(s.status, static_cast<int>(s.level * 100), 0), t);
    written += r.outcome == px::history::RecordOutcome::stored;
  }
  writer.close();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::fprintf(stderr, "history: one simulated year, %lld samples stored in %.1f s\n", written, seconds);
}

// The pane as the Settings app opens it: every getter, then both chart rows'
// views; the main loop's turn afterwards lets the next screen read afresh.
std::shared_ptr<px::platform::preferences::PSListController> history_pane() {
  static std::shared_ptr<px::platform::preferences::PSListController> pane;
  if (!pane) {
    px::prefs::register_classes();
    pane = px::platform::preferences::PSListController::make_for(px::platform::objc::objc_getClass("History"));
  }
  return pane;
}

void BM_HistoryPaneOpen(benchmark::State& state) {
  make_year_store();
  px::platform::sim::set_device_now(static_cast<double>(kYearEnd + 60));
  px::platform::objc::id pane(history_pane());
  for (auto _ : state) {
    for (const char* getter : {"HealthNow:", "Health30DaysAgo:", "Health365DaysAgo:", "CyclesPerWeek:",
                               "LastFullCharge:", "Forecast:", "SessionCount:"})
      benchmark::DoNotOptimize(px::platform::objc::msg_send<px::platform::foundation::Value>(
          pane, px::platform::objc::sel(getter), px::platform::objc::id()));
    for (const char* chart : {"LevelChart:", "HealthChart:"})
      benchmark::DoNotOptimize(px::platform::objc::msg_send<px::platform::objc::id>(
          pane, px::platform::objc::sel(chart), px::platform::objc::id()));
    px::platform::foundation::RunLoop::main().run_until_idle();
    px::prefs::forget_history_snapshot();  // an unchanged store would be answered from the last screen
  }
}
BENCHMARK(BM_HistoryPaneOpen)->Unit(benchmark::kMillisecond);

void BM_HistoryCountFloor(benchmark::State& state) {
  make_year_store();
  for (auto _ : state) {
    px::history::HistoryReader reader;
    (void)reader.open();
    (void)reader.begin_read();
    benchmark::DoNotOptimize(reader.sample_count());
    reader.end_read();
  }
}
BENCHMARK(BM_HistoryCountFloor)->Unit(benchmark::kMillisecond);

}  // namespace
