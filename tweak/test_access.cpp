#include "tweak/test_access.h"

#include "tweak/battery_history.h"
#include "tweak/charge_alarm.h"
#include "tweak/hook_table.h"
#include "tweak/info_popup.h"
#include "tweak/start_up.h"
#include "tweak/time_remaining.h"
#include "tweak/tweak_state.h"

namespace px::tweak {
namespace {

void restart() {
  TweakSettings = SettingsSnapshot{};
  resetTweakState();
  resetBatteryHistory();
  resetChargeAlarm();
  resetTimeRemaining();
  clearSavedImplementations();
  listener = nullptr;
  startTweak();
}

void reload_settings() { loadSettings(); }

}  // namespace

const TestAccess& test_access() {
  static const TestAccess access{
      .version = TestAccess::kVersion,
      .settings = TweakSettings,
      .notify = notify,
      .statusMah = statusMah,
      .battCheck = battCheck,
      .battFullCheck = battFullCheck,
      .start = startTweak,
      .restart = restart,
      .loadSettings = reload_settings,
  };
  return access;
}

}  // namespace px::tweak
