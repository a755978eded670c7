#pragma once
// The device supervisor ("launchd"): starts SpringBoard and keeps it running,
// starts the Settings app on demand, runs the battery driver and answers the
// control socket. Children are known by the ids it starts them with; it never
// looks processes up by name.

#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/common/control_channel.h"
#include "host/device/battery_driver.h"
#include "host/device/restart_policy.h"

namespace px::host::device {

class Supervisor {
 public:
  Supervisor(std::string bin_dir, std::unique_ptr<BatteryDriver> battery);
  ~Supervisor();

  // Serves until `shutdown` (or SIGTERM/SIGINT); the exit status of launchd.
  int run();

  common::Reply handle(const std::vector<std::string>& args);

 private:
  using Reply = common::Reply;
  void start_springboard();
  std::optional<pid_t> spawn(const std::string& name, const std::vector<std::string>& args, bool safe_mode);
  void on_signal();
  void reap();
  void on_exit(pid_t pid, int wstatus);
  void stop_process(pid_t pid, int grace_ms);
  void shutdown();
  double now_s() const;

  Reply open_settings(const std::string& url);
  Reply respring();
  Reply status() const;

  std::string m_bin_dir;
  std::unique_ptr<BatteryDriver> m_battery;
  RestartPolicy m_policy;
  std::unique_ptr<common::ControlServer> m_server;
  int m_signal_fd = -1;
  pid_t m_springboard = 0;
  pid_t m_preferences = 0;
  pid_t m_expected_exit = 0;  // a SpringBoard exit the supervisor asked for
  bool m_springboard_safe = false;
  bool m_restart_pending = false;
  int m_restarts = 0;
  bool m_stopping = false;
  std::string m_springboard_error;
};

}  // namespace px::host::device
