#pragma once
// The device's own processes, known only by the ids the supervisor records in
// <root>/var/run/<Name>.pid. Before anything signals a recorded id it checks
// that the process still is one of this device's (its environment names this
// device root), so a stale file never leads to signalling a stranger.

#include <sys/types.h>

#include <optional>
#include <string>

namespace host {

std::string pid_file_path(const std::string& process);
std::optional<pid_t> read_pid_file(const std::string& process);
bool write_pid_file(const std::string& process, pid_t pid);
void remove_pid_file(const std::string& process);

// True when `pid` is alive (not a zombie) and runs with SIMDEVICE_ROOT set to
// the current device root.
bool is_device_process(pid_t pid);

// The recorded process, when it is alive and this device's.
std::optional<pid_t> running_device_process(const std::string& process);

// The folder of the running executable.
std::string own_exe_dir();
// The folder holding the device binaries: $SIMDEVICE_BIN_DIR, else own_exe_dir().
std::string device_bin_dir();

}  // namespace host
