#pragma once
// The control channel between simdevice and the device's processes: a Unix
// socket per process under the device's /var/run/ (mode 0600, private to its
// owner). A request is one line, a JSON array of strings (the command's
// arguments); the reply is one line, a JSON object {"status", "out", "err"},
// status being the exit code the CLI returns.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace px::host::common {

struct Reply {
  int status = 0;
  std::string out;
  std::string err;

  static Reply ok(std::string out = {}) { return Reply{0, std::move(out), {}}; }
  static Reply fail(std::string err, int status = 1) { return Reply{status, {}, std::move(err)}; }
};

using CommandHandler = std::function<Reply(const std::vector<std::string>& args)>;

// Host path of the control socket of a device process ("launchd", "SpringBoard", "Preferences").
std::string control_socket_path(const std::string& process);

// Serves requests on the main run loop; one request per connection.
class ControlServer {
 public:
  ControlServer(std::string socket_path, CommandHandler handler);
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;
  bool listening() const { return m_fd >= 0; }

 private:
  void accept_one();
  std::string m_path;
  CommandHandler m_handler;
  int m_fd = -1;
};

// Sends one request and waits for the reply; nothing when no process listens
// or it did not answer within the time-out.
std::optional<Reply> control_request(const std::string& socket_path, const std::vector<std::string>& args,
                                     int timeout_ms = 10000);

// The wire format, one line each way (without the line feed). Parsing never
// throws: nothing for a line that is not a JSON array of strings (request) or
// a JSON object whose present fields have the right types (reply).
std::optional<std::vector<std::string>> parse_control_request(std::string_view line);
std::string format_control_request(const std::vector<std::string>& args);
std::optional<Reply> parse_control_reply(std::string_view line);
std::string format_control_reply(const Reply& reply);

// Requests bigger than this are refused by the server.
inline constexpr std::size_t kMaxRequestBytes = 1 << 20;

}  // namespace px::host::common
