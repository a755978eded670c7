#include "tests/tweak/tweak_harness.h"

#include <stdexcept>

#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/notification_center.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_files.h"
#include "platform/foundation/run_loop.h"
#include "platform/foundation/user_defaults.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_device.h"
#include "shared/names.h"
#include "tweak/test_access.h"

namespace px::tweak {
namespace {

bool g_started = false;

const tweak::TestAccess& tweak() {
  const auto& access = tweak::test_access();
  if (access.version != tweak::TestAccess::kVersion) throw std::runtime_error("tweak test access of another version");
  return access;
}

// The first run starts the tweak as loading it would; later runs start it
// again from its load-time state.
void load_tweak() {
  if (g_started) {
    tweak().restart();
    return;
  }
  g_started = true;
  tweak().start();
}

}  // namespace

void TweakTest::write_settings(const platform::foundation::Dictionary& settings) {
  ASSERT_TRUE(platform::foundation::writeToFile(platform::foundation::Value(settings),
                                                platform::sim::DevicePath(shared::kSettingsFile)));
}

void TweakTest::reload_settings() {
  platform::foundation::darwin::post(shared::kSettingsChangedNotification);
  platform::foundation::RunLoop::main().run_until_idle();
}

void TweakTest::start(bool launch, const std::function<void()>& before_tweak) {
  m_host = std::make_unique<host::springboard::SpringBoardHost>(
      host::springboard::HostOptions{.safe_mode = false, .load_tweaks = false, .control_socket = false});
  if (before_tweak) before_tweak();
  load_tweak();
  if (launch) m_host->launch();
}

void TweakTest::start_tweak_after_launch() {
  m_host = std::make_unique<host::springboard::SpringBoardHost>(
      host::springboard::HostOptions{.safe_mode = false, .load_tweaks = false, .control_socket = false});
  m_host->launch();
  load_tweak();
}

void TweakTest::restart(bool launch) {
  m_host.reset();
  platform::foundation::darwin::reset_for_testing();
  platform::foundation::RunLoop::main().reset_for_testing();
  platform::foundation::NSNotificationCenter::defaultCenter().reset_for_testing();
  platform::foundation::NSUserDefaults::reset_standard_for_testing();
  platform::objc::objc_reset_for_testing();
  platform::uikit::AlertPresenter::shared().dismiss_all();
  platform::uikit::UIApplication::sharedApplication()->reset_for_testing();
  platform::uikit::UIDevice::currentDevice()->reset_for_testing();
  start(launch);
}

void TweakTest::set_battery(double level, const platform::foundation::Value& status, int state) {
  platform::foundation::Dictionary entry{
      {"Level", platform::foundation::Value(level)},
      {"State", platform::foundation::Value(state)},
      {"Generation", platform::foundation::Value(static_cast<long long>(++m_generation))}};
  if (!status.is_nil()) entry["Status"] = status;
  ASSERT_TRUE(platform::foundation::plist::write_file(m_device.path(platform::sim::kBatteryEntry),
                                                      platform::foundation::Value(entry),
                                                      platform::foundation::plist::Format::xml));
  host::springboard::handle_battery_entry();
}

void TweakTest::broadcast(const std::string& name, const platform::foundation::Value& user_info) {
  platform::foundation::NSNotificationCenter::defaultCenter().postNotificationName(name, nullptr, user_info);
}

std::vector<std::string> TweakTest::new_log_lines() {
  std::string all = m_device.read_text("/var/log/syslog");
  std::vector<std::string> lines;
  std::size_t pos = m_log_offset;
  while (pos < all.size()) {
    std::size_t nl = all.find('\n', pos);
    if (nl == std::string::npos) break;
    std::string line = all.substr(pos, nl - pos);
    auto mark = line.find("<Notice>: ");
    lines.push_back(mark == std::string::npos ? line : line.substr(mark + 10));
    pos = nl + 1;
  }
  m_log_offset = pos;
  return lines;
}

std::vector<std::string> TweakTest::log_lines_containing(const std::string& needle) {
  std::vector<std::string> out;
  for (auto& l : new_log_lines())
    if (l.find(needle) != std::string::npos) out.push_back(l);
  return out;
}

tweak::SettingsSnapshot& TweakTest::settings() { return tweak().settings; }
std::int32_t& TweakTest::battCheck() { return tweak().battCheck; }
std::int32_t& TweakTest::battFullCheck() { return tweak().battFullCheck; }
platform::foundation::Value& TweakTest::statusMah() { return tweak().statusMah; }
platform::foundation::Value& TweakTest::notify() { return tweak().notify; }

platform::foundation::Dictionary default_status() {
  using platform::foundation::Value;
  return platform::foundation::Dictionary{
      {"AppleRawCurrentCapacity", Value(1500)},
      {"DesignCapacity", Value(1560)},
      {"CycleCount", Value(120)},
      {"Serial", Value("C0123456789ABCDEF")},
      {"Temperature", Value(2850)},
      {"AdapterDetails", Value(platform::foundation::Dictionary{{"Watts", Value(5)}, {"Amperage", Value(1000)}})},
      {"BatteryData", Value(platform::foundation::Dictionary{{"ChemID", Value(1234)}})},
  };
}

}  // namespace px::tweak
