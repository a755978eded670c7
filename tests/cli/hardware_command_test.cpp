// simdevice hardware: Control Center's switches, through the command table.
#include <gtest/gtest.h>

#include <cmath>

#include "host/cli/command_table.h"
#include "platform/sim/hardware/hardware_state.h"
#include "tests/support/temp_device.h"

namespace {

using px::platform::sim::hardware_value;

px::host::cli::CommandResult hw(std::vector<std::string> args) {
  args.insert(args.begin(), "hardware");
  return px::host::cli::run_command(args, px::host::cli::Caller::web);
}

TEST(HardwareCommand, SwitchesLandUnderAnyOfTheirNamesAndBadOnesChangeNothing) {
  px::tests::support::TempDevice device;
  for (const auto& [name, value, key, on] : std::vector<std::tuple<std::string, std::string, std::string, bool>>{
           {"wifi", "off", "wifi", false},
           {"Wi-Fi", "on", "wifi", true},
           {"Location Services", "false", "location", false}}) {
    EXPECT_EQ(hw({name, value}).status, 0) << name;
    EXPECT_EQ(hardware_value(key).boolValue(), on) << name;
  }
  EXPECT_EQ(hw({"brightness", "25%"}).output, "Brightness 25%\n");
  EXPECT_DOUBLE_EQ(hardware_value("brightness").doubleValue(), 0.25);

  using Args = std::vector<std::string>;
  for (const Args& args :
       {Args{"toaster", "on"}, Args{"", "0.3"}, Args{"wi-fi wlan", "off"}, Args{"wlan bt", "off"}, Args{"fi", "off"},
        Args{"wifi", "maybe"}, Args{"brightness", "150%"}, Args{"brightness", "-1"}, Args{"brightness", "nan"},
        Args{"brightness", "on"}, Args{"wifi"}}) {
    auto r = hw(args);
    EXPECT_EQ(r.status, 2) << args[0];
    EXPECT_FALSE(r.error.empty());
  }
  EXPECT_DOUBLE_EQ(hardware_value("brightness").doubleValue(), 0.25);
  EXPECT_TRUE(hardware_value("wifi").boolValue());
  // Zero has no sign, on screen or in the hardware state.
  EXPECT_EQ(hw({"brightness", "-0"}).output, "Brightness 0%\n");
  EXPECT_FALSE(std::signbit(hardware_value("brightness").doubleValue()));
}

TEST(HardwareCommand, AirplaneModeTakesTheRadiosDownAndNotUp) {
  px::tests::support::TempDevice device;
  hw({"bluetooth", "on"});
  hw({"wifi", "on"});
  EXPECT_EQ(hw({"airplane", "on"}).status, 0);
  EXPECT_FALSE(hardware_value("wifi").boolValue());
  EXPECT_FALSE(hardware_value("bluetooth").boolValue());
  EXPECT_TRUE(hardware_value("location").is_nil()) << "Location Services is no radio";
  EXPECT_EQ(hw({"airplane", "off"}).status, 0);
  EXPECT_FALSE(hardware_value("wifi").boolValue()) << "each radio is turned on again by itself";
}

}  // namespace
