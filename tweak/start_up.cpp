// What happens while SpringBoard loads the library: the listener class is
// registered (its +load registers the Activator listener), then step 1
// (settings snapshot and its reload notification), then the battery history's
// clear notification, then step 2 (HookTable). All run from one constructor so
// that their order is fixed.

#include "tweak/battery_history.h"
#include "tweak/hook_table.h"
#include "tweak/info_popup.h"
#include "tweak/tweak_settings.h"
#include "tweak/tweak_state.h"

namespace {

void startTweak() {
  registerListenerClass();
  startSettings();
  startBatteryHistory();
  installHookTable();
}

__attribute__((constructor)) void pylonexpro2Loaded() { startTweak(); }

}  // namespace

// A library is loaded once per process; tests that play several SpringBoard
// runs in one process start the tweak again from its load-time state.
extern "C" __attribute__((visibility("default"))) void pylonexpro2_restart_for_testing() {
  TweakSettings = SettingsSnapshot{};
  resetTweakState();
  resetBatteryHistory();
  clearSavedImplementations();
  listener = nullptr;
  startTweak();
}
