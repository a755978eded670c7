#pragma once
// Reading one HTTP/1.1 request off a connection before cpp-httplib sees it,
// with every bound the server promises checked as the bytes arrive: the
// request line and headers (bytes and lines), the body's length, chunked or
// not. cpp-httplib (Debian's prebuilt 0.11.4, whose compile-time limits cannot
// be changed) then parses a request that is already whole and bounded.
//
// A chunked body is decoded here and handed on with a Content-Length, so the
// library never reads chunks itself (it would buffer any number of them).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace px::host::web {

// The request line and headers together, CRLFs included.
inline constexpr std::size_t kMaxHeadBytes = 16 * 1024;
// Header lines (the request line not counted).
inline constexpr std::size_t kMaxHeaderLines = 64;

// Why a request is refused before it is handled: the status and the message
// the client is given.
struct HeadRefusal {
  int status;
  std::string message;
};

// Collects one request from bytes as they arrive. feed() takes what was read
// and says whether the request is whole, still partial, or refused; bytes
// after a whole request (a pipelined next one) are kept for the next reader.
class RequestReader {
 public:
  enum class State { partial, whole, refused };

  explicit RequestReader(std::size_t max_body_bytes) : m_max_body(max_body_bytes) {}

  State feed(std::string_view bytes);
  State state() const { return m_state; }
  // Whether any byte of this request has arrived (an idle connection has none).
  bool started() const { return !m_head.empty() || m_phase != Phase::head; }
  // Whether the request line and headers have all arrived.
  bool head_done() const { return m_phase != Phase::head; }
  // Once whole: the request as cpp-httplib reads it (head rewritten when the
  // body was chunked or an Expect header asked for a go-ahead, then the body).
  std::string take_request();
  // Once whole: what arrived after this request.
  std::string take_rest() { return std::move(m_rest); }
  // Once refused: why.
  const HeadRefusal& refusal() const { return *m_refusal; }
  // The client asked for "100 Continue" before it sends the body; once per request.
  bool take_continue() { return std::exchange(m_send_continue, false); }

 private:
  enum class Phase { head, body, chunk_size, chunk_data, chunk_data_end, trailers, done };

  State refuse(int status, std::string message);
  State parse_head();
  void consume(std::string_view& bytes);

  std::size_t m_max_body;
  State m_state = State::partial;
  Phase m_phase = Phase::head;
  std::string m_head;  // raw bytes until the blank line
  std::size_t m_head_lines = 0;
  std::string m_request_line;
  std::string m_kept_headers;  // the header lines handed on, CRLF-ended
  std::string m_body;
  std::string m_line;  // a chunk-size or trailer line being collected
  std::size_t m_body_left = 0;
  std::size_t m_trailer_bytes = 0;
  std::size_t m_trailer_lines = 0;
  bool m_send_continue = false;
  std::string m_rest;
  std::optional<HeadRefusal> m_refusal;
};

// A whole response for a refusal, closing the connection.
std::string refusal_response(const HeadRefusal& refusal);

}  // namespace px::host::web
