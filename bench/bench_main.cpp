// `make bench`: the hot paths of the system beside their floors.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "bench/latency.h"
#include "bench/summary.h"
#include "bench/workloads.h"

namespace {

// Keeps Google Benchmark's own console output and remembers each result.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (auto& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      double scale = 1;
      switch (run.time_unit) {
        case benchmark::kMicrosecond: scale = 1e3; break;
        case benchmark::kMillisecond: scale = 1e6; break;
        case benchmark::kSecond: scale = 1e9; break;
        default: break;
      }
      bench::results()[run.benchmark_name()] = {run.GetAdjustedRealTime() * scale, run.GetAdjustedCPUTime() * scale};
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

std::string us(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f us", v);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  bench::Workloads workloads;  // a temporary device
  benchmark::Initialize(&argc, argv);
  // Children measured for memory fork from this process before it loads the
  // tweak; the timed benchmarks then run with it loaded.
  // PX_BENCH_TIMED_ONLY=1 skips the process-level figures (profiling runs).
  bool timed_only = std::getenv("PX_BENCH_TIMED_ONLY") != nullptr;
  if (!timed_only) workloads.add_extras();
  workloads.start_deliverables();
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  if (timed_only) {
    benchmark::Shutdown();
    return 0;
  }
  auto darwin = bench::darwin_post_to_callback(10000);
  auto floor = bench::inotify_touch_to_read(10000);
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.2fx", floor.p99_us > 0 ? darwin.p99_us / floor.p99_us : 0.0);
  bench::extras().push_back({"Darwin notification p50", us(darwin.p50_us), us(floor.p50_us), "", "report"});
  bench::extras().push_back({"Darwin notification p99", us(darwin.p99_us), us(floor.p99_us), ratio, "<= 2x"});
  bench::print_summary({
      {"battery broadcast", "BM_BatteryBroadcast", "BM_BatteryBroadcastFloor", "<= 1.5x", true},
      {"other notifications", "BM_OtherNotification", "BM_OtherNotificationFloor", "<= 1.1x"},
      {"pane row", "BM_PaneRow", "BM_PaneRowFloor", "<= 1.3x"},
      {"settings reload", "BM_SettingsReload", "BM_SettingsReloadFloor", "<= 1.3x"},
      {"pane row: read + libplist", "BM_PaneRowReadAndParse", "BM_PaneRowFloor", "reference"},
      {"settings: read + libplist", "BM_SettingsReloadReadAndParse", "BM_SettingsReloadFloor", "reference"},
      {"capacity clock", "BM_ClockOn", "BM_ClockOff", "report only"},
      {"atomic write, fsync", "BM_AtomicWriteDurable", "BM_AtomicWriteNoSync", "report only", true},
  });
  benchmark::Shutdown();
  return 0;
}
