// What the server parses before anything runs: who asks (Host, Origin, token),
// the paths of the static routes, and the command bodies.
#include <gtest/gtest.h>

#include "host/web/command_request.h"
#include "host/web/request_guard.h"
#include "host/web/request_head.h"
#include "host/web/web_paths.h"

namespace px::host::web {
namespace {

// Who passes: this server's own Host and Origin, with the token from its own
// cookie or header, except for the page's own files.
TEST(RequestGuard, OnlyThePageOfThisServerPasses) {
  EXPECT_TRUE(host_allowed("127.0.0.1:8765", 8765));
  EXPECT_TRUE(host_allowed("LOCALHOST:8765", 8765));
  // Another port, no port, DNS rebinding, a look-alike suffix, nothing.
  for (const char* host : {"127.0.0.1:8766", "127.0.0.1", "evil.example:8765", "127.0.0.1:8765.evil.example", ""})
    EXPECT_FALSE(host_allowed(host, 8765)) << host;
  EXPECT_TRUE(origin_allowed("", 8765));
  EXPECT_TRUE(origin_allowed("http://localhost:8765", 8765));
  // "null" is what sandboxed frames and file: pages send.
  for (const char* origin : {"http://evil.example", "null", "https://127.0.0.1:8765"})
    EXPECT_FALSE(origin_allowed(origin, 8765)) << origin;
  for (const char* path : {"/", "/index.html", "/app.js", "/favicon.ico", "/style-2.css"})
    EXPECT_TRUE(is_page_file(path)) << path;
  for (const char* path : {"/api/state", "/api/command", "/bundle/X.bundle/love.png", "/drawn/a.png", "/.hidden",
                           "/a/b", "//", "", "/x y", "/future/route", "/../index.html"})
    EXPECT_FALSE(is_page_file(path)) << path;

  const std::string token = "0123456789abcdef0123456789abcdef";
  RequestFacts facts{"127.0.0.1:9000", "", "", "", ""};
  EXPECT_TRUE(check_request(facts, 9000, token, true));
  EXPECT_FALSE(check_request(facts, 9000, token, false)) << "the page's own files need no token";

  std::string cookie = "a=1; " + token_cookie_name(9000) + "=" + token + "; b=2";
  facts.cookie = cookie;
  EXPECT_FALSE(check_request(facts, 9000, token, true));
  // Another server's cookie (another port) is not this one's.
  std::string other = token_cookie_name(9001) + "=" + token;
  facts.cookie = other;
  EXPECT_TRUE(check_request(facts, 9000, token, true));
  facts.cookie = "";
  facts.token_header = token;
  EXPECT_FALSE(check_request(facts, 9000, token, true));
  // The facts hold views: the wrong token must outlive the check.
  std::string wrong = token.substr(0, 31) + "0";
  facts.token_header = wrong;
  auto refusal = check_request(facts, 9000, token, true);
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->status, 403);
  EXPECT_FALSE(token_equal("", ""));
  // Made tokens are fresh, long enough, and fit a cookie.
  std::string a = make_session_token(), b = make_session_token();
  EXPECT_EQ(a.size(), 32u);
  EXPECT_NE(a, b);
  EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(WebPaths, EscapesAreDecodedOnceAndNothingClimbsOutWhateverTheSpelling) {
  EXPECT_EQ(percent_decode("a%20b%2Fc"), "a b/c");
  for (const char* malformed : {"%", "%4", "%zz", "a%00b"}) EXPECT_FALSE(percent_decode(malformed)) << malformed;
  for (const char* path : {"/bundle/../../etc/passwd", "/bundle/X.bundle/../../../etc/passwd.png",
                           "/bundle/X.bundle/%2e%2e/%2e%2e/etc/passwd.png", "/bundle/X.bundle/%2E%2E%2Fx.png",
                           "/bundle/X.bundle/%252e%252e/x.png", "/bundle/X.bundle/a\\..\\x.png",
                           "/bundle/X.bundle//x.png", "/bundle/X.bundle/./x.png", "/bundle/X.bundle/x.png%00.png"})
    EXPECT_FALSE(bundle_device_path(path)) << path;
  for (const char* path : {"/../etc/passwd", "/%2e%2e/etc/passwd", "/a/../index.html", "//etc/passwd"})
    EXPECT_FALSE(ui_relative_path(path)) << path;
}

TEST(WebPaths, OnlyImagesInsideABundleFolderOrTheDrawnFolderAreServed) {
  EXPECT_EQ(bundle_device_path("/bundle/PylonexPro2Prefs.bundle/love.png"),
            platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/love.png"));
  EXPECT_EQ(bundle_device_path("/bundle/A.bundle/sub/My%20Icon.PNG"),
            platform::sim::DevicePath("/Library/PreferenceBundles/A.bundle/sub/My Icon.PNG"));
  EXPECT_FALSE(bundle_device_path("/bundle/A.bundle/Info.plist"));
  EXPECT_FALSE(bundle_device_path("/bundle/A.bundle/PylonexPro2Prefs"));
  EXPECT_FALSE(bundle_device_path("/bundle/love.png"));
  EXPECT_FALSE(bundle_device_path("/bundle/.bundle/love.png"));
  EXPECT_FALSE(bundle_device_path("/bundle/NotABundle/love.png"));

  EXPECT_EQ(bundle_address(platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/love.png")),
            "/bundle/PylonexPro2Prefs.bundle/love.png");
  EXPECT_FALSE(bundle_address(platform::sim::DevicePath("/etc/love.png")));
  EXPECT_FALSE(bundle_address(platform::sim::DevicePath("/Library/PreferenceBundles/A.bundle/../../x.png")));
  EXPECT_EQ(ui_relative_path("/"), "index.html");
  EXPECT_EQ(content_type_of("x.JS"), "text/javascript; charset=utf-8");
  // Drawn images are one file of their folder.
  EXPECT_EQ(drawn_device_path("/drawn/ab12.png"), platform::sim::DevicePath("/var/run/Preferences/images/ab12.png"));
  EXPECT_EQ(drawn_address(platform::sim::DevicePath("/var/run/Preferences/images/ab12.png")), "/drawn/ab12.png");
  for (const char* path :
       {"/drawn/../images/x.png", "/drawn/%2e%2e%2fx.png", "/drawn/sub/x.png", "/drawn/x.txt", "/drawn/"})
    EXPECT_FALSE(drawn_device_path(path)) << path;
  EXPECT_FALSE(drawn_address(platform::sim::DevicePath("/var/run/Preferences/x.png")));
}

TEST(CommandRequest, OnlyANonEmptyListOfStringsIsACommand) {
  auto good = parse_command_request(R"({"args": ["battery", "42%"], "extra": 1})");
  ASSERT_TRUE(good.args) << good.error;
  EXPECT_EQ(*good.args, (std::vector<std::string>{"battery", "42%"}));
  for (const char* body : {"", "not json", "[]", R"(["battery"])", "{}", R"({"args": []})", R"({"args": "battery"})",
                           R"({"args": ["battery", 42]})", R"({"args": [null]})", R"({"args": [["x"]]})",
                           R"({"args": ["a\u0000b"]})", "{\"args\": [\"\xff\"]}", R"({"args": ["battery")"}) {
    auto r = parse_command_request(body);
    EXPECT_FALSE(r.args) << body;
    EXPECT_FALSE(r.error.empty()) << body;
  }
  EXPECT_FALSE(parse_command_request(std::string(kMaxBodyBytes + 1, ' ')).args);
  std::string deep(60000, '[');
  EXPECT_FALSE(parse_command_request(deep).args);
}

TEST(WebPaths, ThePageSeesDevicePathsNotTheMachines) {
  EXPECT_EQ(device_view("/tmp/d/var/db/x-journal is not a plain file; /tmp/d is the root", "/tmp/d"),
            "/var/db/x-journal is not a plain file; / is the root");
  EXPECT_EQ(device_view("/tmp/d2/x and /tmp/dd stay", "/tmp/d/"), "/tmp/d2/x and /tmp/dd stay");
  EXPECT_EQ(device_view("no paths", ""), "no paths");
}

TEST(CommandRequest, OutputBeyondTheBoundIsCutWithANote) {
  OutputCapture capture(10);
  capture.append("0123456");
  EXPECT_FALSE(capture.truncated());
  capture.append("789abcdef");
  EXPECT_TRUE(capture.truncated());
  std::string text = capture.take("history --json");
  EXPECT_EQ(text.rfind("0123456789\n[output truncated", 0), 0u) << text;
  EXPECT_NE(text.find("simdevice history --json"), std::string::npos) << text;
  OutputCapture small(10);
  small.append("ok\n");
  EXPECT_EQ(small.take("status"), "ok\n");
}

// A request read as it arrives: whole or refused the same however the bytes
// are cut, with the rest kept for the next request.
TEST(RequestReader, ARequestIsWholeTheSameHoweverItArrives) {
  std::string chunked =
      "POST /api/command HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\nExpect: 100-continue\r\n\r\n"
      "4;ext=1\r\nabcd\r\n2\r\nef\r\n0\r\nTrailer: x\r\n\r\nGET / HTTP/1.1\r\n";
  for (std::size_t step : {chunked.size(), std::size_t{1}, std::size_t{7}}) {
    RequestReader reader(kMaxBodyBytes);
    for (std::size_t at = 0; at < chunked.size(); at += step) reader.feed(std::string_view(chunked).substr(at, step));
    ASSERT_EQ(reader.state(), RequestReader::State::whole) << step;
    EXPECT_TRUE(reader.take_continue());
    EXPECT_EQ(reader.take_request(), "POST /api/command HTTP/1.1\r\nHost: h\r\nContent-Length: 6\r\n\r\nabcdef");
    EXPECT_EQ(reader.take_rest(), "GET / HTTP/1.1\r\n");
  }
  RequestReader get(kMaxBodyBytes);
  EXPECT_EQ(get.feed("GET /x HTTP/1.1\r\nHost: h\r\n\r\n"), RequestReader::State::whole);
  EXPECT_EQ(get.take_request(), "GET /x HTTP/1.1\r\nHost: h\r\n\r\n");
}

TEST(RequestReader, HeadsAndBodiesBeyondTheirBoundsAreRefusedAsTheyArrive) {
  auto refusal_of = [](const std::string& bytes) {
    RequestReader reader(kMaxBodyBytes);
    reader.feed(bytes);
    return reader.state() == RequestReader::State::refused ? reader.refusal().status : 0;
  };
  std::string many_lines = "GET / HTTP/1.1\r\n";
  for (std::size_t i = 0; i <= kMaxHeaderLines; ++i) many_lines += "X: 1\r\n";
  EXPECT_EQ(refusal_of(many_lines), 431) << "refused before the blank line";
  EXPECT_EQ(refusal_of("GET / HTTP/1.1\r\nX: " + std::string(kMaxHeadBytes, 'a')), 431);
  std::string head = "POST /api/command HTTP/1.1\r\nHost: h\r\n";
  EXPECT_EQ(refusal_of(head + "Content-Length: 209715200\r\n\r\n"), 413) << "before any body byte";
  EXPECT_EQ(refusal_of(head + "Content-Length: 99999999999999999999999\r\n\r\n"), 400);
  EXPECT_EQ(refusal_of(head + "Content-Length: 1\r\nContent-Length: 2\r\n\r\n"), 400);
  EXPECT_EQ(refusal_of(head + "Transfer-Encoding: chunked\r\nContent-Length: 1\r\n\r\n"), 400);
  EXPECT_EQ(refusal_of(head + "Transfer-Encoding: gzip\r\n\r\n"), 501);
  std::string te = head + "Transfer-Encoding: chunked\r\n\r\n";
  EXPECT_EQ(refusal_of(te + "fffffffffffffff\r\n"), 413) << "a huge declared chunk";
  EXPECT_EQ(refusal_of(te + "zz\r\n"), 400);
  EXPECT_EQ(refusal_of(te + "2\r\nabXY"), 400) << "a chunk without its CRLF";
  // Many small chunks: refused where the total passes the bound, never buffered past it.
  std::string small_chunks = te;
  for (std::size_t total = 0; total <= kMaxBodyBytes; total += 1000)
    small_chunks += "3e8\r\n" + std::string(1000, 'x') + "\r\n";
  EXPECT_EQ(refusal_of(small_chunks), 413);
  EXPECT_EQ(refusal_of("GET / HTTP/1.1\r\n folded\r\n\r\n"), 400);
  EXPECT_EQ(refusal_of("\r\n\r\n"), 400);
}

}  // namespace
}  // namespace px::host::web
