#pragma once
// The one document the page draws from (GET /api/state, and each `state`
// event): everything `simdevice status --json` has, the open Settings pane as
// `simdevice settings show --json` gives it (its images as addresses the
// server serves), the banner on screen, the add-on's battery data file and
// settings file, and the last lines of the syslog. Put together from the
// device itself, each time, through the control channel and the device's
// files; the server keeps no device state of its own.

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "history/kept_reader.h"

namespace px::host::web {

inline constexpr std::size_t kSyslogLines = 200;

// Composes the document again at each call. Kept by whoever composes
// again and again (the page's feed): it keeps the history store open between
// compositions, since opening it is a change in a folder the feed watches.
class StateComposer {
 public:
  nlohmann::json compose();

 private:
  history::KeptReader m_history;
};

// Replaces each "image_path" (a device path) in the pane with "image_address",
// the server's route to it; images the route would not serve get null.
void add_image_addresses(nlohmann::json& pane);

}  // namespace px::host::web
