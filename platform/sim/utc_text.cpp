#include "platform/sim/utc_text.h"

#include <cmath>
#include <ctime>

namespace px::platform::sim {

std::string utc_text(std::int64_t seconds, const char* format) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (!::gmtime_r(&t, &tm)) return {};
  char buf[64];
  std::size_t n = std::strftime(buf, sizeof buf, format, &tm);
  return std::string(buf, n);
}

std::string utc_text(double seconds, const char* format) {
  return utc_text(static_cast<std::int64_t>(std::floor(seconds)), format);
}

}  // namespace px::platform::sim
