#include "host/web/request_guard.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <random>

namespace px::host::web {
namespace {

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

std::string make_session_token() {
  unsigned char bytes[16] = {};
  bool filled = false;
  int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    filled = ::read(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
    ::close(fd);
  }
  if (!filled) {
    std::random_device device;
    for (auto& b : bytes) b = static_cast<unsigned char>(device());
  }
  std::string token;
  char hex[3];
  for (unsigned char b : bytes) {
    std::snprintf(hex, sizeof hex, "%02x", b);
    token += hex;
  }
  return token;
}

std::string token_cookie_name(int port) { return "simdevice_token_" + std::to_string(port); }

bool host_allowed(std::string_view host, int port) {
  std::string suffix = ":" + std::to_string(port);
  return iequals(host, "127.0.0.1" + suffix) || iequals(host, "localhost" + suffix);
}

bool origin_allowed(std::string_view origin, int port) {
  if (origin.empty()) return true;
  std::string suffix = ":" + std::to_string(port);
  return iequals(origin, "http://127.0.0.1" + suffix) || iequals(origin, "http://localhost" + suffix);
}

std::optional<std::string> cookie_value(std::string_view header, std::string_view name) {
  std::size_t at = 0;
  while (at < header.size()) {
    std::size_t end = header.find(';', at);
    if (end == std::string_view::npos) end = header.size();
    std::string_view pair = header.substr(at, end - at);
    while (!pair.empty() && pair.front() == ' ') pair.remove_prefix(1);
    std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos && pair.substr(0, eq) == name) return std::string(pair.substr(eq + 1));
    at = end + 1;
  }
  return std::nullopt;
}

bool token_equal(std::string_view given, std::string_view expected) {
  if (given.size() != expected.size() || expected.empty()) return false;
  unsigned char diff = 0;
  for (std::size_t i = 0; i < given.size(); ++i) diff |= static_cast<unsigned char>(given[i] ^ expected[i]);
  return diff == 0;
}

std::optional<Refusal> check_request(const RequestFacts& facts, int port, std::string_view token, bool needs_token) {
  if (!host_allowed(facts.host, port))
    return Refusal{403, "refused: the Host header must be 127.0.0.1:" + std::to_string(port) +
                            " or localhost:" + std::to_string(port)};
  if (!origin_allowed(facts.origin, port)) return Refusal{403, "refused: requests from another site are not served"};
  if (!needs_token) return std::nullopt;
  std::optional<std::string> cookie = cookie_value(facts.cookie, token_cookie_name(port));
  bool ok = (cookie && token_equal(*cookie, token)) || token_equal(facts.token_header, token) ||
            token_equal(facts.token_query, token);
  if (!ok) return Refusal{403, "refused: missing or wrong session token (open the address simdevice web printed)"};
  return std::nullopt;
}

}  // namespace px::host::web
