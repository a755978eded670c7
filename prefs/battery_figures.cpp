#include "prefs/battery_figures.h"

#include <cstdlib>

#include "platform/foundation/property_list_files.h"
#include "prefs/bundle_paths.h"

namespace px::prefs {

platform::foundation::Value battery_data() {
  return platform::foundation::dictionaryWithContentsOfFile(platform::sim::DevicePath(pathToData));
}

std::optional<std::string> temperature_text(const platform::foundation::Value& temperature) {
  if (!temperature.is_number() || temperature.boolean()) return std::nullopt;
  std::int64_t hundredths = temperature.longLongValue();
  // Magnitude as unsigned so that the most negative value cannot overflow.
  std::uint64_t magnitude = hundredths < 0 ? 0 - static_cast<std::uint64_t>(hundredths) : hundredths;
  std::string fraction = std::to_string(magnitude % 100);
  if (fraction.size() < 2) fraction = "0" + fraction;
  return std::string(hundredths < 0 ? "-" : "") + std::to_string(magnitude / 100) + "." + fraction;
}

platform::foundation::Value temperature_value(const platform::foundation::Value& temperature) {
  auto text = temperature_text(temperature);
  return text ? platform::foundation::Value(*text) : platform::foundation::Value();
}

}  // namespace px::prefs
