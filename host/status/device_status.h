#pragma once
// The device's state in one JSON object, put together from what each process
// answers on its control socket and from the hardware files, so it can be
// told whether or not the device is running.

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace px::host::status {

// One process's `status` reply parsed, or nothing when it does not answer.
std::optional<nlohmann::json> process_status(const std::string& process, int timeout_ms = 3000);

// {"running", "springboard": {"pid", "launched", "safe_mode", "restarts"},
//  "hardware": {"battery": {"level", "level_percent", "state"}, "wifi", "bluetooth", "airplane",
//  "location", "brightness", "vibrations"}, "locked", "status_bar_time",
//  "alerts", "banners", "opened_urls", "settings": {"pid", "opened_urls",
//  "sheets", "posts", "web_views"}, "accounts" (names, e.g. ["twitter"]), "battery_source", "tweaks"}
nlohmann::json compose_device_status();

// The same as lines a person reads.
std::string describe_device_status(nlohmann::json status);

// The pane the Settings app shows, as `settings show --json` gives it; null
// when `status` (from compose_device_status) has no Settings app open, or the
// app does not answer within `timeout_ms`.
nlohmann::json open_settings_pane(const nlohmann::json& status, int timeout_ms);

}  // namespace px::host::status
