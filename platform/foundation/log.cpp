#include "platform/foundation/log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <ctime>

#include "platform/sim/device_clock.h"
#include "platform/sim/device_paths.h"

namespace px::platform::foundation {
namespace {
std::string& name_storage() {
  static std::string name = "process";
  return name;
}
bool g_stderr = false;
}  // namespace

void set_process_name(std::string name) { name_storage() = std::move(name); }
const std::string& process_name() { return name_storage(); }
void set_log_to_stderr(bool on) { g_stderr = on; }

std::string bounded_log_text(std::string_view text) {
  if (text.size() <= kLogTextLimit) return std::string(text);
  // Cut before a UTF-8 continuation byte so the kept part stays valid text.
  std::size_t cut = kLogTextLimit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "\u2026 (" + std::to_string(text.size()) + " bytes)";
}

void log_line(std::string_view text) {
  // The device's own clock, in its time zone: the lines of a device whose
  // clock was set read as its other records do.
  auto now = static_cast<std::time_t>(std::floor(sim::device_now()));
  std::tm tm{};
  localtime_r(&now, &tm);
  char date[32];
  std::strftime(date, sizeof date, "%b %e %H:%M:%S", &tm);
  std::string line = std::string(date) + " iPhone " + process_name() + "[" + std::to_string(::getpid()) +
                     "] <Notice>: " + bounded_log_text(text) + "\n";
  if (!sim::device_root().empty()) {
    // One write with O_APPEND keeps lines of concurrent processes whole.
    int fd = ::open(sim::DevicePath(kSyslogFile).host().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ssize_t ignored = ::write(fd, line.data(), line.size());
      (void)ignored;
      ::close(fd);
    }
  }
  if (g_stderr || sim::device_root().empty()) {
    ssize_t ignored = ::write(2, line.data(), line.size());
    (void)ignored;
  }
}

}  // namespace px::platform::foundation
