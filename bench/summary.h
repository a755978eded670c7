#pragma once
// The one table `make bench` prints: each measured path beside the floor it
// cannot beat, both timed in the same run, and their ratio.

#include <map>
#include <string>
#include <vector>

namespace bench {

struct Row {
  std::string path;
  std::string measured;  // benchmark name (or a literal figure, see below)
  std::string floor;     // benchmark name of the floor
  std::string target;    // "<= 1.5x", "report only"
};

// Nanoseconds per iteration of every benchmark that ran, by name.
std::map<std::string, double>& results();

// Extra lines measured outside Google Benchmark (latencies, memory, start-up).
struct Extra {
  std::string path, measured, floor, ratio, target;
};
std::vector<Extra>& extras();

void print_summary(const std::vector<Row>& rows);

}  // namespace bench
