#include "host/web/state_document.h"

#include "host/common/control_channel.h"
#include "host/common/log_tail.h"
#include "host/common/screen_state.h"
#include "host/common/value_json.h"
#include "host/device/battery_change.h"
#include "host/device/power_model.h"
#include "host/status/device_status.h"
#include "host/status/history_remaining.h"
#include "host/web/web_paths.h"
#include "platform/foundation/file_io.h"
#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"
#include "platform/system/device_process.h"
#include "shared/names.h"

namespace px::host::web {
namespace {

using nlohmann::json;

json parse_or_null(const std::string& text) {
  json j = json::parse(text, nullptr, false);
  return j.is_discarded() ? json(nullptr) : j;
}

json plist_file_json(const char* device_file) {
  platform::foundation::Value v =
      platform::foundation::plist::read_device_dictionary(platform::sim::DevicePath(device_file));
  if (!v.is_dictionary()) return nullptr;
  return common::to_json(v);
}

// The open pane, with its images as addresses the page can fetch.
json open_pane(const json& status) {
  json pane = status::open_settings_pane(status, 3000);
  if (pane.is_object()) add_image_addresses(pane);
  return pane;
}

json banner_on_screen() {
  if (!platform::system::DeviceProcess("SpringBoard").running()) return nullptr;
  auto c = platform::foundation::read_whole_file(common::screen_state_path("SpringBoard"), 1u << 20);
  if (!c.ok()) return nullptr;
  json screen = parse_or_null(*c);
  if (!screen.is_object() || !screen.contains("banner_on_screen")) return nullptr;
  return screen["banner_on_screen"];
}

}  // namespace

void add_image_addresses(json& node) {
  // A bundle's image file, or a drawn image (a chart) the Settings app published.
  using Address = std::optional<std::string> (*)(const platform::sim::DevicePath&);
  static const std::pair<const char*, Address> kinds[] = {{"image_path", bundle_address}, {"png_path", drawn_address}};
  if (node.is_object()) {
    for (const auto& [key, address_of] : kinds) {
      auto it = node.find(key);
      if (it == node.end()) continue;
      std::optional<std::string> address;
      if (it->is_string()) address = address_of(platform::sim::DevicePath(it->get<std::string>()));
      node["image_address"] = address ? json(*address) : json(nullptr);
      node.erase(key);
    }
    for (auto& [key, child] : node.items()) add_image_addresses(child);
  } else if (node.is_array()) {
    for (auto& child : node) add_image_addresses(child);
  }
}

json StateComposer::compose() {
  json doc = status::compose_device_status();
  // The lock screen's clock and date: the device's own time, not the machine's.
  doc["device_time"] = platform::sim::device_now();
  // The time left, as `history remaining --json` gives it, with the panes' wording.
  doc["remaining"] = status::time_left_json(m_history, doc["device_time"].get<double>());
  doc["banner_on_screen"] = banner_on_screen();
  doc["pane"] = open_pane(doc);
  doc["files"] = {{"battery_data", plist_file_json(shared::kBatteryDataFile)},
                  {"settings", plist_file_json(shared::kSettingsFile)}};
  // Read from the end: the syslog grows with every change the device makes,
  // and reading it whole made the server's memory grow with it.
  doc["syslog"] = common::last_log_lines(platform::foundation::kSyslogFile, kSyslogLines);
  // Names the page would otherwise write again: they come from the constants both deliverables use.
  doc["names"] = {{"activator_listener", shared::kListenerName}};
  // The words the battery and usage commands take, as the menus offer them.
  json states = json::array(), usages = json::array();
  for (int s : {device::kStateUnplugged, device::kStateCharging, device::kStateFull, device::kStateUnknown})
    states.push_back(device::state_name(s));
  for (device::Usage u : device::kUsages) usages.push_back(device::usage_name(u));
  doc["choices"] = {{"battery_state", states}, {"usage", usages}};
  return doc;
}

}  // namespace px::host::web
