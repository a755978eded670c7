#pragma once
// The groups of entries command_table.cpp puts together, one per source file.

#include <vector>

#include "host/cli/command_table.h"

namespace px::host::cli {

// commands_device.cpp: init, install, remove, boot, shutdown, respring
std::vector<Command> device_commands();
// commands_view.cpp: status, log, watch, demo
std::vector<Command> view_commands();
// commands_battery.cpp: battery, plug, unplug, record
std::vector<Command> battery_commands();
// commands_springboard.cpp: unlock, lock, activator, alerts, press, tick, clock, post
std::vector<Command> springboard_commands();
// commands_settings.cpp: settings and its subcommands
Command settings_command();
// commands_account.cpp: account add|remove
Command account_command();
// commands_hardware.cpp: hardware (Control Center's switches)
Command hardware_command();
// commands_web.cpp: web (the live page of the device)
Command web_command();
// commands_history.cpp: history [samples|sessions|forecast]
Command history_command();

}  // namespace px::host::cli
