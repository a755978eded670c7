// A clock set on a running device reaches at once the battery driver's stamps, the
// tweak's history, the Settings app's LastSync, the syslog and the web page's state.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "host/web/state_document.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/hardware/hardware_state.h"
#include "tests/cli/installed_device.h"
#include "tests/support/loopback_http_server.h"

namespace {

using px::platform::foundation::Value;
using px::tests::support::simdevice;

constexpr double k2030 = 1893456000;  // 2030-01-01T00:00:00Z

class DeviceClock : public px::tests::support::InstalledDevice {
 protected:
  void SetUp() override {
    ::setenv("TZ", "UTC", 1);  // inherited by the device's processes
    ::tzset();
    InstalledDevice::SetUp();
  }
  void run_ok(const std::vector<std::string>& args) {
    auto r = simdevice(device.root(), args);
    ASSERT_EQ(r.status, 0) << args[0] << ": " << r.output;
  }
};

TEST_F(DeviceClock, ASetOnARunningDeviceReachesEveryProcessAtOnce) {
  px::tests::support::LoopbackHttpServer probe, upload;
  std::string info = device.path("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist");
  Value bundle = px::platform::foundation::plist::read_dictionary(info);
  bundle.mutable_dictionary()["PXConnectivityProbeURL"] = Value("http://" + probe.host() + "/probe");
  bundle.mutable_dictionary()["PXUploadHost"] = Value(upload.host());
  ASSERT_TRUE(px::platform::foundation::plist::write_file(info, bundle, px::platform::foundation::plist::Format::xml));
  // Every process reads the clock before the change, and so has one to keep.
  using Args = std::vector<std::string>;
  for (const Args& args :
       {Args{"boot"}, Args{"settings", "open", "prefs:root=PylonexPro2"}, Args{"settings", "tap", "Data Sharing"},
        Args{"settings", "tap", "Send Data"}, Args{"settings", "press", "OK"}, Args{"plug"}})
    run_ok(args);
  EXPECT_LT(px::platform::sim::device_now(), k2030);

  run_ok({"clock", "2030-01-01T00:00Z"});
  run_ok({"settings", "tap", "Send Data"});
  Value sync = px::platform::foundation::plist::read_dictionary(
      device.path("/var/mobile/Library/Preferences/com.apple.Preferences.plist"))["LastSync"];
  EXPECT_EQ(sync.stringValue().description().substr(0, 16), "01/01/2030 12:00") << "the later send's time";
  std::string syslog = device.read_text("/var/log/syslog");
  auto sent = syslog.rfind("Sent: ");
  ASSERT_NE(sent, std::string::npos) << syslog;
  EXPECT_EQ(syslog.substr(syslog.rfind('\n', sent) + 1, 10), "Jan  1 00:") << "the device's date";

  // Broadcasts the driver makes on its own, stamped by its clock, and kept by
  // the history, whose thinning runs on SpringBoard's.
  for (int i = 0; i < 15; ++i) {
    run_ok({i % 2 ? "plug" : "unplug"});
    double stamped = px::platform::sim::battery_entry()["Status"]["UpdateTime"].doubleValue();
    EXPECT_TRUE(stamped >= k2030 && stamped < k2030 + 600) << stamped;
  }
  auto history = simdevice(device.root(), {"history", "--since", "2030-01-01T00:00Z", "--json"});
  EXPECT_EQ(nlohmann::json::parse(history.output, nullptr, false).size(), 15u) << history.output;
  // The web page's state, composed in this process, which read the clock before.
  double shown = px::host::web::StateComposer().compose()["device_time"].get<double>();
  EXPECT_TRUE(shown >= k2030 && shown < k2030 + 600) << shown;

  // Boot options on a running device would be lost: refused, the clock kept.
  EXPECT_EQ(simdevice(device.root(), {"boot", "--clock", "2040-01-01T00:00Z"}).status, 1);
  EXPECT_EQ(simdevice(device.root(), {"boot", "--battery", "sim"}).status, 1);
  EXPECT_EQ(simdevice(device.root(), {"boot"}).status, 0) << "a plain boot of a running device is no error";
  EXPECT_LT(px::platform::sim::device_now(), k2030 + 600);
}

}  // namespace
