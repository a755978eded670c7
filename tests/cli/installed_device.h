#pragma once
// A fixture for tests that run the real device: a temporary device with the
// package from this build installed, shut down after each test (by the pids
// it recorded, as `simdevice shutdown` always does), and what those tests
// read back from it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "platform/foundation/property_list.h"
#include "tests/cli/simdevice_runner.h"
#include "tests/support/temp_device.h"

namespace px::tests::support {

class InstalledDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    // The device's helpers are the ones next to the simdevice under test.
    ::unsetenv("SIMDEVICE_BIN_DIR");
    auto r = simdevice(device.root(), {"install", PX_STAGE_DIR});
    ASSERT_EQ(r.status, 0) << r.output;
  }
  void TearDown() override { simdevice(device.root(), {"shutdown"}); }

  // The battery data file the tweak writes.
  platform::foundation::Value data_file() {
    return platform::foundation::plist::read_dictionary(device.path("/User/Library/PylonexData.plist"));
  }
  platform::foundation::Value springboard_defaults() {
    return platform::foundation::plist::read_dictionary(
        device.path("/var/mobile/Library/Preferences/com.apple.springboard.plist"));
  }
  // `simdevice status --json`; a discarded value when it is not JSON.
  nlohmann::json status() {
    return nlohmann::json::parse(simdevice(device.root(), {"status", "--json"}).output, nullptr, false);
  }

  TempDevice device;
};

}  // namespace px::tests::support
