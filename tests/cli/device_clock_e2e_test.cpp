// The device clock across the real device's processes: a clock set on a
// running device reaches the battery driver's stamps, the tweak's history,
// the Settings app's LastSync, the syslog and the web page's state at once.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "host/web/state_document.h"
#include "platform/foundation/device_clock.h"
#include "platform/foundation/property_list.h"
#include "platform/system/hardware_state.h"
#include "tests/cli/installed_device.h"
#include "tests/prefs/loopback_http_server.h"

namespace {

using foundation::Value;
using testing_support::simdevice;

constexpr double k2030 = 1893456000;  // 2030-01-01T00:00:00Z

class DeviceClock : public testing_support::InstalledDevice {
 protected:
  void SetUp() override {
    // The device's processes inherit the zone: LastSync and the syslog read in UTC.
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    InstalledDevice::SetUp();
  }
  void run_ok(const std::vector<std::string>& args) {
    auto r = simdevice(device.root(), args);
    ASSERT_EQ(r.status, 0) << args[0] << ": " << r.output;
  }
  std::string last_sync() {
    Value v = foundation::plist::read_dictionary(
        device.path("/var/mobile/Library/Preferences/com.apple.Preferences.plist"))["LastSync"];
    return v.is_string() ? *v.string() : std::string();
  }
};

TEST_F(DeviceClock, ASetOnARunningDeviceReachesEveryProcessAtOnce) {
  pxtest::LoopbackHttpServer probe, upload;
  std::string info = "/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist";
  Value bundle = foundation::plist::read_dictionary(device.path(info));
  bundle.mutable_dictionary()["PXConnectivityProbeURL"] = Value("http://" + probe.host() + "/probe");
  bundle.mutable_dictionary()["PXUploadHost"] = Value(upload.host());
  ASSERT_TRUE(foundation::plist::write_file(device.path(info), bundle, foundation::plist::Format::xml));

  run_ok({"boot"});
  run_ok({"settings", "open", "prefs:root=PylonexPro2"});
  run_ok({"settings", "tap", "Data Sharing"});
  // Every process reads the clock before the change: each has one to keep.
  run_ok({"settings", "tap", "Send Data"});
  run_ok({"settings", "press", "OK"});
  run_ok({"battery", "0.7"});
  EXPECT_LT(foundation::device_now(), k2030);

  run_ok({"clock", "2030-01-01T00:00Z"});
  run_ok({"settings", "tap", "Send Data"});
  EXPECT_EQ(last_sync().substr(0, 16), "01/01/2030 12:00") << "the later send's time";
  std::string syslog = device.read_text("/var/log/syslog");
  auto sent = syslog.rfind("Sent: ");
  ASSERT_NE(sent, std::string::npos);
  EXPECT_EQ(syslog.substr(syslog.rfind('\n', sent) + 1, 10), "Jan  1 00:") << "stamped by the device clock";

  // Each broadcast the driver makes on its own is stamped by its clock and
  // kept by the history, whose thinning runs on SpringBoard's: one clock.
  for (int i = 0; i < 15; ++i) {
    run_ok({i % 2 ? "unplug" : "plug"});
    double stamped = hardware::battery_entry()["Status"]["UpdateTime"].doubleValue();
    EXPECT_GE(stamped, k2030) << "broadcast " << i;
    EXPECT_LT(stamped, k2030 + 600);
  }
  auto history = simdevice(device.root(), {"history", "--since", "2030-01-01T00:00Z", "--json"});
  ASSERT_EQ(history.status, 0) << history.output;
  EXPECT_EQ(nlohmann::json::parse(history.output, nullptr, false).size(), 15u) << history.output;

  // The web page's state, composed in this process, which read the clock before.
  double shown = web::compose_state_document()["device_time"].get<double>();
  EXPECT_GE(shown, k2030);
  EXPECT_LT(shown, k2030 + 600);

  // Boot options on a running device would be lost: refused, the clock kept.
  auto again = simdevice(device.root(), {"boot", "--clock", "2040-01-01T00:00Z"});
  EXPECT_EQ(again.status, 1) << again.output;
  EXPECT_NE(again.output.find("already running"), std::string::npos) << again.output;
  EXPECT_EQ(simdevice(device.root(), {"boot", "--battery", "sim"}).status, 1);
  EXPECT_LT(foundation::device_now(), k2030 + 600);
  EXPECT_EQ(simdevice(device.root(), {"boot"}).status, 0) << "a plain boot of a running device is no error";
}

}  // namespace
