#pragma once
// Synchronous URL loading, as NSString stringWithContentsOfURL:encoding:error:
// and NSData dataWithContentsOfURL: do it, through libcurl. Only http and
// https are fetched; every fetch is bounded in time and size, so a dead host
// cannot hold the calling thread for longer than the time-outs below.
//
// Like Foundation, a fetch fails (nothing) only when no response arrives:
// the body of any HTTP response, even an error page, is the result.

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/value.h"

namespace px::platform::foundation {

struct UrlTimeouts {
  long connect_ms = 10'000;
  long total_ms = 30'000;
};
void set_url_timeouts(UrlTimeouts t);
UrlTimeouts url_timeouts();

// Response bodies larger than this are refused (the fetch fails).
inline constexpr std::size_t kMaxUrlResponseBytes = 8 * 1024 * 1024;

// NSStringEncoding values the system passes.
enum NSStringEncoding { NSASCIIStringEncoding = 1, NSUTF8StringEncoding = 4 };

// The body decoded in `encoding`; nothing when the fetch fails or the body is
// not valid in that encoding.
std::optional<std::string> stringWithContentsOfURL(std::string_view url, int encoding);
// The body; nothing when the fetch fails, and then, when `why` is given, the
// reason in words ("connection refused", "no such host", "timed out").
std::optional<Data> dataWithContentsOfURL(std::string_view url, std::string* why = nullptr);

// RFC 3986 percent-encoding of one query value: unreserved characters
// (A-Z a-z 0-9 - . _ ~) stay, every other byte becomes %XX (upper-case hex).
std::string percent_encode(std::string_view text);

// True when the text parses as an absolute http(s) URL (NSURL URLWithString:
// gives nil otherwise).
bool is_valid_url(std::string_view url);

}  // namespace px::platform::foundation
