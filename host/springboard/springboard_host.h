#pragma once
// The SpringBoard process around its classes: loading tweaks, launching,
// the battery watcher, the minute timer for the status-bar clock, lock and
// unlock, routing of prefs: URLs to the supervisor, and the control commands
// simdevice sends.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/common/control_channel.h"
#include "host/springboard/battery_watcher.h"
#include "platform/foundation/run_loop.h"

namespace px::host::springboard {

struct HostOptions {
  bool safe_mode = false;
  bool load_tweaks = true;     // off: the caller loads (or not) what it wants
  bool control_socket = true;  // off: commands are only reached through handle_command
};

class SpringBoardHost {
 public:
  // Registers SpringBoard's classes, then (unless in safe mode) loads tweaks.
  explicit SpringBoardHost(HostOptions options);
  ~SpringBoardHost();
  SpringBoardHost(const SpringBoardHost&) = delete;
  SpringBoardHost& operator=(const SpringBoardHost&) = delete;

  // applicationDidFinishLaunching:, then the watchers and the minute timer.
  void launch();

  void unlock();
  void lock();
  // `count` time-item updates, then with `reset` one formatter reset, after
  // which the status bar redraws once with the new formatter.
  std::string tick(int count, bool reset);
  // Sets the device clock (every process of the device follows) and
  // refreshes the time items; nothing when the clock could not be set.
  std::optional<std::string> set_clock(double unix_seconds);
  // Handles what is pending (battery changes, Darwin notifications).
  std::int64_t sync();

  std::string status_json() const;
  std::string alerts_json() const;
  common::Reply handle_command(const std::vector<std::string>& args);

 private:
  void schedule_minute_timer();
  void refresh_time_items();
  void reset_time_formatter();
  // The clock moved (here or in another process): the time items and the
  // minute timer follow it.
  void clock_changed();

  HostOptions m_options;
  std::unique_ptr<BatteryWatcher> m_battery;
  std::unique_ptr<common::ControlServer> m_server;
  platform::foundation::RunLoop::TimerId m_minute_timer = 0;
  // Darwin observers outlive the host (tests make several): theirs checks this.
  std::shared_ptr<SpringBoardHost*> m_self;
};

}  // namespace px::host::springboard
