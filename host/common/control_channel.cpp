#include "host/common/control_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <nlohmann/json.hpp>

#include "host/common/value_json.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_paths.h"

namespace px::host::common {
namespace {

// Socket paths are limited to about 100 bytes; a deep device root would not
// fit. Binding and connecting through /proc/self/fd/<folder>/<name> keeps the
// address short whatever the root.
struct ShortAddress {
  int folder_fd = -1;
  sockaddr_un addr{};
  bool valid = false;
  explicit ShortAddress(const std::string& path) {
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd < 0) return;
    std::string short_path = "/proc/self/fd/" + std::to_string(folder_fd) + "/" + name;
    if (short_path.size() >= sizeof(addr.sun_path)) return;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, short_path.c_str(), short_path.size() + 1);
    valid = true;
  }
  ~ShortAddress() {
    if (folder_fd >= 0) ::close(folder_fd);
  }
};

bool wait_for(int fd, short events, int timeout_ms) {
  pollfd p{fd, events, 0};
  int n;
  do n = ::poll(&p, 1, timeout_ms);
  while (n < 0 && errno == EINTR);
  return n > 0;
}

bool send_all(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    ssize_t n = ::send(fd, s.data() + done, s.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Reads up to the first line feed.
std::optional<std::string> read_line(int fd, int timeout_ms, std::size_t limit) {
  std::string line;
  char buf[4096];
  while (true) {
    if (!wait_for(fd, POLLIN, timeout_ms)) return std::nullopt;
    ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return line.empty() ? std::nullopt : std::optional(line);
    line.append(buf, static_cast<std::size_t>(n));
    if (auto nl = line.find('\n'); nl != std::string::npos) {
      if (nl > limit) return std::nullopt;  // the line feed came in the chunk past the limit
      return line.substr(0, nl);
    }
    if (line.size() > limit) return std::nullopt;
  }
}

}  // namespace

std::optional<std::vector<std::string>> parse_control_request(std::string_view line) {
  auto j = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
  if (!j.is_array()) return std::nullopt;
  std::vector<std::string> args;
  args.reserve(j.size());
  for (auto& item : j) {
    if (!item.is_string()) return std::nullopt;
    args.push_back(item.get<std::string>());
  }
  return args;
}

std::string format_control_request(const std::vector<std::string>& args) {
  nlohmann::json req = args;
  return json_text(req);
}

std::optional<Reply> parse_control_reply(std::string_view line) {
  auto j = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
  if (!j.is_object()) return std::nullopt;
  // json::value throws on a field of another type; a reply from a confused
  // or hostile peer must not take the client down.
  Reply r;
  r.status = 1;
  if (auto it = j.find("status"); it != j.end()) {
    if (!it->is_number_integer()) return std::nullopt;
    auto n = it->get<long long>();
    if (n < INT32_MIN || n > INT32_MAX) return std::nullopt;
    r.status = static_cast<int>(n);
  }
  for (auto [key, field] : {std::pair{"out", &r.out}, std::pair{"err", &r.err}}) {
    if (auto it = j.find(key); it != j.end()) {
      if (!it->is_string()) return std::nullopt;
      *field = it->get<std::string>();
    }
  }
  return r;
}

std::string format_control_reply(const Reply& reply) {
  nlohmann::json out = {{"status", reply.status}, {"out", reply.out}, {"err", reply.err}};
  return json_text(out);
}

std::string control_socket_path(const std::string& process) {
  return platform::sim::DevicePath("/var/run/" + process + ".sock").host();
}

ControlServer::ControlServer(std::string socket_path, CommandHandler handler)
    : m_path(std::move(socket_path)), m_handler(std::move(handler)) {
  ShortAddress a(m_path);
  if (!a.valid) return;
  ::unlink(m_path.c_str());
  m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_fd < 0) return;
  mode_t old = ::umask(0177);  // the socket is created 0600: only its owner may drive the device
  int bound = ::bind(m_fd, reinterpret_cast<sockaddr*>(&a.addr), sizeof a.addr);
  ::umask(old);
  if (bound != 0 || ::listen(m_fd, 16) != 0) {
    ::close(m_fd);
    m_fd = -1;
    return;
  }
  platform::foundation::RunLoop::main().add_fd(m_fd, [this] { accept_one(); });
}

ControlServer::~ControlServer() {
  if (m_fd >= 0) {
    platform::foundation::RunLoop::main().remove_fd(m_fd);
    ::close(m_fd);
    ::unlink(m_path.c_str());
  }
}

void ControlServer::accept_one() {
  int c = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (c < 0) return;
  Reply reply;
  auto line = read_line(c, 5000, kMaxRequestBytes);
  std::optional<std::vector<std::string>> args;
  if (line) args = parse_control_request(*line);
  if (!args) {
    reply = Reply::fail("malformed control request", 2);
  } else {
    try {
      reply = m_handler(*args);
    } catch (const std::exception& e) {
      // A command must never take the process down with it.
      reply = Reply::fail(std::string("internal error: ") + e.what(), 70);
    }
  }
  send_all(c, format_control_reply(reply) + "\n");
  ::close(c);
}

std::optional<Reply> control_request(const std::string& socket_path, const std::vector<std::string>& args,
                                     int timeout_ms) {
  ShortAddress a(socket_path);
  if (!a.valid) return std::nullopt;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::nullopt;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a.addr), sizeof a.addr) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  std::optional<Reply> result;
  if (send_all(fd, format_control_request(args) + "\n")) {
    if (auto line = read_line(fd, timeout_ms, 64u << 20)) result = parse_control_reply(*line);
  }
  ::close(fd);
  return result;
}

}  // namespace px::host::common
