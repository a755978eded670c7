// `make bench`, the time-left estimate's accuracy: over discharges under each
// usage and charges from 5, 20 and 50 %, each with a change of load halfway,
// the median error, the share of ranges holding the true time, and the error
// once five minutes have passed since the change. Given CSV traces as
// arguments (see bench/remaining_trace.h), measures those instead.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/remaining_trace.h"
#include "history/remaining_estimate.h"

namespace {

// Checks with less time left than this are left out: a minute off at the very
// end is no error worth a percentage.
constexpr double kShortestChecked = 10 * 60;
// "Within five minutes of a change": the checks from 5 to 15 minutes after it.
constexpr std::int64_t kSettleFrom = 5 * 60, kSettleTo = 15 * 60;

struct Tally {
  std::vector<double> errors;
  std::size_t held = 0, calculating = 0, checks = 0;
  double worst_settled = 0;
  std::size_t settled_checks = 0, settled_within = 0;
};

double median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

Tally measure(const px::bench::Trace& trace) {
  Tally tally;
  std::vector<px::history::Sample> seen;
  for (const px::bench::TracePoint& p : trace.points) {
    seen.push_back(p.sample);
    if (!p.truth_seconds || *p.truth_seconds < kShortestChecked) continue;
    ++tally.checks;
    px::history::RemainingEstimate e = px::history::estimate_remaining(seen, p.sample.time);
    if (e.status != px::history::RemainingStatus::ok) {
      ++tally.calculating;
      continue;
    }
    double truth = *p.truth_seconds;
    double error = std::fabs(e.seconds - truth) / truth;
    tally.errors.push_back(error);
    if (e.seconds_low <= truth && truth <= e.seconds_high) ++tally.held;
    if (trace.load_change) {
      std::int64_t after = p.sample.time - *trace.load_change;
      if (after >= kSettleFrom && after <= kSettleTo) {
        ++tally.settled_checks;
        if (error <= 0.10) ++tally.settled_within;
        tally.worst_settled = std::max(tally.worst_settled, error);
      }
    }
  }
  return tally;
}

void print_row(const std::string& name, const Tally& t) {
  std::size_t ok = t.errors.size();
  std::printf(
      "%-34s %6zu %5zu %9.1f %% %9.1f %% %9.1f %% %8.1f %%\n", name.c_str(), t.checks, t.calculating,
      100 * median(t.errors), ok ? 100.0 * static_cast<double>(t.held) / static_cast<double>(ok) : NAN,
      t.settled_checks ? 100.0 * static_cast<double>(t.settled_within) / static_cast<double>(t.settled_checks) : NAN,
      100 * t.worst_settled);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<px::bench::Trace> traces;
  if (argc > 1) {
    for (int i = 1; i < argc; ++i) {
      std::string error;
      auto trace = px::bench::read_trace(argv[i], error);
      if (!trace) {
        std::fprintf(stderr, "px_remaining_bench: %s\n", error.c_str());
        return 2;
      }
      traces.push_back(std::move(*trace));
    }
  } else {
    unsigned seed = 1;
    const std::vector<std::pair<std::string, std::string>> discharges{
        {"idle", "browse"}, {"browse", "video"}, {"video", "idle"}, {"call", "browse"}, {"browse", "idle"}};
    for (const auto& [first, second] : discharges) traces.push_back(px::bench::sim_discharge(first, second, seed++));
    for (int from : {5, 20, 50}) {
      traces.push_back(px::bench::sim_charge(from, "idle", "video", seed++));
      traces.push_back(px::bench::sim_charge(from, "browse", "idle", seed++));
    }
  }

  std::printf("Time-left estimate (checks: every broadcast with 10 min or more left)\n");
  std::printf("%-34s %6s %5s %11s %11s %11s %10s\n", "run", "checks", "calc", "median err", "range holds",
              "<=10% 5-15m", "worst 5-15m");
  Tally all;
  for (const px::bench::Trace& trace : traces) {
    Tally t = measure(trace);
    print_row(trace.name, t);
    all.errors.insert(all.errors.end(), t.errors.begin(), t.errors.end());
    all.held += t.held;
    all.calculating += t.calculating;
    all.checks += t.checks;
    all.settled_checks += t.settled_checks;
    all.settled_within += t.settled_within;
    all.worst_settled = std::max(all.worst_settled, t.worst_settled);
  }
  print_row("all", all);
  double holds = static_cast<double>(all.held) / static_cast<double>(std::max<std::size_t>(1, all.errors.size()));
  double settled =
      static_cast<double>(all.settled_within) / static_cast<double>(std::max<std::size_t>(1, all.settled_checks));
  std::printf(
      "goals: median error <= 10 %% (%s), range holds >= 90 %% (%s), 5-15 min after a change of load "
      "<= 10 %% error in >= 90 %% of checks (%s)\n",
      median(all.errors) <= 0.10 ? "met" : "NOT met", holds >= 0.90 ? "met" : "NOT met",
      all.settled_checks == 0 ? "no change of load"
      : settled >= 0.90       ? "met"
                              : "NOT met");
  return 0;
}
