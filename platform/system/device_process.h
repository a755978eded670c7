#pragma once
// One of the device's own processes, known only by the id the supervisor
// records in /var/run/<name>.pid. Before anything signals a recorded id it
// asks belongs_to_device(), so a stale file never leads to signalling a
// stranger, and a process that has exited but not been reaped (a zombie)
// counts as not running.

#include <sys/types.h>

#include <optional>
#include <string>

namespace px::platform::system {

class DeviceProcess {
 public:
  explicit DeviceProcess(std::string name) : m_name(std::move(name)) {}

  const std::string& name() const { return m_name; }
  // The host path of the pid file.
  std::string pid_file() const;
  // The id the file records: digits and an optional newline, above 1 (init is
  // never a target); nothing for anything else.
  std::optional<pid_t> recorded() const;
  // Writes the file atomically; false when it could not be written.
  bool record(pid_t pid) const;
  void forget() const;
  // The recorded process, when it runs and is this device's.
  std::optional<pid_t> running() const;

  // True when `pid` is alive (not a zombie) and its environment holds
  // SIMDEVICE_ROOT naming this device root (a trailing slash names it too).
  static bool belongs_to_device(pid_t pid);

 private:
  std::string m_name;
};

}  // namespace px::platform::system
