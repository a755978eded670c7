#pragma once
// The alerts a device process shows, as its control commands list and press
// them. SpringBoard and the Settings app answer `alerts` and
// `press INDEX|TITLE [--alert N]` through these, so choosing an alert and a
// button follows one rule in both:
//   - N is a whole number from 0 (the oldest alert); without it, the newest;
//   - INDEX is a whole number from 0; anything else is a button's exact title;
//   - a malformed command is status 2 (the table of verbs refuses it,
//     host/common/device_verbs.h), an alert or button that is not there 1.

#include <nlohmann/json.hpp>

#include "host/common/control_channel.h"
#include "host/common/device_verbs.h"

namespace px::host::common {

// [{"title", "message", "buttons"}], oldest first.
nlohmann::json alerts_on_screen();

// Presses the button and answers "pressed "TITLE"".
Reply press_alert(const verbs::Press& press);

}  // namespace px::host::common
