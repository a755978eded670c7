#pragma once
// The start every app process of the device shares (SpringBoard, the Settings
// app): its device root, its name in the log, its defaults domain, and a clean
// stop of its run loop on SIGTERM or SIGINT.

#include <string>
#include <vector>

namespace px::host::common {

struct ProcessArgs {
  bool foreground = false;        // the syslog is copied to standard error
  std::vector<std::string> rest;  // the arguments the process reads itself
};

// Takes --root DIR and --foreground out of argv; foreground defaults to
// whether standard error is a terminal.
ProcessArgs parse_process_args(int argc, char** argv);

// False, after a message on standard error, when no device root is set.
bool start_device_process(const std::string& name, const std::string& defaults_domain, bool foreground);

}  // namespace px::host::common
