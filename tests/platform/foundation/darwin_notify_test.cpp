// Darwin notifications between two real processes, by name, coalesced.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/run_loop.h"
#include "tests/support/temp_device.h"

using namespace px::platform::foundation;

namespace {

int g_calls = 0;
std::string g_last;
void on_notify(CFNotificationCenterRef, void*, std::string_view name, const void*, const Value&) {
  ++g_calls;
  g_last = std::string(name);
}

// Serves the loop until `done` or a generous deadline (end-to-end only).
template <class F>
bool serve_until(F done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done() && std::chrono::steady_clock::now() < deadline) RunLoop::main().run_once(50);
  return done();
}

class DarwinNotify : public ::testing::Test {
 protected:
  px::tests::support::TempDevice device;
  void SetUp() override { g_calls = 0; }
};

TEST_F(DarwinNotify, PostFromAnotherProcessReachesObserverByName) {
  auto center = CFNotificationCenterGetDarwinNotifyCenter();
  CFNotificationCenterAddObserver(center, nullptr, on_notify, "com.zelmoraq.PylonexPro2Prefs/updatesettings", nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    darwin::post("some.other.name");
    darwin::post("com.zelmoraq.PylonexPro2Prefs/updatesettings");
    _exit(0);
  }
  waitpid(child, nullptr, 0);
  ASSERT_TRUE(serve_until([] { return g_calls > 0; }));
  RunLoop::main().run_until_idle();
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(g_last, "com.zelmoraq.PylonexPro2Prefs/updatesettings");
}

TEST_F(DarwinNotify, ObserverInAnotherProcessSeesOurPost) {
  int ready[2], seen[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(seen), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    darwin::reset_for_testing();
    darwin::observe("ping", [&](std::string_view) {
      ssize_t n = write(seen[1], "x", 1);
      (void)n;
      _exit(0);
    });
    ssize_t n = write(ready[1], "r", 1);
    (void)n;
    for (int i = 0; i < 200; ++i) RunLoop::main().run_once(50);
    _exit(1);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_TRUE(darwin::post("ping"));
  ASSERT_EQ(read(seen[0], &c, 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(DarwinNotify, PostsBeforeTheLoopTurnsAreCoalesced) {
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr, on_notify, "burst", nullptr,
                                  CFNotificationSuspensionBehaviorCoalesce);
  for (int i = 0; i < 5; ++i)
    CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), "burst", nullptr, Value(), true);
  RunLoop::main().run_until_idle();
  EXPECT_EQ(g_calls, 1);
  darwin::post("burst");
  RunLoop::main().run_until_idle();
  EXPECT_EQ(g_calls, 2);
}

}  // namespace
