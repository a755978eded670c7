// The battery history's costs in the tweak: a broadcast with history kept
// beside the same broadcast with keepHistory off, and the store a whole year
// of broadcasts every 20 s leaves, written by the real writer (thinning as it
// goes), so its size is the size a user's store reaches.
#include "bench/history_bench.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "bench/summary.h"
#include "history/store.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/sqlite/device_database.h"
#include "shared/names.h"

namespace px::bench {
platform::foundation::Value realistic_status();
platform::foundation::Value full_settings();

namespace {
using platform::foundation::Value;

constexpr std::int64_t kYear = 365 * 86400;
constexpr std::int64_t kBroadcastEvery = 20;
// Beside the tweak's own store, which the broadcast benchmarks write.
constexpr const char* kYearStore = "/var/mobile/Library/HistoryBench/PylonexHistory.sqlite";

// Switches keepHistory in the loaded tweak as the settings pane does: the
// settings file written, the reload notification posted and delivered.
bool set_keep_history(bool on) {
  if (!::dlopen(PX_TWEAK_DYLIB, RTLD_NOW | RTLD_NOLOAD)) return false;
  Value settings = full_settings();
  settings.mutable_dictionary()["keepHistory"] = Value(on);
  platform::foundation::writeToFile(settings, platform::sim::DevicePath(shared::kSettingsFile));
  platform::foundation::darwin::post(shared::kSettingsChangedNotification);
  platform::foundation::RunLoop::main().run_until_idle();
  return true;
}

void broadcast_loop(benchmark::State& state, bool keep) {
  if (!set_keep_history(keep)) return state.SkipWithError("tweak not loaded");
  Value status = realistic_status();
  auto& center = platform::foundation::NSNotificationCenter::defaultCenter();
  // After the History pane benchmark's year and the other broadcasts' times,
  // with the device clock there too: nothing written here is old history.
  static std::int64_t t = 1'428'000'000;
  platform::sim::set_device_now(static_cast<double>(t));
  for (auto _ : state) {
    // Broadcasts as the device makes them: 20 s apart, the capacity moving.
    t += kBroadcastEvery;
    status.mutable_dictionary()["UpdateTime"] = Value(static_cast<long long>(t));
    status.mutable_dictionary()["AppleRawCurrentCapacity"] = Value(static_cast<long long>(1400 + t / 20 % 100));
    center.postNotificationName("SBUIBatteryStatusChangedNotification", nullptr, status);
  }
  set_keep_history(true);
}
void BM_BroadcastHistoryOn(benchmark::State& state) { broadcast_loop(state, true); }
void BM_BroadcastHistoryOff(benchmark::State& state) { broadcast_loop(state, false); }
BENCHMARK(BM_BroadcastHistoryOn)->UseRealTime();
BENCHMARK(BM_BroadcastHistoryOff)->UseRealTime();

// One simulated year of a phone's life, a broadcast every 20 s: charged
// from 20 % to 90 % once or twice a day, wearing 0.02 % per cycle, its
// temperature, voltage and current moving as a real gauge's do.
struct YearStore {
  std::int64_t now = 0;
  double seconds_to_write = 0;
  long long samples = 0;
  std::uintmax_t bytes = 0;
};

YearStore& year_store() {
  static YearStore y = [] {
    YearStore out;
    std::string folder = platform::sim::DevicePath("/var/mobile/Library/HistoryBench").host();
    std::filesystem::create_directories(folder);
    const std::int64_t start = static_cast<std::int64_t>(platform::sim::device_now()) - kYear;
    history::HistoryWriter::Options options;
    options.device_file = kYearStore;
    history::HistoryWriter writer(options);
    double level = 80, cycles = 300, health = 92;
    bool charging = false;
    auto t0 = std::chrono::steady_clock::now();
    for (std::int64_t t = start; t < start + kYear; t += kBroadcastEvery) {
      double step = charging ? 70.0 / (2 * 3600) * kBroadcastEvery : -70.0 / (14 * 3600) * kBroadcastEvery;
      level += step;
      if (!charging && level <= 20) charging = true;
      if (charging && level >= 90) charging = false;
      if (step < 0) {
        cycles += -step / 100;
        health -= 0.02 * -step / 100;
      }
      long long max = std::llround(1560 * health / 100);
      long long amps = charging ? 1000 : -260 - (t / 60 % 7) * 10;
      platform::foundation::Dictionary status{
          {"UpdateTime", static_cast<long long>(t)},
          {"IsCharging", charging},
          {"ExternalConnected", charging},
          {"FullyCharged", false},
          {"AppleRawCurrentCapacity", std::llround(max * level / 100)},
          {"MaxCapacity", max},
          {"DesignCapacity", 1560LL},
          {"CycleCount", static_cast<long long>(cycles)},
          {"Temperature", 2900LL + static_cast<long long>(level) + (charging ? 300 : 0)},
          {"Voltage", 3600LL + static_cast<long long>(level * 6)},
          {"InstantAmperage", amps}};
      if (charging) status["AdapterDetails"] = Value(platform::foundation::Dictionary{{"Watts", 5LL}});
      writer.record(history::sample_from_status(Value(status), static_cast<std::int32_t>(level), 0), t);
    }
    out.seconds_to_write = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    writer.close();
    out.now = start + kYear;
    platform::sqlite::DeviceOpen opened =
        platform::sqlite::open_device_database(kYearStore, platform::sqlite::OpenMode::read_only);
    out.samples = -1;
    if (opened.database)
      out.samples = opened.database->query_int("SELECT count(*) FROM samples").value_or({}).value_or(-1);
    for (const char* suffix : {"", "-wal"}) {
      std::error_code ec;
      auto size = std::filesystem::file_size(platform::sim::DevicePath(kYearStore).host() + suffix, ec);
      if (!ec) out.bytes += size;
    }
    return out;
  }();
  return y;
}

}  // namespace

void add_history_extras() {
  YearStore& y = year_store();
  char size[64], written[64], rows[64];
  std::snprintf(size, sizeof size, "%.2f MiB", static_cast<double>(y.bytes) / (1 << 20));
  std::snprintf(rows, sizeof rows, "%lld rows", y.samples);
  std::snprintf(written, sizeof written, "%.1f s", y.seconds_to_write);
  extras().push_back({"history store, 1 year @20 s", size, rows, "", "report"});
  extras().push_back({"history: writing that year", written, "", "", "report"});
}

}  // namespace px::bench
