#pragma once
// The battery history's benchmarks register themselves; this adds the figures
// measured once: the size of a year's store and the time writing it took.

namespace px::bench {

void add_history_extras();

}  // namespace px::bench
