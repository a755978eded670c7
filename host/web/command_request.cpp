#include "host/web/command_request.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace px::host::web {

CommandRequest parse_command_request(std::string_view body) {
  CommandRequest out;
  if (body.size() > kMaxBodyBytes) {
    out.error = "the request body is larger than 64 KiB";
    return out;
  }
  auto j = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
  if (j.is_discarded()) {
    out.error = "the request body is not JSON";
    return out;
  }
  if (!j.is_object()) {
    out.error = "the request body must be an object {\"args\": [...]}";
    return out;
  }
  auto it = j.find("args");
  if (it == j.end() || !it->is_array() || it->empty()) {
    out.error = "\"args\" must be a non-empty array of strings (the command and its arguments)";
    return out;
  }
  std::vector<std::string> args;
  args.reserve(it->size());
  for (auto& item : *it) {
    if (!item.is_string()) {
      out.error = "\"args\" must hold strings only";
      return out;
    }
    const auto& text = item.get_ref<const std::string&>();
    // A NUL would end the argument early wherever it turns into a C string.
    if (text.find('\0') != std::string::npos) {
      out.error = "an argument holds a NUL character";
      return out;
    }
    args.push_back(text);
  }
  out.args = std::move(args);
  return out;
}

void OutputCapture::append(std::string_view text) {
  std::size_t room = m_limit - std::min(m_limit, m_text.size());
  m_text.append(text.substr(0, room));
  m_dropped += text.size() - std::min(room, text.size());
}

std::string OutputCapture::take(std::string_view command_line) {
  std::string out = std::move(m_text);
  m_text.clear();
  if (m_dropped > 0) {
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += "[output truncated after " + std::to_string(m_limit / 1024) +
           " KiB: the rest was left out. Run `simdevice " + std::string(command_line) +
           "` in a terminal for all of it]\n";
  }
  m_dropped = 0;
  return out;
}

}  // namespace px::host::web
