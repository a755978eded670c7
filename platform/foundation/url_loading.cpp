#include "platform/foundation/url_loading.h"

#include <curl/curl.h>

#include <cctype>
#include <cstring>
#include <mutex>

#include "platform/foundation/log.h"

namespace px::platform::foundation {
namespace {

std::mutex g_mutex;
UrlTimeouts g_timeouts;

struct Sink {
  std::string body;
  bool too_large = false;
};

size_t on_body(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<Sink*>(user);
  size_t n = size * count;
  if (sink->body.size() + n > kMaxUrlResponseBytes) {
    sink->too_large = true;
    return 0;  // aborts the transfer
  }
  sink->body.append(data, n);
  return n;
}

void init_once() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Why a transfer failed, as a person reads it ("connection refused").
std::string failure_text(CURL* curl, CURLcode rc) {
  long os_error = 0;
  switch (rc) {
    case CURLE_COULDNT_CONNECT:
      if (curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &os_error) == CURLE_OK && os_error != 0) {
        std::string text = std::strerror(static_cast<int>(os_error));
        if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
        return text;
      }
      return "could not connect";
    case CURLE_COULDNT_RESOLVE_HOST:
      return "no such host";
    case CURLE_OPERATION_TIMEDOUT:
      return "timed out";
    default: {
      std::string text = curl_easy_strerror(rc);
      if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
      return text;
    }
  }
}

std::optional<std::string> fetch(std::string_view url, std::string* why) {
  auto fail = [why](std::string text) -> std::optional<std::string> {
    if (why) *why = std::move(text);
    return std::nullopt;
  };
  if (!is_valid_url(url)) return fail("not an http or https address");
  init_once();
  CURL* curl = curl_easy_init();
  if (!curl) return fail("no connection could be made");
  UrlTimeouts t = url_timeouts();
  Sink sink;
  std::string target(url);
  curl_easy_setopt(curl, CURLOPT_URL, target.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, t.connect_ms);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, t.total_ms);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, "Preferences (simulated iOS) CFNetwork");
  CURLcode rc = curl_easy_perform(curl);
  std::string failure = sink.too_large   ? "the page is too large"
                        : rc != CURLE_OK ? failure_text(curl, rc)
                                         : std::string();
  curl_easy_cleanup(curl);
  if (!failure.empty()) return fail(std::move(failure));
  return std::move(sink.body);
}

bool valid_utf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = s[i];
    size_t n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
    if (n == 4 || i + n >= s.size()) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

void set_url_timeouts(UrlTimeouts t) {
  std::lock_guard lock(g_mutex);
  g_timeouts = t;
}

UrlTimeouts url_timeouts() {
  std::lock_guard lock(g_mutex);
  return g_timeouts;
}

std::optional<std::string> stringWithContentsOfURL(std::string_view url, int encoding) {
  auto body = fetch(url, nullptr);
  if (!body) return std::nullopt;
  if (encoding == NSASCIIStringEncoding) {
    for (unsigned char c : *body)
      if (c >= 0x80) return std::nullopt;
  } else if (!valid_utf8(*body)) {
    return std::nullopt;
  }
  return body;
}

std::optional<Data> dataWithContentsOfURL(std::string_view url, std::string* why) {
  auto body = fetch(url, why);
  if (!body) return std::nullopt;
  return Data{std::vector<std::uint8_t>(body->begin(), body->end())};
}

std::string percent_encode(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

bool is_valid_url(std::string_view url) {
  CURLU* h = curl_url();
  if (!h) return false;
  std::string text(url);
  bool ok = curl_url_set(h, CURLUPART_URL, text.c_str(), 0) == CURLUE_OK;
  if (ok) {
    char* scheme = nullptr;
    ok = curl_url_get(h, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme &&
         (std::string_view(scheme) == "http" || std::string_view(scheme) == "https");
    curl_free(scheme);
  }
  curl_url_cleanup(h);
  return ok;
}

}  // namespace px::platform::foundation
