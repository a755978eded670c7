#pragma once
// The one table `make bench` prints: each measured path beside the floor it
// cannot beat, both timed in the same run, and their ratio.

#include <map>
#include <string>
#include <vector>

namespace px::bench {

struct Row {
  std::string path;
  std::string measured;  // benchmark name (or a literal figure, see below)
  std::string floor;     // benchmark name of the floor
  std::string target;    // "<= 1.5x", "report only"
  // Paths that wait on the disk compare wall-clock time; the others compare
  // CPU time, which other work on the machine does not inflate.
  bool wall_clock = false;
};

struct Timing {
  double real_ns = 0;
  double cpu_ns = 0;
};
// Nanoseconds per iteration of every benchmark that ran, by name.
std::map<std::string, Timing>& results();

// Extra lines measured outside Google Benchmark (latencies, memory, start-up).
struct Extra {
  std::string path, measured, floor, ratio, target;
};
std::vector<Extra>& extras();

void print_summary(const std::vector<Row>& rows);

}  // namespace px::bench
