#pragma once
// The body of POST /api/command: {"args": ["battery", "42%"]}, the command
// line the CLI would take after `simdevice` (no global --root). Parsing never
// throws; a body it refuses gets a message saying why.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace web {

// Bodies over this are refused (413) before they are read.
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

struct CommandRequest {
  std::optional<std::vector<std::string>> args;  // set when the body is good
  std::string error;                             // why not, otherwise
};

// A JSON object whose "args" is a non-empty array of strings, none holding NUL.
CommandRequest parse_command_request(std::string_view body);

}  // namespace web
