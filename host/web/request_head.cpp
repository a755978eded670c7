#include "host/web/request_head.h"

#include <algorithm>
#include <cctype>

namespace px::host::web {
namespace {

// A chunk-size line ("1a2b;ext"): generous for any extension a client sends.
constexpr std::size_t kMaxChunkLine = 1024;

bool iequals(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool is_token_char(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// Decimal digits only (no sign, no spaces inside); nothing past 19 digits.
std::optional<std::size_t> parse_length(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  std::size_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  return n;
}

const char* reason_of(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 408:
      return "Request Timeout";
    case 413:
      return "Payload Too Large";
    case 431:
      return "Request Header Fields Too Large";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

}  // namespace

RequestReader::State RequestReader::refuse(int status, std::string message) {
  m_refusal = HeadRefusal{status, std::move(message)};
  m_head.clear();
  m_body.clear();
  return m_state = State::refused;
}

RequestReader::State RequestReader::feed(std::string_view bytes) {
  if (m_state == State::whole) {
    m_rest.append(bytes);
    return m_state;
  }
  if (m_state == State::refused) return m_state;
  if (m_phase == Phase::head) {
    std::size_t old_size = m_head.size();
    std::size_t from = old_size < 3 ? 0 : old_size - 3;
    // One byte past the bound is enough to know the bound is passed.
    std::string_view taken = bytes.substr(0, kMaxHeadBytes + 1 - old_size);
    m_head.append(taken);
    std::size_t end = m_head.find("\r\n\r\n", from);
    std::size_t head_end = end == std::string::npos ? m_head.size() : end + 4;
    // Lines are counted as they come: a flood of short lines is refused
    // before it reaches the byte bound.
    m_head_lines += static_cast<std::size_t>(
        std::count(m_head.begin() + static_cast<std::ptrdiff_t>(old_size),
                   m_head.begin() + static_cast<std::ptrdiff_t>(std::min(head_end, m_head.size())), '\n'));
    if (head_end > kMaxHeadBytes || m_head_lines > kMaxHeaderLines + (end == std::string::npos ? 1 : 2))
      return refuse(431, "the request's headers exceed " + std::to_string(kMaxHeadBytes / 1024) + " KiB or " +
                             std::to_string(kMaxHeaderLines) + " lines");
    if (end == std::string::npos) return m_state;
    bytes.remove_prefix(head_end - old_size);
    m_head.resize(head_end);
    if (parse_head() == State::refused) return m_state;
  }
  consume(bytes);
  return m_state;
}

RequestReader::State RequestReader::parse_head() {
  std::string_view head(m_head);
  head.remove_suffix(2);  // the blank line's CRLF; every line now ends with CRLF
  std::optional<std::size_t> length;
  bool chunked = false, expects_continue = false, had_transfer_encoding = false;
  std::size_t lines = 0;
  std::size_t at = 0;
  while (at < head.size()) {
    std::size_t end = head.find("\r\n", at);
    std::string_view line = head.substr(at, end - at);
    at = end + 2;
    if (line.find('\0') != std::string_view::npos) return refuse(400, "the request holds a NUL byte");
    if (m_request_line.empty()) {
      if (line.empty() || std::count(line.begin(), line.end(), ' ') != 2)
        return refuse(400, "the request line is not METHOD TARGET VERSION");
      m_request_line = line;
      continue;
    }
    if (++lines > kMaxHeaderLines)
      return refuse(431, "the request has more than " + std::to_string(kMaxHeaderLines) + " header lines");
    std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos ||
        !std::all_of(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(colon), is_token_char))
      return refuse(400, "a header line is not NAME: VALUE");
    std::string_view name = line.substr(0, colon), value = trimmed(line.substr(colon + 1));
    if (iequals(name, "Content-Length")) {
      auto n = parse_length(value);
      if (!n || (length && *length != *n)) return refuse(400, "the Content-Length header is malformed");
      length = n;
      continue;
    }
    if (iequals(name, "Transfer-Encoding")) {
      if (had_transfer_encoding || !iequals(value, "chunked"))
        return refuse(501, "only the chunked transfer coding is accepted");
      had_transfer_encoding = chunked = true;
      continue;
    }
    if (iequals(name, "Expect")) {
      expects_continue = iequals(value, "100-continue");
      continue;
    }
    m_kept_headers.append(line);
    m_kept_headers.append("\r\n");
  }
  if (chunked && length) return refuse(400, "a request cannot have both Content-Length and chunked transfer coding");
  if (length && *length > m_max_body)
    return refuse(413, "the request body is larger than " + std::to_string(m_max_body / 1024) + " KiB");
  m_trailer_bytes = m_head.size();
  m_head.clear();
  if (chunked) {
    m_phase = Phase::chunk_size;
  } else if (length && *length > 0) {
    m_phase = Phase::body;
    m_body_left = *length;
  } else {
    m_phase = Phase::done;
    m_state = State::whole;
    return m_state;
  }
  m_send_continue = expects_continue;
  return m_state;
}

void RequestReader::consume(std::string_view& bytes) {
  auto too_large = [&] {
    refuse(413, "the request body is larger than " + std::to_string(m_max_body / 1024) + " KiB");
  };
  // Collects a CRLF-ended line into m_line; true once it is complete (without its CRLF).
  auto take_line = [&](std::size_t limit) {
    while (!bytes.empty()) {
      char c = bytes.front();
      bytes.remove_prefix(1);
      m_line += c;
      if (m_line.size() >= 2 && m_line.compare(m_line.size() - 2, 2, "\r\n") == 0) {
        m_line.resize(m_line.size() - 2);
        return true;
      }
      if (m_line.size() > limit) return false;
    }
    return false;
  };
  while (m_state == State::partial && (!bytes.empty() || m_phase == Phase::done)) {
    switch (m_phase) {
      case Phase::head:
        return;
      case Phase::body:
      case Phase::chunk_data: {
        std::size_t n = std::min(bytes.size(), m_body_left);
        m_body.append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        m_body_left -= n;
        if (m_body_left == 0) m_phase = m_phase == Phase::body ? Phase::done : Phase::chunk_data_end;
        break;
      }
      case Phase::chunk_size: {
        if (!take_line(kMaxChunkLine)) {
          if (m_line.size() > kMaxChunkLine) refuse(400, "a chunk-size line is malformed");
          return;
        }
        std::string_view digits = m_line;
        digits = trimmed(digits.substr(0, digits.find(';')));
        std::size_t size = 0;
        if (digits.empty() || digits.size() > 15) return void(refuse(400, "a chunk-size line is malformed"));
        for (char c : digits) {
          if (!std::isxdigit(static_cast<unsigned char>(c))) return void(refuse(400, "a chunk-size line is malformed"));
          size = size * 16 + static_cast<std::size_t>(std::isdigit(static_cast<unsigned char>(c))
                                                          ? c - '0'
                                                          : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        }
        m_line.clear();
        if (size > m_max_body - m_body.size()) return too_large();
        m_body_left = size;
        m_phase = size == 0 ? Phase::trailers : Phase::chunk_data;
        break;
      }
      case Phase::chunk_data_end:
        if (!take_line(1)) {
          if (m_line.size() > 1) refuse(400, "a chunk does not end with CRLF");
          return;
        }
        if (!m_line.empty()) return void(refuse(400, "a chunk does not end with CRLF"));
        m_phase = Phase::chunk_size;
        break;
      case Phase::trailers: {
        std::size_t before = m_line.size();
        bool complete = take_line(kMaxHeadBytes);
        m_trailer_bytes += m_line.size() - before + (complete ? 2 : 0);
        if (m_trailer_bytes > kMaxHeadBytes)
          return void(refuse(
              431, "the request's headers and trailers exceed " + std::to_string(kMaxHeadBytes / 1024) + " KiB"));
        if (!complete) return;
        // Trailers are read and dropped: nothing here uses them.
        bool last = m_line.empty();
        m_line.clear();
        if (last)
          m_phase = Phase::done;
        else if (++m_trailer_lines > kMaxHeaderLines)
          return void(refuse(431, "the request has more than " + std::to_string(kMaxHeaderLines) + " trailer lines"));
        break;
      }
      case Phase::done:
        m_state = State::whole;
        break;
    }
  }
  if (m_state == State::whole) m_rest.append(bytes);
}

std::string RequestReader::take_request() {
  std::string method = m_request_line.substr(0, m_request_line.find(' '));
  std::string out = m_request_line + "\r\n" + m_kept_headers;
  // A body always goes with its length: the library then never reads to the
  // end of the connection for one.
  if (!m_body.empty() || method == "POST" || method == "PUT" || method == "PATCH")
    out += "Content-Length: " + std::to_string(m_body.size()) + "\r\n";
  out += "\r\n";
  out += m_body;
  m_body.clear();
  return out;
}

std::string refusal_response(const HeadRefusal& refusal) {
  std::string body = "{\"error\":\"" + refusal.message + "\"}";
  return "HTTP/1.1 " + std::to_string(refusal.status) + " " + reason_of(refusal.status) +
         "\r\nContent-Type: application/json\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace px::host::web
