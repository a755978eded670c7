// Data Sharing against real HTTP servers on loopback: the probe gates the
// upload, the nine query values go out in order and encoded, a silent upload
// host is reported, and LastSync is the local time of the last good send.

#include "prefs/data_sharing.h"

#include <cstdlib>
#include <ctime>

#include "platform/foundation/url_loading.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_web_view.h"
#include "prefs/data_sharing_fields.h"
#include "tests/prefs/prefs_fixture.h"
#include "tests/support/loopback_http_server.h"

namespace px::prefs {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;
using tests::support::LoopbackHttpServer;

constexpr double k2015March7At2105Utc = 1425762300;

class DataSharingPane : public PrefsTest {
 protected:
  void SetUp() override {
    PrefsTest::SetUp();
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    platform::foundation::set_url_timeouts({2000, 5000});
    data_pane = pane("DataSharing");
    write_battery_data(Value(Dictionary{
        {"DesignCapacity", 1810},
        {"CycleCount", 312},
        {"Temperature", 2850},
        {"BootVoltage", 3870},
        {"AppleRawCurrentCapacity", 1520},
        {"BatteryData", Value(Dictionary{{"QmaxCell0", 1650}, {"ChemID", "A&B #1=x"}, {"Flags", "tempéré"}})}}));
  }
  void TearDown() override {
    platform::foundation::set_url_timeouts({});
    PrefsTest::TearDown();
  }
  void configure(const std::string& probe_host, const std::string& upload_host, const std::string& site = "") {
    Dictionary info{{"PXConnectivityProbeURL", "http://" + probe_host + "/probe"}, {"PXUploadHost", upload_host}};
    if (!site.empty()) info["PXStatisticsSiteURL"] = site;
    platform::foundation::writeToFile(
        Value(info), platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist"));
  }
  void send() {
    platform::objc::msg_send<void>(platform::objc::id(data_pane), platform::objc::sel("SendData:"),
                                   platform::objc::id());
  }
  std::string newest_alert_message() {
    auto& v = platform::uikit::AlertPresenter::shared().visible();
    return v.empty() ? "" : v.back()->message();
  }
  std::shared_ptr<platform::preferences::PSListController> data_pane;
};

TEST_F(DataSharingPane, SendsTheNineKeysInOrderPercentEncoded) {
  LoopbackHttpServer probe, upload;
  configure(probe.host(), upload.host());
  platform::sim::set_device_now(k2015March7At2105Utc);
  send();
  ASSERT_EQ(upload.targets().size(), 1u);
  EXPECT_EQ(upload.targets()[0],
            "/pylonex/send.php?model=iPhone6%2C1&maxcapacity=1810&cyclecount=312&qmax=1650&chemid=A%26B%20%231%3Dx"
            "&temp=28.50&bv=3870&rawcap=1520&flags=temp%C3%A9r%C3%A9");
  EXPECT_EQ(probe.targets(), (std::vector<std::string>{"/probe"}));
  EXPECT_EQ(newest_alert_message(), "Your battery data was sent correctly.");
  EXPECT_EQ(get(data_pane, "LastSync:"), "03/07/2015 09:05PM");
  EXPECT_NE(device.read_text("/var/log/syslog").find("Sent: <6f6b>"), std::string::npos);
}

TEST_F(DataSharingPane, FooterNamesEveryValueTheRequestCarries) {
  std::string footer;
  for (auto& s : specifiers(data_pane)->items()) {
    Value text = s->propertyForKey("footerText");
    if (text.string()) footer = *text.string();
  }
  EXPECT_EQ(footer,
            "Sends model, design capacity, cycle count, Qmax of cell 0, chemistry ID, temperature, boot voltage, "
            "current capacity and flags. Nothing else.");
  // Every query key of the request is one the footer accounts for.
  std::string url = prefs::upload_url("h", Value(), "m");
  std::size_t keys = 0;
  for (std::size_t at = url.find('?'); at != std::string::npos; at = url.find('&', at + 1)) {
    std::string key = url.substr(at + 1, url.find('=', at) - at - 1);
    ASSERT_LT(keys, prefs::kSharedFields.size()) << key;
    EXPECT_EQ(key, prefs::kSharedFields[keys].query_key);
    EXPECT_NE(footer.find(prefs::kSharedFields[keys].meaning), std::string::npos) << key;
    ++keys;
  }
  EXPECT_EQ(keys, 9u);
}

TEST_F(DataSharingPane, MissingFiguresAreSentAsThePlaceholder) {
  write_battery_data(Value(Dictionary{}));
  std::string url = prefs::upload_url("h", Value(), "iPhone6,1");
  EXPECT_EQ(url,
            "http://h/pylonex/send.php?model=iPhone6%2C1&maxcapacity=%28null%29&cyclecount=%28null%29"
            "&qmax=%28null%29&chemid=%28null%29&temp=%28null%29&bv=%28null%29&rawcap=%28null%29&flags=%28null%29");
}

TEST_F(DataSharingPane, ProbeDownSendsNothingAndKeepsLastSync) {
  LoopbackHttpServer upload;
  configure(LoopbackHttpServer::dead_host(), upload.host());
  EXPECT_EQ(get(data_pane, "LastSync:"), "Never Synced");
  send();
  EXPECT_TRUE(upload.targets().empty());
  EXPECT_EQ(newest_alert_message(),
            "The data was not sent, because seems that you are not connected to internet, connect via WiFi or 3G then "
            "retry.");
  EXPECT_EQ(get(data_pane, "LastSync:"), "Never Synced");
  platform::foundation::NSUserDefaults::standardUserDefaults().setObject(Value("01/01/2015 10:00AM"), "LastSync");
  send();
  EXPECT_EQ(get(data_pane, "LastSync:"), "01/01/2015 10:00AM");
  EXPECT_NE(device.read_text("/var/log/syslog").find("Not connected"), std::string::npos);
}

TEST_F(DataSharingPane, SilentUploadHostIsReportedAndLastSyncKept) {
  LoopbackHttpServer probe;
  configure(probe.host(), LoopbackHttpServer::dead_host());
  send();
  EXPECT_EQ(newest_alert_message(),
            "The battery data could not be sent, because the statistics server did not answer. Please retry later.");
  EXPECT_EQ(get(data_pane, "LastSync:"), "Never Synced");
  EXPECT_NE(device.read_text("/var/log/syslog").find("Sent: (null)"), std::string::npos);
}

TEST_F(DataSharingPane, TwoSendsBothUploadAndTheLaterTimeWins) {
  LoopbackHttpServer probe, upload;
  configure(probe.host(), upload.host());
  platform::sim::set_device_now(k2015March7At2105Utc);
  send();
  platform::sim::set_device_now(k2015March7At2105Utc + 3600 * 13);
  send();
  EXPECT_EQ(upload.targets().size(), 2u);
  EXPECT_EQ(get(data_pane, "LastSync:"), "03/08/2015 10:05AM");
}

TEST_F(DataSharingPane, SeeDataPushesAScreenWideWebViewOfTheSite) {
  LoopbackHttpServer site("<html>stats</html>");
  configure("unused", "unused", "http://" + site.host() + "/");
  auto nav = platform::uikit::UINavigationController::make();
  nav->setViewControllers({data_pane});
  platform::objc::msg_send<void>(platform::objc::id(data_pane), platform::objc::sel("SeeData:"), platform::objc::id());
  ASSERT_EQ(nav->viewControllers().size(), 2u);
  auto screen = nav->topViewController();
  EXPECT_FALSE(screen->title());
  ASSERT_EQ(screen->view()->subviews().size(), 1u);
  auto web = std::dynamic_pointer_cast<platform::uikit::UIWebView>(screen->view()->subviews()[0]);
  ASSERT_TRUE(web);
  EXPECT_EQ(web->frame(), (platform::uikit::CGRect{0, 0, 320, 568}));
  EXPECT_TRUE(web->scalesPageToFit());
  platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_EQ(web->load_state(), platform::uikit::UIWebView::LoadState::loaded);
  EXPECT_EQ(site.targets(), (std::vector<std::string>{"/"}));
}

TEST(PercentEncoding, KeepsUnreservedAndNumbers) {
  EXPECT_EQ(platform::foundation::percent_encode("AZaz09-._~"), "AZaz09-._~");
  EXPECT_EQ(platform::foundation::percent_encode("1810"), "1810");
  EXPECT_EQ(platform::foundation::percent_encode("a b&c=d#e"), "a%20b%26c%3Dd%23e");
}

}  // namespace
}  // namespace px::prefs
