#pragma once
// A fixture for tests that run the real device: a temporary device with the
// package from this build installed, shut down after each test (by the pids
// it recorded, as `simdevice shutdown` always does).

#include <gtest/gtest.h>
#include <stdlib.h>

#include "tests/cli/simdevice_runner.h"
#include "tests/support/temp_device.h"

namespace testing_support {

class InstalledDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    // The device's helpers are the ones next to the simdevice under test.
    ::unsetenv("SIMDEVICE_BIN_DIR");
    auto r = simdevice(device.root(), {"install", PX_STAGE_DIR});
    ASSERT_EQ(r.status, 0) << r.output;
  }
  void TearDown() override { simdevice(device.root(), {"shutdown"}); }

  TempDevice device;
};

}  // namespace testing_support
