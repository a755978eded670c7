#pragma once
// The groups of entries command_table.cpp puts together, one per source file.

#include <vector>

#include "host/cli/command_table.h"

namespace cli {

std::vector<Command> device_commands();   // commands_device.cpp: init, install, remove, boot, shutdown, respring
std::vector<Command> view_commands();     // commands_view.cpp: status, log, watch, demo
std::vector<Command> battery_commands();  // commands_battery.cpp: battery, plug, unplug, record
std::vector<Command>
springboard_commands();      // commands_springboard.cpp: unlock, lock, activator, alerts, press, tick, clock, post
Command settings_command();  // commands_settings.cpp: settings and its subcommands

}  // namespace cli
