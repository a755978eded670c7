#include "host/common/log_tail.h"

#include "platform/foundation/file_io.h"

namespace px::host::common {
namespace {

// The first window holds a few hundred ordinary lines; a window that holds
// too few lines doubles.
constexpr std::size_t kFirstWindow = 64 * 1024;
constexpr std::size_t kLargestWindow = 256u << 20;

}  // namespace

std::vector<std::string> last_lines(std::string_view text, std::size_t count) {
  std::vector<std::string> lines;
  std::size_t end = text.size();
  if (end && text[end - 1] == '\n') --end;
  while (lines.size() < count && end > 0) {
    std::size_t nl = text.rfind('\n', end - 1);
    std::size_t start = nl == std::string_view::npos ? 0 : nl + 1;
    lines.emplace_back(text.substr(start, end - start));
    if (nl == std::string_view::npos) break;
    end = nl;
  }
  return {lines.rbegin(), lines.rend()};
}

std::vector<std::string> last_log_lines(std::string_view device_file, std::size_t count) {
  if (count == 0) return {};
  for (std::size_t window = kFirstWindow;; window *= 2) {
    // One byte more than the window tells whether the file goes on before it.
    auto tail = platform::foundation::read_device_file_tail(platform::sim::DevicePath(device_file), window + 1);
    if (!tail.ok()) return {};
    std::string_view text = *tail;
    bool whole_file = text.size() <= window;
    if (!whole_file) {
      // Up to the first line feed is a piece of a line (or, at the extra
      // byte, the end of the line before the window): never shown.
      auto nl = text.find('\n');
      text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    }
    auto lines = last_lines(text, count);
    if (lines.size() >= count || whole_file || window >= kLargestWindow) return lines;
  }
}

std::string last_log_text(std::string_view device_file, std::size_t count) {
  std::string text;
  for (auto& line : last_log_lines(device_file, count)) text += line + "\n";
  return text;
}

}  // namespace px::host::common
