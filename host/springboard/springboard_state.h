#pragma once
// What SpringBoard's own classes do, kept where the host's commands and the
// tests can see it. One state per SpringBoard run; registering the classes
// starts a fresh one.

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/run_loop.h"
#include "platform/objc/runtime.h"

namespace px::host::springboard {

struct Banner {
  std::string title;
  std::string message;
  std::string section;
  bool operator==(const Banner&) const = default;
};

struct SpringBoardState {
  bool launched = false;
  bool locked = true;
  bool safe_mode = false;
  int launches = 0;         // runs of SpringBoard's own applicationDidFinishLaunching:
  int battery_updates = 0;  // runs of SpringBoard's own updateBatteryState:
  float last_battery_level = -1.0f;
  int unlock_preparations = 0;  // runs of SpringBoard's own prepareForUIUnlock
  std::size_t alerts_at_last_unlock_preparation = 0;
  int time_item_updates = 0;  // runs of SpringBoard's own _updateTimeItems
  int formatter_resets = 0;   // runs of SpringBoard's own _resetTimeItemFormatter
  std::string status_bar_time;
  std::int64_t battery_generation = 0;
  std::vector<std::string> tweaks;

  // Banners: every one shown this run (oldest first), the one on screen, and
  // those waiting for it to leave.
  std::vector<Banner> banners_shown;
  std::optional<Banner> banner_on_screen;
  std::deque<Banner> banners_waiting;
  bool banner_replace_ready = false;
  platform::foundation::RunLoop::TimerId banner_replace_timer = 0;
  platform::foundation::RunLoop::TimerId banner_dismiss_timer = 0;

  // The shared instance of each class that has one.
  std::map<std::string, platform::objc::id> shared;
};

SpringBoardState& state();
void reset_state();

// The shared instance of a SpringBoard class (made on first use); nil when
// the class is not registered.
platform::objc::id shared_instance(const char* class_name);

}  // namespace px::host::springboard
