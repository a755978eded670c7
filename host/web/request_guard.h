#pragma once
// Who may talk to `simdevice web`. The server binds 127.0.0.1 only, but a page
// of any site open in the same browser can still reach loopback: through DNS
// rebinding (a foreign name resolving to 127.0.0.1, seen in `Host`) or by
// posting across sites (seen in `Origin`). Every API request must also carry
// the session token, random per run, which only the printed address holds.

#include <optional>
#include <string>
#include <string_view>

namespace px::host::web {

// A token of 32 hexadecimal digits from the kernel's random source.
std::string make_session_token();

// The cookie the page keeps the token in. Named with the port, so that two
// servers on one machine (one host name for cookies) do not overwrite each other's.
std::string token_cookie_name(int port);

// True for "127.0.0.1:PORT" and "localhost:PORT" (any case), nothing else.
bool host_allowed(std::string_view host, int port);
// True when there is no Origin (same-origin GETs, tools) or it is this server's
// own: "http://127.0.0.1:PORT" or "http://localhost:PORT".
bool origin_allowed(std::string_view origin, int port);

// The value of one cookie in a Cookie header, if present.
std::optional<std::string> cookie_value(std::string_view cookie_header, std::string_view name);

// Compares in time independent of where the two differ.
bool token_equal(std::string_view given, std::string_view expected);

// The refusal of one request, when it is refused.
struct Refusal {
  int status;
  std::string message;
};

struct RequestFacts {
  std::string_view host;
  std::string_view origin;
  std::string_view cookie;
  std::string_view token_header;  // X-Simdevice-Token
  std::string_view token_query;   // ?token= (only the first page load carries it)
};

// Host and Origin for every request; the token too when `needs_token`.
std::optional<Refusal> check_request(const RequestFacts& facts, int port, std::string_view token, bool needs_token);

}  // namespace px::host::web
