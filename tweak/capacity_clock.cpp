#include "tweak/capacity_clock.h"

#include "history/remaining_text.h"
#include "platform/foundation/date_formatter.h"
#include "platform/foundation/format.h"
#include "platform/foundation/property_list_files.h"
#include "shared/names.h"
#include "tweak/hook_table.h"
#include "tweak/time_remaining.h"
#include "tweak/tweak_settings.h"
#include "tweak/tweak_state.h"

namespace px::tweak {

namespace {
// The time item's two patterns: 24-hour for timemode 1, else 12-hour.
constexpr platform::foundation::FormatString<platform::foundation::Value> kClockPattern24 = "HH:mm '-' '%@'";
constexpr platform::foundation::FormatString<platform::foundation::Value> kClockPattern12 = "hh:mm  a '-' '%@'";
}  // namespace

std::string capacityClockPattern(std::int32_t timemode, const platform::foundation::Value& capacityText) {
  return platform::foundation::format(timemode == 1 ? kClockPattern24 : kClockPattern12, capacityText);
}

void aggregator_updateTimeItems(platform::objc::id self, platform::objc::SEL cmd) {
  if (orig_updateTimeItems) (*orig_updateTimeItems)(self, cmd);
  if (!TweakSettings.statusbarMah) return;
  platform::foundation::Value data =
      platform::foundation::dictionaryWithContentsOfFile(platform::sim::DevicePath(shared::kBatteryDataFile));
  std::string text = platform::foundation::format("%@ mAh", data["AppleRawCurrentCapacity"]);
  // "1198 mAh - 3:40": the time left follows while there is one to show.
  if (TweakSettings.statusbarTime)
    if (std::string left = history::remaining_clock_text(timeRemaining()); !left.empty()) text += " - " + left;
  statusMah = platform::foundation::Value(text);
}

void aggregator_resetTimeItemFormatter(platform::objc::id self, platform::objc::SEL cmd) {
  if (orig_resetTimeItemFormatter) (*orig_resetTimeItemFormatter)(self, cmd);
  if (!TweakSettings.statusbarMah) return;
  platform::objc::Ivar ivar =
      platform::objc::class_getInstanceVariable(platform::objc::object_getClass(self), "_timeItemDateFormatter");
  // Without the variable, or with no formatter in it, the time item keeps
  // SpringBoard's own format.
  auto formatter = platform::objc::cast<platform::foundation::NSDateFormatter>(
      platform::objc::object_getIvar<platform::objc::id>(self, ivar));
  if (!formatter) return;
  formatter->setDateFormat(capacityClockPattern(TweakSettings.timemode, statusMah));
}

}  // namespace px::tweak
