#include "bench/summary.h"

#include <cstdio>

namespace px::bench {

std::map<std::string, Timing>& results() {
  static std::map<std::string, Timing> r;
  return r;
}

std::vector<Extra>& extras() {
  static std::vector<Extra> e;
  return e;
}

namespace {
std::string figure(double ns) {
  char buf[32];
  if (ns >= 1e6)
    std::snprintf(buf, sizeof buf, "%.2f ms", ns / 1e6);
  else if (ns >= 1e3)
    std::snprintf(buf, sizeof buf, "%.2f us", ns / 1e3);
  else
    std::snprintf(buf, sizeof buf, "%.0f ns", ns);
  return buf;
}
}  // namespace

void print_summary(const std::vector<Row>& rows) {
  std::printf("\n%-28s | %-12s | %-12s | %-7s | %s\n", "path", "measured", "floor", "ratio", "target");
  std::printf("(wall-clock time for paths that write to disk, CPU time for the others)\n");
  std::printf("%s\n", std::string(82, '-').c_str());
  for (auto& row : rows) {
    auto m = results().find(row.measured);
    auto f = results().find(row.floor);
    if (m == results().end() || f == results().end()) {
      std::printf("%-28s | %-12s | %-12s | %-7s | %s\n", row.path.c_str(), "n/a", "n/a", "-", row.target.c_str());
      continue;
    }
    double measured = row.wall_clock ? m->second.real_ns : m->second.cpu_ns;
    double floor = row.wall_clock ? f->second.real_ns : f->second.cpu_ns;
    char ratio[16];
    std::snprintf(ratio, sizeof ratio, "%.2fx", measured / floor);
    std::printf("%-28s | %-12s | %-12s | %-7s | %s\n", row.path.c_str(), figure(measured).c_str(),
                figure(floor).c_str(), ratio, row.target.c_str());
  }
  for (auto& e : extras())
    std::printf("%-28s | %-12s | %-12s | %-7s | %s\n", e.path.c_str(), e.measured.c_str(), e.floor.c_str(),
                e.ratio.c_str(), e.target.c_str());
}

}  // namespace px::bench
