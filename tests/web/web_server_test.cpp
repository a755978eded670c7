// The server's refusals and answers, over real HTTP on 127.0.0.1, with a
// fake command runner and a feed whose document the test controls.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <thread>

#include "host/web/request_guard.h"
#include "host/web/state_feed.h"
#include "host/web/web_server.h"
#include "tests/support/temp_device.h"

namespace px::host::web {
namespace {

namespace fs = std::filesystem;
const std::string kToken = "feedfacefeedfacefeedfacefeedface";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "not really an image";

// A raw connection that sends `bytes` and reads the answer until the server
// closes (or 30 s pass: a hang shows as an empty answer, not a stuck test).
int connect_to(int port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{AF_INET, htons(static_cast<uint16_t>(port)), {htonl(INADDR_LOOPBACK)}, {}};
  timeval tv{30, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

std::string exchange(int port, const std::string& bytes) {
  int fd = connect_to(port);
  if (fd < 0) return {};
  ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  std::string answer;
  char buf[4096];
  ssize_t n;
  while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<size_t>(n));
  ::close(fd);
  return answer;
}

class WebServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui = fs::path(device.root()).parent_path() / ("ui-" + std::to_string(::getpid()));
    fs::create_directories(ui);
    std::ofstream(ui / "index.html") << "<!DOCTYPE html><title>page</title>";
    fs::path bundle = fs::path(device.root()) / "Library/PreferenceBundles/X.bundle";
    fs::create_directories(bundle);
    std::ofstream(bundle / "love.png", std::ios::binary) << kPng;
    // Links out of the root: absolute (the device's "/etc"), climbing, and the machine's own path.
    fs::create_symlink("/etc/passwd", bundle / "abs.png");
    fs::create_symlink("../../../../../../../../../etc/passwd", bundle / "up.png");
    fs::create_symlink(device.root() + "/../outside.png", bundle / "host.png");
    feed = std::make_unique<StateFeed>([this] { return nlohmann::json{{"n", counter.load()}}; });
    feed->start();
    // Long enough that no connection of a test is timed out under it.
    IntakeLimits limits;
    limits.head_time = std::chrono::seconds(60);
    server = std::make_unique<WebServer>(
        WebOptions{0, ui.string(), kToken, limits}, [this](const std::vector<std::string>& args) { return run(args); },
        *feed);
    auto bound = server->bind();
    ASSERT_TRUE(bound) << bound.message();
    serving = std::thread([this] { server->serve(); });
    client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    client->set_read_timeout(5, 0);
  }

  void TearDown() override {
    feed->stop();
    server->stop();
    serving.join();
    fs::remove_all(ui);
  }

  CommandOutcome run(const std::vector<std::string>& args) {
    {
      std::lock_guard lock(ran_mutex);
      ran.push_back(args);
    }
    if (args[0] == "hold") {
      std::unique_lock lock(ran_mutex);
      held = true;
      released.notify_all();
      released.wait(lock, [&] { return release; });
    }
    if (args[0] == "boot") {
      // As `boot` does: a child that outlives the command.
      pid_t pid = ::fork();
      if (pid == 0) _exit(0);
      child = pid;
    }
    if (args[0] == "missing") return {1, "", "simdevice: " + device.root() + "/var/db/x-journal is not a plain file\n"};
    if (args[0] == "bad") return {2, "", "simdevice: unknown command 'bad'\n"};
    if (args[0] == "refused") return {1, "", "simdevice: SpringBoard is not running\n"};
    return {0, "done\n", ""};
  }

  httplib::Headers ours(httplib::Headers extra = {}) {
    httplib::Headers h{{"Host", host()}, {"X-Simdevice-Token", kToken}};
    h.insert(extra.begin(), extra.end());
    return h;
  }
  std::string host() const { return "127.0.0.1:" + std::to_string(server->port()); }

  nlohmann::json post(const std::string& body, int expected_status, httplib::Headers headers = {}) {
    auto res = client->Post("/api/command", headers.empty() ? ours() : headers, body, "application/json");
    EXPECT_TRUE(res);
    if (!res) return nullptr;
    EXPECT_EQ(res->status, expected_status) << body << " → " << res->body;
    return nlohmann::json::parse(res->body, nullptr, false);
  }
  std::string raw(const std::string& bytes) { return exchange(server->port(), bytes); }
  int status(const std::string& path, const httplib::Headers& headers = {}) {
    auto res = client->Get(path.c_str(), headers.empty() ? ours() : headers);
    return res ? res->status : -1;
  }

  tests::support::TempDevice device;
  fs::path ui;
  std::atomic<int> counter{0};
  std::unique_ptr<StateFeed> feed;
  std::unique_ptr<WebServer> server;
  std::thread serving;
  std::unique_ptr<httplib::Client> client;
  std::mutex ran_mutex;
  std::condition_variable released;
  bool held = false, release = false;
  std::atomic<pid_t> child{0};
  std::vector<std::vector<std::string>> ran;
};

std::string status_of(const std::string& answer) { return answer.size() >= 12 ? answer.substr(9, 3) : answer; }

// Only the page gets in: its token (header, or the cookie the printed address
// sets) with this server's own Host and Origin. The guard decides on the path
// the router matches: no spelling of a guarded route passes without the token,
// and a route nobody listed is guarded too.
TEST_F(WebServerTest, OnlyThePageGetsInHoweverARouteIsSpelled) {
  auto printed = client->Get(("/?token=" + kToken).c_str(), httplib::Headers{{"Host", host()}});
  ASSERT_TRUE(printed);
  EXPECT_EQ(printed->status, 303);
  std::string cookie = printed->get_header_value("Set-Cookie");
  EXPECT_EQ(cookie.rfind(token_cookie_name(server->port()) + "=" + kToken + ";", 0), 0u) << cookie;
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
  EXPECT_EQ(status("/api/state", {{"Host", host()}, {"Cookie", cookie.substr(0, cookie.find(';'))}}), 200);
  EXPECT_EQ(status("/api/state", {{"Host", host()}, {"X-Simdevice-Token", "0" + kToken.substr(1)}}), 403);
  EXPECT_EQ(status("/api/state", ours({{"Origin", "http://evil.example"}})), 403);
  EXPECT_EQ(
      status("/api/state", {{"Host", "evil.example:" + std::to_string(server->port())}, {"X-Simdevice-Token", kToken}}),
      403)
      << "DNS rebinding";
  post(R"({"args": ["battery", "1%"]})", 403, ours({{"Origin", "http://evil.example"}}));
  EXPECT_EQ(status("/%2e%2e/index.html"), 404);
  auto page = client->Get("/", httplib::Headers{{"Host", host()}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"), std::string::npos);

  std::string h = " HTTP/1.1\r\nHost: " + host() + "\r\nConnection: close\r\n";
  for (const char* path :
       {"/api/state", "/%61pi/state", "/api%2fstate", "/api%2Fstate", "/%61pi/events", "/api/%65vents",
        "/bundle/X.bundle/love.png", "/%62undle/X.bundle/love.png", "/bundle%2fX.bundle%2flove.png", "/dr%61wn/x.png",
        "/a/route/nobody/listed", "/%2e%2e/index.html"})
    EXPECT_EQ(status_of(raw("GET " + std::string(path) + h + "\r\n")), "403") << path;
  std::string body = R"({"args":["post","clearhistory"]})";
  for (const char* path : {"/api/command", "/%61pi/command", "/api%2fcommand", "/%61%70%69/command", "/index.html"})
    EXPECT_EQ(status_of(raw("POST " + std::string(path) + h + "Content-Length: " + std::to_string(body.size()) +
                            "\r\n\r\n" + body)),
              "403")
        << path;
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(status_of(raw("GET /%61pi/state" + h + "X-Simdevice-Token: " + kToken + "\r\n\r\n")), "200");
  std::string icon = raw("GET /favicon.ico" + h + "\r\n");
  EXPECT_EQ(status_of(icon), "200");
  EXPECT_NE(icon.find("Content-Type: image/png"), std::string::npos);
}

TEST_F(WebServerTest, CommandsAnswerWithTheStatusAndTextOfTheCli) {
  auto ok = post(R"({"args": ["battery", "42%"]})", 200);
  EXPECT_EQ(ok["status"], 0);
  EXPECT_EQ(ok["output"], "done\n");
  EXPECT_EQ(post(R"({"args": ["refused"]})", 200)["status"], 1);
  EXPECT_EQ(post(R"({"args": ["missing"]})", 200)["error"], "simdevice: /var/db/x-journal is not a plain file\n")
      << "device paths, not the machine's";
  auto bad = post(R"({"args": ["bad"]})", 400);
  EXPECT_EQ(bad["status"], 2);
  EXPECT_EQ(bad["error"], "simdevice: unknown command 'bad'\n");
  auto malformed = post("{\"args\": [\"battery\"", 400);
  EXPECT_EQ(malformed["status"], 2);
  EXPECT_FALSE(malformed["error"].get<std::string>().empty());
  post(R"({"args": [")" + std::string(70 * 1024, 'x') + R"("]})", 413);
  EXPECT_EQ(ran.size(), 4u) << "a malformed or oversized body runs nothing";

  // Still serving; a child the command leaves behind (as `boot` does) is
  // reaped, not left a zombie (kill() finds a zombie).
  post(R"({"args": ["boot"]})", 200);
  pid_t pid = child;
  ASSERT_GT(pid, 0);
  for (int i = 0; i < 1000 && ::kill(pid, 0) == 0; ++i) usleep(10000);
  EXPECT_NE(::kill(pid, 0), 0);
}

TEST_F(WebServerTest, ImagesAreServedFromInsideTheRootOnly) {
  auto res = client->Get("/bundle/X.bundle/love.png", ours());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, kPng);
  EXPECT_EQ(res->get_header_value("Content-Type"), "image/png");
  // Drawn images are plain files the Settings app wrote: no links, no text.
  fs::path images = fs::path(device.root()) / "var/run/Preferences/images";
  fs::create_directories(images);
  std::ofstream(images / "chart.png", std::ios::binary) << kPng;
  std::ofstream(images / "text.png") << "not a picture";
  fs::create_directories(fs::path(device.root()) / "var/db");
  std::ofstream(fs::path(device.root()) / "var/db/store.png", std::ios::binary) << kPng << "secret";
  fs::create_symlink("/var/db/store.png", images / "link.png");
  fs::create_hard_link(fs::path(device.root()) / "var/db/store.png", images / "hard.png");
  EXPECT_EQ(status("/drawn/chart.png"), 200);
  for (const char* path :
       {"/bundle/../../etc/passwd", "/bundle/X.bundle/%2e%2e/%2e%2e/%2e%2e/etc/passwd", "/bundle/X.bundle/abs.png",
        "/bundle/X.bundle/up.png", "/bundle/X.bundle/host.png", "/bundle/X.bundle/missing.png", "/drawn/link.png",
        "/drawn/hard.png", "/drawn/text.png", "/drawn/none.png"}) {
    auto r = client->Get(path, ours());
    ASSERT_TRUE(r) << path;
    EXPECT_EQ(r->status, 404) << path;
    EXPECT_EQ(r->body.find("root:"), std::string::npos) << path;
  }
}

// Every open stream holds a worker: with the most streams allowed open, one
// more is refused and commands are still answered, not queued behind them.
// Each stream starts with the current state and gets the next one on a change.
TEST_F(WebServerTest, EveryAllowedStreamFollowsTheStateWhileCommandsRun) {
  std::vector<std::string> received(kMaxEventStreams);
  std::string content_type;
  std::atomic<int> greeted{0};
  std::vector<std::thread> readers;
  // One at a time: the listening socket's short backlog is not what is tested.
  for (int i = 0; i < kMaxEventStreams; ++i) {
    readers.emplace_back([&, i] {
      httplib::Client c("127.0.0.1", server->port());
      c.set_read_timeout(60, 0);
      c.Get(
          "/api/events", ours(),
          [&](const httplib::Response& r) {
            if (i == 0) content_type = r.get_header_value("Content-Type");
            return true;
          },
          [&](const char* data, size_t n) {
            if (received[i].empty()) ++greeted;
            received[i].append(data, n);
            return received[i].find("\"n\":1") == std::string::npos;
          });
    });
    for (int wait = 0; wait < 500 && greeted <= i; ++wait) usleep(10000);
  }
  ASSERT_EQ(server->open_event_streams(), kMaxEventStreams);
  auto one_more = client->Get("/api/events", ours());
  ASSERT_TRUE(one_more) << httplib::to_string(one_more.error());
  EXPECT_EQ(one_more->status, 503);
  EXPECT_EQ(post(R"({"args": ["status"]})", 200)["output"], "done\n");

  // A change reaches every stream, whose reader then lets go; the server
  // notices a gone reader at its next write (the next change or heartbeat).
  counter = 1;
  feed->mark_changed();
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(content_type, "text/event-stream");
  for (const std::string& events : received) {
    EXPECT_NE(events.find("event: state\ndata: {\"generation\":1,\"n\":0}\n\n"), std::string::npos) << events;
    EXPECT_NE(events.find("\"n\":1}\n\n"), std::string::npos) << events;
  }
  counter = 2;
  feed->mark_changed();
  for (int i = 0; i < 500 && server->open_event_streams() > 0; ++i) usleep(10000);
  EXPECT_EQ(server->open_event_streams(), 0) << "a closed stream gives its worker back";
}

// The intake: bounds hold before anything else is looked at, clients that
// never finish their headers wait there, not in a worker (a whole request is
// answered while 200 of them are open), and the server keeps serving.
TEST_F(WebServerTest, TheIntakeHoldsBoundsAndSlowClientsWithoutAWorker) {
  EXPECT_EQ(status_of(raw("GET / HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n")), "431");
  std::string chunked = "POST /api/command HTTP/1.1\r\nHost: " + host() + "\r\nX-Simdevice-Token: " + kToken +
                        "\r\nConnection: close\r\nTransfer-Encoding: chunked\r\n\r\n";
  // Refused where the chunks pass 64 KiB, not after buffering them all.
  std::string over = chunked;
  for (int i = 0; i < 70; ++i) over += "400\r\n" + std::string(1024, ' ') + "\r\n";
  EXPECT_EQ(status_of(raw(over)), "413");
  EXPECT_TRUE(ran.empty());
  std::string answer = raw(chunked + "5\r\n{\"arg\r\nf\r\ns\": [\"status\"]}\r\n0\r\n\r\n");
  EXPECT_EQ(status_of(answer), "200") << answer;
  EXPECT_EQ(ran.size(), 1u);

  std::vector<int> slow;
  std::string partial = "GET /api/state HTTP/1.1\r\nHost: " + host() + "\r\nX-Slow: ";
  for (int i = 0; i < 200; ++i) {
    int fd = connect_to(server->port());
    ASSERT_GE(fd, 0);
    ::send(fd, partial.data(), partial.size(), MSG_NOSIGNAL);
    slow.push_back(fd);
  }
  for (int i = 0; i < 1000 && server->waiting_connections() < slow.size(); ++i) usleep(10000);
  ASSERT_EQ(server->waiting_connections(), slow.size());
  EXPECT_EQ(status("/api/state"), 200);
  EXPECT_EQ(post(R"({"args": ["status"]})", 200)["output"], "done\n");
  EXPECT_GE(server->waiting_connections(), slow.size()) << "the slow ones are still waiting";
  for (int fd : slow) ::close(fd);
}

// A second server: not on a port in use, and one past its time bound tells
// the client so and closes.
TEST_F(WebServerTest, ASecondServerRefusesAPortInUseAndTimesOutSlowHeads) {
  auto none = [](const std::vector<std::string>&) { return CommandOutcome{}; };
  WebServer second({server->port(), ui.string(), kToken, {}}, none, *feed);
  auto bound = second.bind();
  ASSERT_FALSE(bound);
  EXPECT_NE(bound.message().find("in use"), std::string::npos) << bound.message();
  IntakeLimits quick;
  quick.head_time = std::chrono::milliseconds(100);
  WebServer impatient({0, ui.string(), kToken, quick}, none, *feed);
  ASSERT_TRUE(impatient.bind());
  std::thread serving_quick([&] { impatient.serve(); });
  EXPECT_EQ(status_of(exchange(impatient.port(), "GET / HTTP/1.1\r\nHost: x")), "408");
  impatient.stop();
  serving_quick.join();
}

// A read runs beside a long change; a change behind it waits, and the state
// document says what for.
TEST_F(WebServerTest, ReadsDoNotWaitAndWaitsAreShown) {
  auto post_with_own_client = [&](std::string body) {
    httplib::Client c("127.0.0.1", server->port());
    c.set_read_timeout(60, 0);
    auto r = c.Post("/api/command", ours(), body, "application/json");
    return r ? r->status : -1;
  };
  auto hold = std::async(std::launch::async, post_with_own_client, R"({"args": ["hold"]})");
  {
    std::unique_lock lock(ran_mutex);
    ASSERT_TRUE(released.wait_for(lock, std::chrono::seconds(10), [&] { return held; }));
  }
  EXPECT_EQ(post_with_own_client(R"({"args": ["history", "--json"]})"), 200) << "answered while hold still runs";
  auto behind = std::async(std::launch::async, post_with_own_client, R"({"args": ["battery", "1%"]})");
  std::string doc;
  for (int i = 0; i < 1000 && doc.find("\"waiting\":[\"battery 1%\"]") == std::string::npos; ++i) {
    usleep(10000);
    doc = *feed->current().json;
  }
  EXPECT_NE(doc.find("\"commands\":{\"running\":[\"hold\"],\"waiting\":[\"battery 1%\"]}"), std::string::npos) << doc;
  {
    std::lock_guard lock(ran_mutex);
    release = true;
  }
  released.notify_all();
  EXPECT_EQ(hold.get(), 200);
  EXPECT_EQ(behind.get(), 200);
  for (int i = 0; i < 1000 && feed->current().json->find("\"commands\"") != std::string::npos; ++i) usleep(10000);
  EXPECT_EQ(feed->current().json->find("\"commands\""), std::string::npos);
}

TEST_F(WebServerTest, TheTokenOfAPortIsKeptPrivatelyForTheNextServer) {
  std::string file = device.root() + "/var/run/web-8765.token";
  fs::create_directories(fs::path(file).parent_path());
  std::string first = kept_session_token(file);
  EXPECT_EQ(first.size(), 32u);
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(kept_session_token(file), first);
  // A file others may read is not trusted: a new token replaces it.
  fs::permissions(file, fs::perms::group_read, fs::perm_options::add);
  std::string second = kept_session_token(file);
  EXPECT_NE(second, first);
  EXPECT_EQ(kept_session_token(file), second);
}

TEST(StateFeedTest, EqualDocumentsMakeNoNewGeneration) {
  int n = 0;
  StateFeed feed([&] { return nlohmann::json{{"n", n}}; });
  feed.rebuild();
  EXPECT_EQ(feed.current().generation, 1);
  feed.rebuild();
  EXPECT_EQ(feed.current().generation, 1);
  n = 2;
  feed.rebuild();
  EXPECT_EQ(feed.current().generation, 2);
  EXPECT_EQ(*feed.current().json, "{\"generation\":2,\"n\":2}");
  EXPECT_FALSE(feed.wait_newer(2, std::chrono::milliseconds(1)));
  EXPECT_TRUE(feed.wait_newer(1, std::chrono::milliseconds(1)));
}

}  // namespace
}  // namespace px::host::web
