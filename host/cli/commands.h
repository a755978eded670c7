#pragma once
// The simdevice commands. Each takes its arguments after the command name and
// returns the exit status; messages go to stdout and stderr.

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int cmd_init(const Args& args);
int cmd_install(const Args& args);
int cmd_remove(const Args& args);
int cmd_boot(const Args& args);
int cmd_shutdown(const Args& args);
int cmd_battery(const Args& args);
int cmd_plug(bool connected);
int cmd_post(const Args& args);
int cmd_log(const Args& args);
int cmd_status(const Args& args);
int cmd_respring(const Args& args);
int cmd_record(const Args& args);
int cmd_watch(const Args& args);
int cmd_settings(const Args& args);
int cmd_clock(const Args& args);
int cmd_demo(const Args& args);
// unlock, lock, activator, alerts, press, tick: SpringBoard answers them.
int forward_to_springboard(const std::string& command, const Args& args);

// Sends a request to a device process and prints its reply; `hint` says what
// to do when nothing answers.
int forward(const std::string& process, const Args& request, const std::string& hint);

// Waits until SpringBoard has handled the battery entry of `generation`.
bool wait_for_battery_handled(long long generation, int timeout_ms);

}  // namespace cli
