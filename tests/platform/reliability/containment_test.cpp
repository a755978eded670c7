// Nothing outside the device root is read, written or signalled: device paths
// and links stay inside, control sockets are private to their owner, and the
// restart command runs no shell and reaches only this device's SpringBoard.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <stddef.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/common/control_channel.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_paths.h"
#include "platform/system/system_command.h"
#include "tests/support/scoped_temp_dir.h"
#include "tests/support/temp_device.h"

namespace {
namespace fs = std::filesystem;
using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;

bool inside(const std::string& host, const std::string& root) { return host == root || host.rfind(root + "/", 0) == 0; }

class Containment : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(outside + "/secret.plist") << "<plist><dict><key>secret</key><true/></dict></plist>";
  }
  px::tests::support::TempDevice device;
  px::tests::support::ScopedTempDir outside_folder{"pxoutside"};
  std::string outside = outside_folder.path();
};

TEST_F(Containment, DotDotNeverClimbsAboveTheRoot) {
  for (const char* p : {"/..", "/../..", "/../../etc/passwd", "/User/../../../etc", "/./../var/../..//..",
                        "../../relative", "/User/Library/../../../../../../../../tmp", "/var/mobile/..//../../x/..",
                        "//..//..//", "/a/b/c/../../../../../d"}) {
    std::string host = px::platform::sim::DevicePath(p).host();
    EXPECT_TRUE(inside(host, device.root())) << p << " -> " << host;
  }
  // With the outside folder's name spelled after enough "..".
  std::string climb = "/../../../../../../../../../.." + outside + "/secret.plist";
  EXPECT_TRUE(inside(px::platform::sim::DevicePath(climb).host(), device.root()));
  EXPECT_TRUE(px::platform::foundation::dictionaryWithContentsOfFile(px::platform::sim::DevicePath(climb)).is_nil());
}

TEST_F(Containment, LinksAreResolvedInsideTheRoot) {
  std::string lib = device.path("/User/Library");
  fs::create_directories(lib);
  // Absolute, relative, through a linked folder, chained, looping.
  fs::create_symlink(outside + "/secret.plist", lib + "/abs.plist");
  fs::create_symlink("../../../../../../../../../../.." + outside + "/secret.plist", lib + "/rel.plist");
  fs::create_symlink(outside, lib + "/outdir");
  fs::create_symlink("abs.plist", lib + "/chain.plist");
  fs::create_symlink("loop2.plist", lib + "/loop1.plist");
  fs::create_symlink("loop1.plist", lib + "/loop2.plist");
  for (const char* name : {"abs.plist", "rel.plist", "outdir/secret.plist", "chain.plist", "loop1.plist"}) {
    std::string dev = std::string("/User/Library/") + name;
    EXPECT_TRUE(inside(px::platform::sim::DevicePath(dev).host(), device.root())) << name;
    EXPECT_TRUE(px::platform::foundation::dictionaryWithContentsOfFile(px::platform::sim::DevicePath(dev)).is_nil())
        << name << " reads nothing outside";
  }
  // Writing through them lands inside the root (or fails), never outside.
  std::string before;
  {
    std::ifstream in(outside + "/secret.plist");
    std::getline(in, before);
  }
  for (const char* name : {"abs.plist", "rel.plist", "outdir/secret.plist", "chain.plist"})
    px::platform::foundation::writeToFile(Value(Dictionary{{"written", 1}}),
                                          px::platform::sim::DevicePath(std::string("/User/Library/") + name));
  std::ifstream in(outside + "/secret.plist");
  std::string after;
  std::getline(in, after);
  EXPECT_EQ(after, before);
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1) << "nothing new outside";
}

// Device files are opened with the kernel resolving inside the root; that must
// name the very file device_path names, for every kind of link a package or
// the layout brings, and so must the fallback for kernels without it.
class InRootOpening : public Containment {
 protected:
  void SetUp() override {
    Containment::SetUp();
    device.write_text("/var/mobile/Library/real.plist", "<plist><dict><key>real</key><true/></dict></plist>");
    device.write_text("/var/root.plist", "<plist><dict><key>root</key><true/></dict></plist>");
    std::string lib = device.path("/var/mobile/Library");
    fs::create_symlink("/var/mobile/Library/real.plist", lib + "/absolute.plist");  // the device's "/"
    fs::create_symlink("real.plist", lib + "/relative.plist");
    fs::create_symlink("../../root.plist", lib + "/up.plist");
    fs::create_symlink("../../../../../../../../var/root.plist", lib + "/far-up.plist");  // clamped at the root
    fs::create_symlink("/var/mobile", device.path("/var/alias"));
    fs::create_symlink("absolute.plist", lib + "/chain.plist");
    fs::create_symlink(outside + "/secret.plist", lib + "/outside.plist");
  }
  // Each device path and the key of the file it must reach ("" for none).
  const std::vector<std::pair<std::string, std::string>> cases = {{"/User/Library/real.plist", "real"},
                                                                  {"/var/mobile/Library/absolute.plist", "real"},
                                                                  {"/User/Library/relative.plist", "real"},
                                                                  {"/User/Library/up.plist", "root"},
                                                                  {"/User/Library/far-up.plist", "root"},
                                                                  {"/var/alias/Library/chain.plist", "real"},
                                                                  {"/var/alias/../mobile/Library/real.plist", "real"},
                                                                  {"/User/Library/missing.plist", ""},
                                                                  {"/User/Library/outside.plist", ""},
                                                                  {"/../../../var/root.plist", "root"}};
  static std::string key_of(const Value& v) {
    return v.is_dictionary() && !v.dictionary()->empty() ? v.dictionary()->begin()->first : "";
  }
};

TEST_F(InRootOpening, FindsWhatDevicePathsName) {
  for (auto& [dev, key] : cases) {
    Value by_kernel = px::platform::foundation::plist::read_device_dictionary(px::platform::sim::DevicePath(dev));
    EXPECT_EQ(key_of(by_kernel), key) << dev;
    EXPECT_EQ(by_kernel, px::platform::foundation::plist::read_dictionary(px::platform::sim::DevicePath(dev).host()))
        << dev;
  }
}

TEST_F(InRootOpening, KernelsWithoutItResolveTheSame) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // openat2 answers ENOSYS in this process, as on a kernel before 5.6.
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_openat2, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENOSYS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 || ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
      ::_exit(100);
    if (::syscall(SYS_openat2, AT_FDCWD, "/", nullptr, 0) >= 0 || errno != ENOSYS) ::_exit(101);
    int wrong = 0;
    for (auto& [dev, key] : cases)
      wrong +=
          key_of(px::platform::foundation::plist::read_device_dictionary(px::platform::sim::DevicePath(dev))) != key;
    ::_exit(wrong);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "paths read wrongly without openat2 (100, 101: no filter)";
}

TEST_F(Containment, ARootMadeAgainUnderTheSameNameIsTheOneRead) {
  device.write_text("/var/mobile/Library/a.plist", "<plist><dict><key>first</key><true/></dict></plist>");
  ASSERT_TRUE(px::platform::foundation::dictionaryWithContentsOfFile(
                  px::platform::sim::DevicePath("/var/mobile/Library/a.plist"))["first"]
                  .boolValue());
  fs::remove_all(device.path("/var"));
  fs::rename(device.root(), device.root() + ".old");
  fs::create_directories(device.path("/var/mobile/Library"));
  device.write_text("/var/mobile/Library/a.plist", "<plist><dict><key>second</key><true/></dict></plist>");
  Value again = px::platform::foundation::dictionaryWithContentsOfFile(
      px::platform::sim::DevicePath("/var/mobile/Library/a.plist"));
  fs::remove_all(device.root() + ".old");
  EXPECT_TRUE(again["second"].boolValue()) << "read from the folder now at the root's path";
}

TEST_F(Containment, ControlSocketIsPrivateToItsOwner) {
  std::string path = px::host::common::control_socket_path("SpringBoard");
  mode_t old = ::umask(0);  // whatever the caller's umask
  px::host::common::ControlServer server(path,
                                         [](const std::vector<std::string>&) { return px::host::common::Reply::ok(); });
  ::umask(old);
  ASSERT_TRUE(server.listening());
  struct stat st {};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(inside(path, device.root()));
}

TEST_F(Containment, RestartRunsNoShellAndSignalsOnlyThisDevicesSpringBoard) {
  // Anything but the restart line runs nothing.
  std::string marker = outside + "/ran";
  for (std::string cmd : {"touch " + marker, "killall -9 SpringBoard; touch " + marker, "sh -c 'touch " + marker + "'",
                          "$(touch " + marker + ")", "killall -9 SpringBoard && touch " + marker})
    EXPECT_EQ(px::platform::system::system(cmd), 127) << cmd;
  EXPECT_FALSE(fs::exists(marker)) << "no shell ran";

  // A process of another device (or of none) under the recorded pid is left alone.
  auto spawn = [](const char* root_env) {
    pid_t pid = ::fork();
    if (pid == 0) {
      if (root_env)
        ::setenv("SIMDEVICE_ROOT", root_env, 1);
      else
        ::unsetenv("SIMDEVICE_ROOT");
      ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return pid;
  };
  auto record = [&](pid_t pid) {
    fs::create_directories(device.path("/var/run"));
    std::ofstream(device.path("/var/run/SpringBoard.pid")) << pid << "\n";
  };
  auto wait_exec = [](pid_t pid) {
    // The child's environment is its own once it has exec'd sleep.
    for (int i = 0; i < 2000; ++i) {
      std::ifstream cmd("/proc/" + std::to_string(pid) + "/comm");
      std::string name;
      std::getline(cmd, name);
      if (name == "sleep") return;
      ::usleep(1000);
    }
  };
  auto alive = [](pid_t pid) {
    int status;
    return ::waitpid(pid, &status, WNOHANG) == 0;
  };
  pid_t stranger = spawn(outside.c_str());
  pid_t rootless = spawn(nullptr);
  pid_t ours = spawn(device.root().c_str());
  for (pid_t p : {stranger, rootless, ours}) wait_exec(p);

  for (pid_t p : {stranger, rootless}) {
    record(p);
    EXPECT_EQ(px::platform::system::system("killall -9 SpringBoard"), 1);
    EXPECT_TRUE(alive(p)) << "a process not of this device is never signalled";
  }
  std::ofstream(device.path("/var/run/SpringBoard.pid")) << "1\n";
  EXPECT_EQ(px::platform::system::system("killall -9 SpringBoard"), 1) << "pid 1 is not this device's";
  for (const char* junk : {"", "-1\n", "0\n", "abc\n", "99999999999999999999\n", "-5"}) {
    std::ofstream(device.path("/var/run/SpringBoard.pid")) << junk;
    EXPECT_EQ(px::platform::system::system("killall -9 SpringBoard"), 1) << "pid file '" << junk << "'";
  }
  record(ours);
  EXPECT_EQ(px::platform::system::system("killall -9 SpringBoard"), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(ours, &status, 0), ours);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

  for (pid_t p : {stranger, rootless}) {
    ::kill(p, SIGKILL);
    ::waitpid(p, &status, 0);
  }
}

}  // namespace
