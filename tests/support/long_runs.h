#pragma once
// Fault-injection and soak tests keep a short default so that `make test`
// stays quick; `PX_LONG_RUNS=1 make test` (or ctest) runs their long mode.

#include <cstdlib>
#include <string_view>

namespace px::tests::support {

inline bool long_runs() {
  const char* value = std::getenv("PX_LONG_RUNS");
  return value != nullptr && std::string_view(value) == "1";
}

// How many rounds a test runs: `short_count` by default, `long_count` in the long mode.
inline long rounds(long short_count, long long_count) { return long_runs() ? long_count : short_count; }

}  // namespace px::tests::support
