// The one rule for "this device's process": what a pid file may hold, whose environment
// names the root (with or without a trailing slash), and that a zombie is not running.

#include "platform/system/device_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "tests/support/temp_device.h"

namespace {

using px::platform::system::DeviceProcess;

// A child that waits to be killed, with SIMDEVICE_ROOT=`root_text`. Returns once the
// child runs `sleep`: until its exec, its environment is this test's own (naming the device).
pid_t start_sleeper(const std::string& root_text) {
  // Everything the child needs is made before the fork: it only calls execve.
  std::string env = "SIMDEVICE_ROOT=" + root_text;
  char* envp[] = {env.data(), nullptr};
  char* argv[] = {const_cast<char*>("sleep"), const_cast<char*>("600"), nullptr};
  int exec_done[2];
  if (::pipe2(exec_done, O_CLOEXEC) != 0) return -1;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::execve("/bin/sleep", argv, envp);
    ::_exit(127);
  }
  ::close(exec_done[1]);
  char byte;
  // The write end closes at the child's exec (or exit): end of file then.
  while (pid > 0 && ::read(exec_done[0], &byte, 1) < 0 && errno == EINTR) {
  }
  ::close(exec_done[0]);
  return pid;
}

TEST(DeviceProcess, PidFileHoldsOneIdAboveInitOfALiveProcessNamingThisRoot) {
  px::tests::support::TempDevice device;
  DeviceProcess springboard("SpringBoard");
  EXPECT_FALSE(springboard.recorded());
  for (const char* text : {"1\n", "0\n", "12x\n", " 42\n", "42\n43\n", "", "99999999999\n"}) {
    device.write_text("/var/run/SpringBoard.pid", text);
    EXPECT_FALSE(springboard.recorded()) << text;
  }
  ASSERT_TRUE(springboard.record(4242));
  EXPECT_EQ(springboard.recorded(), 4242);
  EXPECT_EQ(device.read_text("/var/run/SpringBoard.pid"), "4242\n");
  springboard.forget();
  EXPECT_FALSE(device.exists("/var/run/SpringBoard.pid"));

  EXPECT_FALSE(DeviceProcess::belongs_to_device(::getpid())) << "this test was not started for the device";
  pid_t stranger = start_sleeper(device.root() + "-other");
  pid_t ours = start_sleeper(device.root() + "/");
  ASSERT_TRUE(stranger > 0 && ours > 0);
  springboard.record(stranger);
  EXPECT_FALSE(springboard.running());
  springboard.record(ours);
  EXPECT_EQ(springboard.running(), ours) << "a trailing slash names the same root";

  ::kill(ours, SIGKILL);
  siginfo_t info{};
  ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(ours), &info, WEXITED | WNOWAIT), 0);  // exited, not reaped
  EXPECT_FALSE(DeviceProcess::belongs_to_device(ours));
  EXPECT_FALSE(springboard.running());
  ::kill(stranger, SIGKILL);
  ::waitpid(stranger, nullptr, 0);
  ::waitpid(ours, nullptr, 0);
}

}  // namespace
