#include "host/status/device_status.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "host/common/control_channel.h"
#include "host/common/device_processes.h"
#include "host/common/device_verbs.h"
#include "host/common/level_percent_text.h"
#include "host/common/value_json.h"
#include "host/device/battery_change.h"
#include "host/status/accounts.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/system/device_process.h"
#include "platform/system/hardware_switches.h"

namespace px::host::status {
namespace {

using nlohmann::json;

json field_or(const std::optional<json>& j, const char* key, json fallback) {
  if (j && j->is_object() && j->contains(key)) return (*j)[key];
  return fallback;
}

json switch_json(const platform::foundation::Value& v) {
  if (v.boolean()) return *v.boolean();
  if (v.integer()) return *v.integer();
  return v.doubleValue();
}

bool truthy(const json& j) { return j.is_boolean() && j.get<bool>(); }
std::string on_off(const json& j) { return truthy(j) ? "on" : "off"; }

}  // namespace

std::optional<json> process_status(const std::string& process, int timeout_ms) {
  auto reply =
      common::control_request(common::control_socket_path(process), words_of(common::verbs::Status{}), timeout_ms);
  if (!reply || reply->status != 0) return std::nullopt;
  auto j = json::parse(reply->out, nullptr, false);
  if (!j.is_object()) return std::nullopt;
  return j;
}

json compose_device_status() {
  auto launchd = process_status("launchd");
  auto springboard = process_status("SpringBoard");
  std::optional<json> preferences;
  if (platform::system::DeviceProcess("Preferences").running()) preferences = process_status("Preferences");

  json launchd_sb = launchd ? field_or(launchd, "springboard", json::object()) : json::object();
  std::optional<json> lsb = launchd_sb;
  json sb_pid = field_or(springboard, "pid", field_or(lsb, "pid", nullptr));
  json out;
  out["running"] = launchd.has_value();
  out["springboard"] = {
      {"pid", sb_pid},
      {"launched", field_or(springboard, "launched", false)},
      {"safe_mode", field_or(springboard, "safe_mode", field_or(lsb, "safe_mode", false))},
      {"restarts", field_or(lsb, "restarts", 0)},
  };

  auto entry = platform::sim::battery_entry();
  json level = entry["Level"].is_number() ? json(entry["Level"].doubleValue()) : json(nullptr);
  // The percent the add-on acts on, so no screen rounds the level its own way.
  auto percent = level.is_number() ? common::shown_level_percent(level.get<double>()) : std::nullopt;
  json battery = {{"level", level},
                  {"level_percent", percent ? json(*percent) : json(nullptr)},
                  {"state", device::state_name(entry["State"].intValue())}};
  // The real current (negative discharging) and the load model's workload.
  const auto& amps = entry["Status"]["InstantAmperage"];
  battery["current_ma"] = amps.is_number() ? json(amps.longLongValue()) : json(nullptr);
  battery["usage"] = field_or(launchd, "usage", nullptr);
  out["hardware"] = {{"battery", battery}};
  // What each switch reads as while nothing has been written: the page takes
  // them from here instead of keeping its own.
  out["hardware_defaults"] = json::object();
  for (const auto& s : platform::system::kSwitches) {
    out["hardware"][std::string(s.name)] = switch_json(platform::system::reading(s.id));
    out["hardware_defaults"][std::string(s.name)] = switch_json(platform::system::fallback_value(s.id));
  }
  out["locked"] = field_or(springboard, "locked", true);
  out["status_bar_time"] = field_or(springboard, "status_bar_time", "");
  out["alerts"] = field_or(springboard, "alerts", json::array());
  out["banners"] = field_or(springboard, "banners", json::array());
  out["opened_urls"] = field_or(springboard, "opened_urls", json::array());
  out["tweaks"] = field_or(springboard, "tweaks", json::array());
  out["settings"] = {
      {"pid", field_or(preferences, "pid", nullptr)},
      {"opened_urls", field_or(preferences, "opened_urls", json::array())},
      {"sheets", field_or(preferences, "sheets", json::array())},
      {"posts", field_or(preferences, "posts", json::array())},
      {"web_views", field_or(preferences, "web_views", json::array())},
  };
  out["accounts"] = accounts_set_up();
  out["battery_source"] = field_or(launchd, "battery_source", nullptr);
  out["battery_generation"] = entry["Generation"].longLongValue();
  return out;
}

// Takes its own copy: a field missing from the document reads as null instead of being an unchecked lookup.
std::string describe_device_status(json s) {
  std::ostringstream o;
  o << "Device:      " << platform::sim::device_root() << (truthy(s["running"]) ? " (running)" : " (stopped)") << "\n";
  auto& sb = s["springboard"];
  o << "SpringBoard: ";
  if (sb["pid"].is_number())
    o << "pid " << sb["pid"] << (truthy(sb["launched"]) ? ", launched" : ", launching")
      << (truthy(sb["safe_mode"]) ? ", SAFE MODE" : "") << ", restarts " << sb["restarts"];
  else
    o << "not running";
  o << "\n";
  auto& hw = s["hardware"];
  auto& bat = hw["battery"];
  o << "Battery:     ";
  o << common::level_percent_text(bat["level"].is_number() ? bat["level"].get<double>() : -1.0, "level unknown");
  o << ", " << (bat["state"].is_string() ? bat["state"].get<std::string>() : "unknown");
  if (s["battery_source"].is_string()) o << " (source " << s["battery_source"].get<std::string>() << ")";
  o << "\n";
  if (bat["current_ma"].is_number() || bat["usage"].is_string())
    o << "Power:       "
      << (bat["current_ma"].is_number() ? std::to_string(std::llround(bat["current_ma"].get<double>())) + " mA"
                                        : "current unknown")
      << (bat["usage"].is_string() ? ", usage " + bat["usage"].get<std::string>() : std::string()) << "\n";
  char brightness[16];
  std::snprintf(brightness, sizeof brightness, "%.2f",
                hw["brightness"].is_number() ? hw["brightness"].get<double>() : 0.0);
  o << "Hardware:    Wi-Fi " << on_off(hw["wifi"]) << ", Bluetooth " << on_off(hw["bluetooth"]) << ", Airplane "
    << on_off(hw["airplane"]) << ", Location " << on_off(hw["location"]) << ", brightness " << brightness
    << ", vibrations " << hw["vibrations"] << "\n";
  std::string accounts;
  for (const auto& a : s["accounts"])
    if (a.is_string()) accounts += (accounts.empty() ? "" : ", ") + a.get<std::string>();
  o << "Accounts:    " << (accounts.empty() ? "none" : accounts) << "\n";
  if (truthy(s["running"])) {
    o << "Screen:      " << (truthy(s["locked"]) ? "locked" : "unlocked") << ", status bar \""
      << (s["status_bar_time"].is_string() ? s["status_bar_time"].get<std::string>() : "") << "\"\n";
    for (auto& a : s["alerts"]) {
      o << "Alert:       " << a.value("title", "") << " - " << a.value("message", "");
      if (a.contains("buttons"))
        for (auto& b : a["buttons"]) o << " [" << (b.is_string() ? b.get<std::string>() : common::json_text(b)) << "]";
      o << "\n";
    }
    if (!s["banners"].empty()) {
      auto& b = s["banners"].back();
      o << "Banner:      " << b.value("title", "") << " - " << b.value("message", "") << "\n";
    }
    auto& st = s["settings"];
    o << "Settings:    "
      << (st["pid"].is_number() ? "open, pid " + std::to_string(st["pid"].get<long long>()) : std::string("closed"))
      << "\n";
  }
  return o.str();
}

nlohmann::json open_settings_pane(const nlohmann::json& status, int timeout_ms) {
  if (!status.contains("settings") || !status["settings"]["pid"].is_number()) return nullptr;
  auto reply = common::control_request(common::control_socket_path("Preferences"), words_of(common::verbs::Show{true}),
                                       timeout_ms);
  if (!reply || reply->status != 0) return nullptr;
  nlohmann::json pane = nlohmann::json::parse(reply->out, nullptr, false);
  return pane.is_object() ? pane : nlohmann::json(nullptr);
}

}  // namespace px::host::status
