#pragma once
// The body of POST /api/command: {"args": ["battery", "42%"]}, the command
// line the CLI would take after `simdevice` (no global --root). Parsing never
// throws; a body it refuses gets a message saying why.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace px::host::web {

// Bodies over this are refused (413) before they are read.
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

struct CommandRequest {
  std::optional<std::vector<std::string>> args;  // set when the body is good
  std::string error;                             // why not, otherwise
};

// What the page is given of one stream of a command's output: the first
// kMaxCommandOutput bytes, then a line saying the rest was left out. The rest
// is counted, not kept, so a command that writes without end costs the
// server this much memory and no more.
inline constexpr std::size_t kMaxCommandOutput = 1u << 20;

class OutputCapture {
 public:
  explicit OutputCapture(std::size_t limit = kMaxCommandOutput) : m_limit(limit) {}
  void append(std::string_view text);
  // Something was left out (a command writing as it goes may stop then).
  bool truncated() const { return m_dropped > 0; }
  // The kept text, and the note when something was left out.
  std::string take(std::string_view command_line);

 private:
  std::size_t m_limit;
  std::string m_text;
  std::size_t m_dropped = 0;
};

// A JSON object whose "args" is a non-empty array of strings, none holding NUL.
CommandRequest parse_command_request(std::string_view body);

}  // namespace px::host::web
