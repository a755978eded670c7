// DataSharing: sends a few battery figures to the statistics service after a
// connectivity probe, shows when they were last sent, and opens the
// statistics site in a web view.

#include "prefs/data_sharing.h"

#include <chrono>
#include <thread>

#include "platform/foundation/date_formatter.h"
#include "platform/foundation/format.h"
#include "platform/foundation/log.h"
#include "platform/foundation/url_loading.h"
#include "platform/foundation/user_defaults.h"
#include "platform/sim/device_clock.h"
#include "platform/system/system_command.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_web_view.h"
#include "prefs/battery_figures.h"
#include "prefs/bundle_paths.h"
#include "prefs/data_sharing_fields.h"
#include "prefs/pane_support.h"
#include "prefs/panes.h"

namespace px::prefs {
namespace {

using platform::foundation::Value;

void alert(const Pane& pane, const char* message) {
  platform::uikit::UIAlertView::make("PylonexPro2", message, pane, std::string("OK"), {})->show();
}

void send_data(const Pane& pane) {
  auto probe = platform::foundation::stringWithContentsOfURL(config_value("PXConnectivityProbeURL"),
                                                             platform::foundation::NSASCIIStringEncoding);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!probe) {
    alert(pane,
          "The data was not sent, because seems that you are not connected to internet, connect via WiFi or 3G then "
          "retry.");
    NSLog("Not connected");
    return;
  }
  std::string url = upload_url(config_value("PXUploadHost"), battery_data(), getModel());
  std::optional<platform::foundation::Data> reply;
  if (platform::foundation::is_valid_url(url)) reply = platform::foundation::dataWithContentsOfURL(url);
  NSLog("Sent: %@", reply ? Value(*reply) : Value());
  if (!reply) {
    alert(pane,
          "The battery data could not be sent, because the statistics server did not answer. Please retry later.");
    return;
  }
  alert(pane, "Your battery data was sent correctly.");
  auto& defaults = platform::foundation::NSUserDefaults::standardUserDefaults();
  defaults.setObject(Value(last_sync_text(platform::sim::device_now())), "LastSync");
  defaults.synchronize();
}

void see_data(const Pane& pane) {
  auto screen = platform::uikit::UIViewController::make();
  platform::uikit::CGRect bounds = platform::uikit::UIScreen::mainScreen()->bounds();
  auto web = platform::uikit::UIWebView::initWithFrame(platform::uikit::CGRect{0, 0, bounds.width, bounds.height});
  web->loadRequest(platform::uikit::NSURLRequest{config_value("PXStatisticsSiteURL")});
  screen->view()->addSubview(web);
  web->setScalesPageToFit(true);
  if (auto nav = pane->navigationController()) nav->pushViewController(screen, true);
}

}  // namespace

std::string getModel() { return platform::system::uname().machine; }

std::string last_sync_text(double unix_seconds) {
  auto formatter = platform::foundation::NSDateFormatter::make();
  formatter->setTimeZone("");  // the system time zone
  formatter->setDateFormat("MM/dd/yyyy hh:mma");
  return formatter->stringFromDate(unix_seconds);
}

namespace {

Value shared_value(SharedValue which, const Value& data, const std::string& model) {
  switch (which) {
    case SharedValue::model:
      return Value(model);
    case SharedValue::design_capacity:
      return data["DesignCapacity"];
    case SharedValue::cycle_count:
      return data["CycleCount"];
    case SharedValue::qmax_cell0:
      return data["BatteryData"]["QmaxCell0"];
    case SharedValue::chemistry_id:
      return data["BatteryData"]["ChemID"];
    case SharedValue::temperature:
      return temperature_value(data["Temperature"]);
    case SharedValue::boot_voltage:
      return data["BootVoltage"];
    case SharedValue::raw_capacity:
      return data["AppleRawCurrentCapacity"];
    case SharedValue::flags:
      return data["BatteryData"]["Flags"];
  }
  return Value();
}

}  // namespace

std::string upload_url(const std::string& host, const Value& data, const std::string& model) {
  std::string url = "http://" + host + "/pylonex/send.php";
  char separator = '?';
  for (const SharedField& field : kSharedFields) {
    url += separator;
    url += field.query_key;
    url += '=';
    url += platform::foundation::percent_encode(shared_value(field.value, data, model).description());
    separator = '&';
  }
  return url;
}

void register_DataSharing() {
  platform::objc::Class cls = define_pane("DataSharing");
  add_specifiers(cls, [](const platform::objc::id& self) { return load_specifiers_once(self, "Data Sharing"); });
  platform::objc::class_addMethod<Value>(
      cls, platform::objc::sel("getModel"),
      platform::objc::Imp<Value>([](platform::objc::id, platform::objc::SEL) { return Value(getModel()); }));
  add_getter(cls, "LastSync:", [](const Pane&) {
    Value stored = platform::foundation::NSUserDefaults::standardUserDefaults().stringForKey("LastSync");
    return stored ? stored : Value("Never Synced");
  });
  add_action(cls, "SeeData:", see_data);
  add_action(cls, "SendData:", send_data);
}

}  // namespace px::prefs
