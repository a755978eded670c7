// Control-socket messages in every broken form: the server answers each
// with a clear refusal and keeps serving; the client refuses malformed
// replies instead of throwing.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "host/common/control_channel.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/temp_device.h"

namespace {

// Sends raw bytes (half-closing afterwards) and returns the raw reply line.
std::string raw_exchange(const std::string& socket_path, const std::string& bytes) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string short_path = socket_path;
  if (short_path.size() >= sizeof addr.sun_path) return "path too long";
  std::memcpy(addr.sun_path, short_path.c_str(), short_path.size() + 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return "no connection";
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::shutdown(fd, SHUT_WR);
  std::string reply;
  char buf[4096];
  ssize_t n;
  while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) reply.append(buf, static_cast<std::size_t>(n));
  ::close(fd);
  return reply;
}

class ControlMessages : public ::testing::Test {
 protected:
  px::tests::support::TempDevice device;
};

TEST_F(ControlMessages, ServerRefusesEveryMalformedRequestAndKeepsServing) {
  // A short socket path: raw clients connect without the /proc/self/fd trick.
  std::string path = "/tmp/pxctl-" + std::to_string(::getpid()) + ".sock";
  std::atomic<int> handled{0};
  px::host::common::ControlServer server(path, [&](const std::vector<std::string>& args) {
    ++handled;
    if (!args.empty() && args[0] == "throw") throw std::runtime_error("boom");
    return px::host::common::Reply::ok(std::to_string(args.size()));
  });
  ASSERT_TRUE(server.listening());
  struct Case {
    std::string name, bytes, reply_contains;
  };
  std::string deep(100000, '[');
  std::vector<Case> cases = {
      {"empty", "", "malformed control request"},
      {"newline only", "\n", "malformed control request"},
      {"object", "{\"a\":1}\n", "malformed control request"},
      {"numbers", "[1,2]\n", "malformed control request"},
      {"null item", "[\"a\",null]\n", "malformed control request"},
      {"nested array", "[[\"a\"]]\n", "malformed control request"},
      {"truncated", "[\"stat", "malformed control request"},
      {"garbage", std::string("\xFF\xFE\x00\x01 garbage", 13) + "\n", "malformed control request"},
      {"invalid utf-8", "[\"\xC3\x28\"]\n", "malformed control request"},
      {"lone surrogate escape", "[\"\\ud800\"]\n", "malformed control request"},
      {"deep nesting", deep + "\n", "malformed control request"},
      {"too long", "[\"" + std::string(px::host::common::kMaxRequestBytes + 10, 'a') + "\"]\n",
       "malformed control request"},
      {"good", "[\"status\",\"--json\"]\n", "\"out\":\"2\""},
      {"two lines", "[\"a\"]\n[\"b\",\"c\"]\n", "\"out\":\"1\""},
      {"handler throws", "[\"throw\"]\n", "internal error: boom"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string reply;
    std::thread client([&] { reply = raw_exchange(path, c.bytes); });
    // Serve until the client has its answer.
    while (reply.empty()) {
      px::platform::foundation::RunLoop::main().run_once(50);
      if (!client.joinable()) break;
      if (!reply.empty()) break;
      static int spins = 0;
      if (++spins > 100000) break;
    }
    client.join();
    EXPECT_NE(reply.find(c.reply_contains), std::string::npos) << reply.substr(0, 200);
    EXPECT_EQ(reply.back(), '\n');
    EXPECT_TRUE(px::host::common::parse_control_reply(reply.substr(0, reply.size() - 1)))
        << "every reply is well formed";
  }
  EXPECT_EQ(handled.load(), 3) << "only the well-formed requests reach the handler";
  ::unlink(path.c_str());
}

TEST(ControlReplies, MalformedRepliesAreRefusedNotThrown) {
  for (const char* bad : {"", "null", "[]", "\"x\"", "{\"status\":\"0\"}", "{\"status\":1.5}", "{\"status\":1e99}",
                          "{\"status\":-2147483649}", "{\"out\":5}", "{\"err\":[]}", "{\"status\":true}", "{",
                          "{\"status\":0,\"out\":\"\\ud800\"}x"})
    EXPECT_FALSE(px::host::common::parse_control_reply(bad)) << bad;
  auto ok = px::host::common::parse_control_reply("{\"status\":3,\"out\":\"o\",\"err\":\"e\",\"extra\":[1]}");
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->status, 3);
  EXPECT_EQ(ok->out, "o");
  EXPECT_EQ(ok->err, "e");
  auto absent = px::host::common::parse_control_reply("{}");
  ASSERT_TRUE(absent);
  EXPECT_EQ(absent->status, 1) << "a reply without a status is a failure";
}

TEST(ControlReplies, RequestsSurviveTheirEncoding) {
  std::vector<std::string> args = {"set", "Row \"1\"", "caf\xC3\xA9", std::string("nul\0inside", 10), "\n"};
  EXPECT_EQ(px::host::common::parse_control_request(px::host::common::format_control_request(args)), args);
  EXPECT_EQ(px::host::common::format_control_request(args).find('\n'), std::string::npos) << "one line on the wire";
}

}  // namespace
