#include <cmath>

#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "shared/names.h"
#include "tweak/test_access.h"

namespace px::fuzz {

void settings_file(std::string_view bytes) {
  put_device_file(shared::kSettingsFile, bytes);
  truncate_device_log();
  const auto& tweak = tweak::test_access();
  tweak.loadSettings();
  const tweak::SettingsSnapshot& s = tweak.settings;
  // Reading the fields is the point: sanitizers see any bad bool or float.
  volatile bool any = s.debugMode | s.wifiPSM | s.locationPSM | s.airplanePSM | s.bluetoothPSM | s.dimPSM |
                      s.vibratePSM | s.notificationPSM | s.capacityPOP | s.designCapacityPOP | s.cyclePOP |
                      s.serialPOP | s.wattsPOP | s.amperagePOP | s.fullChargeWarning | s.enablePSM | s.statusbarMah;
  (void)any;
  volatile float f = s.dimLevelPSM + s.percentagePSM;
  volatile int t = s.timemode;
  (void)f;
  (void)t;
}

}  // namespace px::fuzz
