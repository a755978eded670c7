#include "host/common/screen_state.h"

#include <filesystem>
#include <memory>

#include "platform/foundation/file_io.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/atomic_write.h"
#include "platform/sim/device_paths.h"

namespace px::host::common {

std::string screen_state_path(const std::string& process) {
  return platform::sim::DevicePath(std::string(kScreenStateFolder) + "/" + process + ".json").host();
}

ScreenStatePublisher::ScreenStatePublisher(std::string process, std::function<std::string()> compose)
    : m_path(screen_state_path(process)), m_compose(std::move(compose)) {}

bool ScreenStatePublisher::publish_if_changed() {
  std::string now = m_compose();
  if (now == m_published) return false;
  // The folder is made only when a write finds it missing (first publish, or
  // a device wiped under the process), not on every change. A write that
  // still fails is tried again at the next turn: m_published stays the old text.
  if (!platform::sim::write_file_atomically(m_path, now)) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    if (!platform::sim::write_file_atomically(m_path, now)) return false;
  }
  m_published = std::move(now);
  return true;
}

void publish_screen_state(const std::string& process, std::function<std::string()> compose) {
  auto publisher = std::make_shared<ScreenStatePublisher>(process, std::move(compose));
  platform::foundation::RunLoop::main().add_turn_observer([publisher] { publisher->publish_if_changed(); });
}

}  // namespace px::host::common
