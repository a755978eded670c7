#pragma once
// What an app process shows, published for readers outside it: SpringBoard and
// the Settings app each keep one JSON file under the device's
// /var/run/screen/ and rewrite it (atomically) at the end of every turn of
// their run loop that changed it. A reader learns of a change by watching
// that folder instead of asking the process again and again.

#include <functional>
#include <string>

namespace px::host::common {

// Device path of the folder and host path of one process's file.
inline constexpr const char* kScreenStateFolder = "/var/run/screen";
std::string screen_state_path(const std::string& process);

// Publishes compose() for `process` after every run-loop turn whose result
// differs from the last one written. Lives as long as the process.
class ScreenStatePublisher {
 public:
  ScreenStatePublisher(std::string process, std::function<std::string()> compose);
  // Writes now when the state changed since the last write; true when it wrote.
  bool publish_if_changed();

 private:
  std::string m_path;
  std::function<std::string()> m_compose;
  std::string m_published;
};

// Registers a publisher on the main run loop (for the life of the process).
void publish_screen_state(const std::string& process, std::function<std::string()> compose);

}  // namespace px::host::common
