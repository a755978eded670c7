// `make bench`: the hot paths of the system beside their floors.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bench/history_bench.h"
#include "bench/latency.h"
#include "bench/summary.h"
#include "bench/workloads.h"

namespace {

// Keeps Google Benchmark's own console output and remembers each result.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (auto& run : runs) {
      // With repetitions, the median of them stands for the benchmark.
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      if (!(median || single) || run.error_occurred) continue;
      double scale = 1;
      switch (run.time_unit) {
        case benchmark::kMicrosecond:
          scale = 1e3;
          break;
        case benchmark::kMillisecond:
          scale = 1e6;
          break;
        case benchmark::kSecond:
          scale = 1e9;
          break;
        default:
          break;
      }
      px::bench::results()[run.run_name.function_name] = {run.GetAdjustedRealTime() * scale,
                                                          run.GetAdjustedCPUTime() * scale};
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

// Unless told otherwise, each benchmark runs five times, the runs of all of
// them shuffled together, so that a slow spell of the machine falls on paths
// and floors alike instead of on whichever ran during it.
std::vector<char*> with_default_repetitions(int argc, char** argv) {
  static std::string repetitions = "--benchmark_repetitions=5";
  static std::string interleaving = "--benchmark_enable_random_interleaving=true";
  static std::string min_time = "--benchmark_min_time=0.2";
  std::vector<char*> args(argv, argv + argc);
  bool told = false;
  for (int i = 1; i < argc; ++i) told = told || std::string_view(argv[i]).starts_with("--benchmark_repetitions");
  if (!told) {
    args.push_back(repetitions.data());
    args.push_back(interleaving.data());
    args.push_back(min_time.data());
  }
  args.push_back(nullptr);
  return args;
}

std::string us(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f us", v);
  return buf;
}

}  // namespace

int main(int argc, char** argv) {
  px::bench::Workloads workloads;  // a temporary device
  std::vector<char*> args = with_default_repetitions(argc, argv);
  int arg_count = static_cast<int>(args.size()) - 1;
  benchmark::Initialize(&arg_count, args.data());
  // Children measured for memory fork from this process before it loads the
  // tweak; the timed benchmarks then run with it loaded.
  // PX_BENCH_TIMED_ONLY=1 skips the process-level figures (profiling runs).
  bool timed_only = std::getenv("PX_BENCH_TIMED_ONLY") != nullptr;
  if (!timed_only) workloads.add_extras();
  if (!timed_only) px::bench::add_history_extras();
  workloads.start_deliverables();
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  if (timed_only) {
    benchmark::Shutdown();
    return 0;
  }
  auto darwin = px::bench::darwin_post_to_callback(10000);
  auto floor = px::bench::inotify_touch_to_read(10000);
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.2fx", floor.p99_us > 0 ? darwin.p99_us / floor.p99_us : 0.0);
  px::bench::extras().push_back({"Darwin notification p50", us(darwin.p50_us), us(floor.p50_us), "", "report"});
  px::bench::extras().push_back({"Darwin notification p99", us(darwin.p99_us), us(floor.p99_us), ratio, "<= 2x"});
  px::bench::print_summary({
      {"battery broadcast", "BM_BatteryBroadcast", "BM_BatteryBroadcastFloor", "<= 1.5x", true},
      {"other notifications", "BM_OtherNotification", "BM_OtherNotificationFloor", "<= 1.1x"},
      {"pane row", "BM_PaneRow", "BM_PaneRowFloor", "<= 1.3x"},
      {"settings reload", "BM_SettingsReload", "BM_SettingsReloadFloor", "<= 1.3x"},
      {"pane row: read + libplist", "BM_PaneRowReadAndParse", "BM_PaneRowFloor", "reference"},
      {"settings: read + libplist", "BM_SettingsReloadReadAndParse", "BM_SettingsReloadFloor", "reference"},
      {"capacity clock", "BM_ClockOn", "BM_ClockOff", "report only"},
      {"device clock reading", "BM_DeviceClockReading", "BM_DeviceClockFloor", "report only"},
      {"broadcast, history on/off", "BM_BroadcastHistoryOn", "BM_BroadcastHistoryOff", "<= 1.15x", true},
      {"atomic write, fsync", "BM_AtomicWriteDurable", "BM_AtomicWriteNoSync", "report only", true},
      {"History pane, 1 year", "BM_HistoryPaneOpen", "BM_HistoryCountFloor", "< 50 ms", true},
  });
  benchmark::Shutdown();
  return 0;
}
