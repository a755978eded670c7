#include <cmath>

#include "fuzz/entries.h"
#include "fuzz/fuzz_device.h"
#include "shared/names.h"
#include "tweak/test_access.h"

namespace pxfuzz {

void settings_file(std::string_view bytes) {
  put_device_file(px::kSettingsFile, bytes);
  truncate_device_log();
  const auto& tweak = pylonexpro2::test_access();
  tweak.loadSettings();
  const pylonexpro2::SettingsSnapshot& s = tweak.settings;
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

}  // namespace pxfuzz
