#pragma once
// The alerts a device process shows, as its control commands list and press
// them. SpringBoard and the Settings app answer `alerts` and
// `press INDEX|TITLE [--alert N]` through these, so choosing an alert and a
// button follows one rule in both:
//   - N is a whole number from 0 (the oldest alert); without it, the newest;
//   - INDEX is a whole number from 0; anything else is a button's exact title;
//   - a malformed command is status 2, an alert or button that is not there 1.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/common/control_channel.h"

namespace host {

// [{"title", "message", "buttons"}], oldest first.
nlohmann::json alerts_on_screen();

// `press` without its command word: presses the button and answers
// "pressed "TITLE"".
Reply press_alert(const std::vector<std::string>& args);

}  // namespace host
