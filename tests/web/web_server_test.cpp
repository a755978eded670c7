// The server's refusals and answers, over real HTTP on 127.0.0.1, with a
// fake command runner and a feed whose document the test controls.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host/web/request_guard.h"
#include "host/web/state_feed.h"
#include "host/web/web_server.h"
#include "tests/support/temp_device.h"

namespace web {
namespace {

namespace fs = std::filesystem;
const std::string kToken = "feedfacefeedfacefeedfacefeedface";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "not really an image";

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
    server = std::make_unique<WebServer>(
        WebOptions{0, ui.string(), kToken}, [this](const std::vector<std::string>& args) { return run(args); }, *feed);
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
    ran.push_back(args);
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

  testing_support::TempDevice device;
  fs::path ui;
  std::atomic<int> counter{0};
  std::unique_ptr<StateFeed> feed;
  std::unique_ptr<WebServer> server;
  std::thread serving;
  std::unique_ptr<httplib::Client> client;
  std::vector<std::vector<std::string>> ran;
};

TEST_F(WebServerTest, TheApiRefusesWhoeverIsNotThePage) {
  auto status_of = [&](const httplib::Headers& h) {
    auto res = client->Get("/api/state", h);
    return res ? res->status : -1;
  };
  EXPECT_EQ(status_of(ours()), 200);
  EXPECT_EQ(status_of({{"Host", host()}}), 403) << "no token";
  EXPECT_EQ(status_of({{"Host", host()}, {"X-Simdevice-Token", "0" + kToken.substr(1)}}), 403) << "wrong token";
  EXPECT_EQ(status_of(ours({{"Origin", "http://evil.example"}})), 403) << "foreign Origin";
  EXPECT_EQ(status_of({{"Host", "evil.example:" + std::to_string(server->port())}, {"X-Simdevice-Token", kToken}}), 403)
      << "foreign Host (DNS rebinding)";
  EXPECT_EQ(status_of(httplib::Headers{{"Host", host()}, {"Cookie", token_cookie_name(server->port()) + "=" + kToken}}),
            200);
  // A page of another site posting a command is refused before anything runs.
  post(R"({"args": ["battery", "1%"]})", 403, ours({{"Origin", "http://evil.example"}}));
  EXPECT_TRUE(ran.empty());
}

TEST_F(WebServerTest, CommandsAnswerWithTheStatusAndTextOfTheCli) {
  auto ok = post(R"({"args": ["battery", "42%"]})", 200);
  EXPECT_EQ(ok["status"], 0);
  EXPECT_EQ(ok["output"], "done\n");
  auto refused = post(R"({"args": ["refused"]})", 200);
  EXPECT_EQ(refused["status"], 1);
  auto bad = post(R"({"args": ["bad"]})", 400);
  EXPECT_EQ(bad["status"], 2);
  EXPECT_EQ(bad["error"], "simdevice: unknown command 'bad'\n");
  auto malformed = post("{\"args\": [\"battery\"", 400);
  EXPECT_EQ(malformed["status"], 2);
  EXPECT_FALSE(malformed["error"].get<std::string>().empty());
  EXPECT_EQ(ran.size(), 3u) << "a malformed body runs nothing";

  post(R"({"args": [")" + std::string(70 * 1024, 'x') + R"("]})", 413);
  EXPECT_EQ(ran.size(), 3u);
  // The server keeps serving after every refusal.
  post(R"({"args": ["status"]})", 200);
}

TEST_F(WebServerTest, BundleImagesAreServedFromInsideTheRootOnly) {
  auto get = [&](const std::string& path) { return client->Get(path.c_str(), ours()); };
  auto res = get("/bundle/X.bundle/love.png");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, kPng);
  EXPECT_EQ(res->get_header_value("Content-Type"), "image/png");
  for (const char* path :
       {"/bundle/../../etc/passwd", "/bundle/X.bundle/%2e%2e/%2e%2e/%2e%2e/etc/passwd", "/bundle/X.bundle/abs.png",
        "/bundle/X.bundle/up.png", "/bundle/X.bundle/host.png", "/bundle/X.bundle/missing.png"}) {
    auto r = get(path);
    ASSERT_TRUE(r) << path;
    EXPECT_EQ(r->status, 404) << path;
    EXPECT_EQ(r->body.find("root:"), std::string::npos) << path;
  }
  auto no_token = client->Get("/bundle/X.bundle/love.png", httplib::Headers{{"Host", host()}});
  ASSERT_TRUE(no_token);
  EXPECT_EQ(no_token->status, 403);
}

TEST_F(WebServerTest, ThePrintedAddressSetsThePortsCookieAndLeavesTheBar) {
  auto res = client->Get(("/?token=" + kToken).c_str(), httplib::Headers{{"Host", host()}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 303);
  std::string cookie = res->get_header_value("Set-Cookie");
  EXPECT_EQ(cookie.rfind(token_cookie_name(server->port()) + "=" + kToken + ";", 0), 0u) << cookie;
  EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
  EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
  auto page = client->Get("/", httplib::Headers{{"Host", host()}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Content-Security-Policy").find("default-src 'self'"), std::string::npos);
  auto outside = client->Get("/%2e%2e/index.html", httplib::Headers{{"Host", host()}});
  ASSERT_TRUE(outside);
  EXPECT_EQ(outside->status, 404);
}

TEST_F(WebServerTest, EventsStreamOneStateEventPerChange) {
  std::string received;
  std::string content_type;
  std::atomic<bool> saw_second{false};
  std::thread reader([&] {
    httplib::Client c("127.0.0.1", server->port());
    c.Get(
        "/api/events", ours(),
        [&](const httplib::Response& r) {
          content_type = r.get_header_value("Content-Type");
          return true;
        },
        [&](const char* data, size_t n) {
          received.append(data, n);
          if (received.find("\"n\":1") != std::string::npos) saw_second = true;
          return !saw_second;
        });
  });
  // The first event is the current state; a change makes the next one.
  for (int i = 0; i < 500 && received.find("event: state") == std::string::npos; ++i) usleep(10000);
  counter = 1;
  feed->mark_changed();
  reader.join();
  EXPECT_EQ(content_type, "text/event-stream");
  EXPECT_NE(received.find("event: state\ndata: {\"generation\":1,\"n\":0}\n\n"), std::string::npos) << received;
  EXPECT_NE(received.find("data: {\"generation\":2,\"n\":1}"), std::string::npos) << received;
}

TEST_F(WebServerTest, APortInUseIsRefusedWithAMessage) {
  WebServer second(
      {server->port(), ui.string(), kToken}, [](const std::vector<std::string>&) { return CommandOutcome{}; }, *feed);
  auto bound = second.bind();
  ASSERT_FALSE(bound);
  EXPECT_NE(bound.message().find("in use"), std::string::npos) << bound.message();
}

// Every open stream holds a worker: with the most streams allowed open, one
// more is refused and commands are still answered, not queued behind them.
TEST_F(WebServerTest, CommandsAreAnsweredWithEveryAllowedStreamOpen) {
  std::atomic<bool> closing{false};
  std::vector<std::thread> readers;
  // One at a time: the listening socket's short backlog is not what is tested.
  for (int i = 0; i < kMaxEventStreams; ++i) {
    readers.emplace_back([&] {
      httplib::Client c("127.0.0.1", server->port());
      c.set_read_timeout(60, 0);
      c.Get("/api/events", ours(), [&](const char*, size_t) { return !closing.load(); });
    });
    for (int wait = 0; wait < 500 && server->open_event_streams() <= i; ++wait) usleep(10000);
  }
  ASSERT_EQ(server->open_event_streams(), kMaxEventStreams);

  auto one_more = client->Get("/api/events", ours());
  ASSERT_TRUE(one_more);
  EXPECT_EQ(one_more->status, 503);
  nlohmann::json answer = post(R"({"args": ["status"]})", 200);
  EXPECT_EQ(answer["output"], "done\n");

  // A change reaches every stream, whose reader then lets go; the server
  // notices a gone reader at its next write (the next change or heartbeat).
  closing = true;
  counter = 1;
  feed->mark_changed();
  for (std::thread& reader : readers) reader.join();
  counter = 2;
  feed->mark_changed();
  for (int i = 0; i < 500 && server->open_event_streams() > 0; ++i) usleep(10000);
  EXPECT_EQ(server->open_event_streams(), 0) << "a closed stream gives its worker back";
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
}  // namespace web
