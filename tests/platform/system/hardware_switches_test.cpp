// The switch table is the one owner of each switch's default: an unwritten
// device reads as the table says through every stand-in, and a value of the
// wrong kind reads as the default rather than as whatever it converts to.

#include "platform/system/hardware_switches.h"

#include <gtest/gtest.h>

#include "platform/corelocation/cl_location_manager.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_screen.h"
#include "tests/support/temp_device.h"

namespace {

using foundation::Value;
using hardware::Switch;

TEST(HardwareSwitches, UnwrittenOrMistypedSwitchesReadAsTheTableSays) {
  testing_support::TempDevice device;
  for (const auto& s : hardware::kSwitches)
    EXPECT_EQ(hardware::reading(s.id), hardware::fallback_value(s.id)) << s.name;
  EXPECT_EQ(uikit::UIScreen::mainScreen()->brightness(), hardware::switch_info(Switch::brightness).fallback);
  EXPECT_TRUE(corelocation::CLLocationManager::locationServicesEnabled());
  EXPECT_EQ(hardware::fallback_value(Switch::location), Value(true));

  sim::set_hardware_value("brightness", Value("bright"));
  sim::set_hardware_value("location", Value("off"));
  sim::set_hardware_value("airplane", Value(1));
  EXPECT_EQ(uikit::UIScreen::mainScreen()->brightness(), 0.5);
  EXPECT_TRUE(corelocation::CLLocationManager::locationServicesEnabled());
  EXPECT_EQ(hardware::reading(Switch::airplane), Value(true)) << "an integer flag counts as non-zero";
}

}  // namespace
