// simdevice hardware: Control Center's switches, through the command table.
#include <gtest/gtest.h>

#include <cmath>

#include "host/cli/command_table.h"
#include "platform/sim/hardware/hardware_state.h"
#include "tests/support/temp_device.h"

namespace {

px::host::cli::CommandResult hw(std::vector<std::string> args) {
  args.insert(args.begin(), "hardware");
  return px::host::cli::run_command(args, px::host::cli::Caller::web);
}

TEST(HardwareCommand, SwitchesLandInTheHardwareStateUnderAnyOfTheirNames) {
  px::tests::support::TempDevice device;
  EXPECT_EQ(hw({"wifi", "off"}).status, 0);
  EXPECT_EQ(px::platform::sim::hardware_value("wifi").boolValue(), false);
  EXPECT_EQ(hw({"Wi-Fi", "on"}).status, 0);
  EXPECT_EQ(px::platform::sim::hardware_value("wifi").boolValue(), true);
  EXPECT_EQ(hw({"Location Services", "false"}).status, 0);
  EXPECT_EQ(px::platform::sim::hardware_value("location").boolValue(), false);
  auto b = hw({"brightness", "25%"});
  EXPECT_EQ(b.status, 0);
  EXPECT_EQ(b.output, "Brightness 25%\n");
  EXPECT_DOUBLE_EQ(px::platform::sim::hardware_value("brightness").doubleValue(), 0.25);
}

TEST(HardwareCommand, AirplaneModeTakesTheRadiosDownAndNotUp) {
  px::tests::support::TempDevice device;
  hw({"bluetooth", "on"});
  hw({"wifi", "on"});
  EXPECT_EQ(hw({"airplane", "on"}).status, 0);
  EXPECT_FALSE(px::platform::sim::hardware_value("wifi").boolValue());
  EXPECT_FALSE(px::platform::sim::hardware_value("bluetooth").boolValue());
  EXPECT_TRUE(px::platform::sim::hardware_value("location").is_nil()) << "Location Services is no radio";
  EXPECT_EQ(hw({"airplane", "off"}).status, 0);
  EXPECT_FALSE(px::platform::sim::hardware_value("wifi").boolValue()) << "each radio is turned on again by itself";
}

TEST(HardwareCommand, BadNamesAndValuesChangeNothingAndExitTwo) {
  px::tests::support::TempDevice device;
  hw({"brightness", "0.5"});
  for (auto args : std::vector<std::vector<std::string>>{{"toaster", "on"},
                                                         {"", "0.3"},
                                                         {"wi-fi wlan", "off"},
                                                         {"wlan bt", "off"},
                                                         {"fi", "off"},
                                                         {"wifi", "maybe"},
                                                         {"brightness", "150%"},
                                                         {"brightness", "-1"},
                                                         {"brightness", "nan"},
                                                         {"brightness", "on"},
                                                         {"wifi"}}) {
    auto r = hw(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_FALSE(r.error.empty());
  }
  EXPECT_DOUBLE_EQ(px::platform::sim::hardware_value("brightness").doubleValue(), 0.5);
  EXPECT_TRUE(px::platform::sim::hardware_value("wifi").is_nil());
  // Zero has no sign, on screen or in the hardware state.
  auto zero = hw({"brightness", "-0"});
  EXPECT_EQ(zero.output, "Brightness 0%\n");
  EXPECT_FALSE(std::signbit(px::platform::sim::hardware_value("brightness").doubleValue()));
}

}  // namespace
