// An unwritten device reads every switch as the table says through every stand-in,
// and a value of the wrong kind reads as the default rather than as what it converts to.

#include "platform/system/hardware_switches.h"

#include <gtest/gtest.h>

#include "platform/corelocation/cl_location_manager.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_screen.h"
#include "tests/support/temp_device.h"

namespace {

using px::platform::foundation::Value;
using px::platform::system::Switch;

TEST(HardwareSwitches, UnwrittenOrMistypedSwitchesReadAsTheTableSays) {
  px::tests::support::TempDevice device;
  for (const auto& s : px::platform::system::kSwitches)
    EXPECT_EQ(px::platform::system::reading(s.id), px::platform::system::fallback_value(s.id)) << s.name;
  EXPECT_EQ(px::platform::uikit::UIScreen::mainScreen()->brightness(),
            px::platform::system::switch_info(Switch::brightness).fallback);
  EXPECT_TRUE(px::platform::corelocation::CLLocationManager::locationServicesEnabled());

  px::platform::sim::set_hardware_value("brightness", Value("bright"));
  px::platform::sim::set_hardware_value("location", Value("off"));
  px::platform::sim::set_hardware_value("airplane", Value(1));
  EXPECT_EQ(px::platform::uikit::UIScreen::mainScreen()->brightness(), 0.5);
  EXPECT_TRUE(px::platform::corelocation::CLLocationManager::locationServicesEnabled());
  EXPECT_EQ(px::platform::system::reading(Switch::airplane), Value(true)) << "an integer flag counts as non-zero";
}

}  // namespace
