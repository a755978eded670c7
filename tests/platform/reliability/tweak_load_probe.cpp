// Loads the tweak into an in-process SpringBoard the way the Substrate
// loader does, launches, handles a battery change, and unloads it; run under
// valgrind by ctest (Reliability.TweakLoadUnderValgrind), which fails on any
// memory error or definite leak.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "host/common/device_layout.h"
#include "host/springboard/springboard_host.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/run_loop.h"
#include "platform/sim/device_paths.h"
#include "platform/sim/hardware/hardware_state.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tweak_load_probe TWEAK.dylib\n");
    return 2;
  }
  std::string root = (std::filesystem::temp_directory_path() / "pxvalgrind-XXXXXX").string();
  if (!::mkdtemp(root.data()) || !px::host::common::make_device_layout(root).ok()) return 2;
  px::platform::sim::set_device_root(root);
  int rc = 0;
  {
    px::host::springboard::HostOptions options;
    options.load_tweaks = false;
    options.control_socket = false;
    px::host::springboard::SpringBoardHost host(options);
    void* tweak = ::dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!tweak) {
      std::fprintf(stderr, "dlopen: %s\n", ::dlerror());
      rc = 1;
    } else {
      host.launch();
      px::platform::foundation::Value entry(px::platform::foundation::Dictionary{
          {"Level", 0.42},
          {"State", 2},
          {"Generation", 1},
          {"Status", px::platform::foundation::Dictionary{{"CurrentCapacity", 42},
                                                          {"AppleRawCurrentCapacity", 1200},
                                                          {"DesignCapacity", 1810},
                                                          {"Temperature", 3050}}}});
      px::platform::foundation::plist::write_file(
          px::platform::sim::DevicePath(px::platform::sim::kBatteryEntry).host(), entry,
          px::platform::foundation::plist::Format::xml);
      host.sync();
      host.unlock();
      host.tick(2, true);
      px::platform::foundation::RunLoop::main().run_until_idle();
      // The tweak's start-up logs its settings (debugMode is on by default):
      // proof that it really ran before it is unloaded.
      std::ifstream log(px::platform::sim::DevicePath("/var/log/syslog").host());
      std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
      if (text.find("PylonexPro2") == std::string::npos) {
        std::fprintf(stderr, "the tweak did not start\n");
        rc = 1;
      }
      if (::dlclose(tweak) != 0) rc = 1;
    }
  }
  px::platform::foundation::RunLoop::main().reset_for_testing();
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
  return rc;
}
