#include "tweak/start_up.h"

#include "tweak/battery_history.h"
#include "tweak/hook_table.h"
#include "tweak/info_popup.h"
#include "tweak/tweak_settings.h"

namespace px::tweak {

void startTweak() {
  registerListenerClass();
  startSettings();
  startBatteryHistory();
  installHookTable();
}

}  // namespace px::tweak
