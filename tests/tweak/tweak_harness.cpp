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

namespace tweak_testing {
namespace {

bool g_started = false;

const pylonexpro2::TestAccess& tweak() {
  const auto& access = pylonexpro2::test_access();
  if (access.version != pylonexpro2::TestAccess::kVersion)
    throw std::runtime_error("tweak test access of another version");
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

void TweakTest::write_settings(const foundation::Dictionary& settings) {
  ASSERT_TRUE(foundation::writeToFile(foundation::Value(settings), sim::DevicePath(px::kSettingsFile)));
}

void TweakTest::reload_settings() {
  foundation::darwin::post(px::kSettingsChangedNotification);
  foundation::RunLoop::main().run_until_idle();
}

void TweakTest::start(bool launch, const std::function<void()>& before_tweak) {
  m_host = std::make_unique<springboard::SpringBoardHost>(
      springboard::HostOptions{.safe_mode = false, .load_tweaks = false, .control_socket = false});
  if (before_tweak) before_tweak();
  load_tweak();
  if (launch) m_host->launch();
}

void TweakTest::start_tweak_after_launch() {
  m_host = std::make_unique<springboard::SpringBoardHost>(
      springboard::HostOptions{.safe_mode = false, .load_tweaks = false, .control_socket = false});
  m_host->launch();
  load_tweak();
}

void TweakTest::restart(bool launch) {
  m_host.reset();
  foundation::darwin::reset_for_testing();
  foundation::RunLoop::main().reset_for_testing();
  foundation::NSNotificationCenter::defaultCenter().reset_for_testing();
  foundation::NSUserDefaults::reset_standard_for_testing();
  objc::objc_reset_for_testing();
  uikit::AlertPresenter::shared().dismiss_all();
  uikit::UIApplication::sharedApplication()->reset_for_testing();
  uikit::UIDevice::currentDevice()->reset_for_testing();
  start(launch);
}

void TweakTest::set_battery(double level, const foundation::Value& status, int state) {
  foundation::Dictionary entry{{"Level", foundation::Value(level)},
                               {"State", foundation::Value(state)},
                               {"Generation", foundation::Value(static_cast<long long>(++m_generation))}};
  if (!status.is_nil()) entry["Status"] = status;
  ASSERT_TRUE(foundation::plist::write_file(m_device.path(sim::kBatteryEntry), foundation::Value(entry),
                                            foundation::plist::Format::xml));
  springboard::handle_battery_entry();
}

void TweakTest::broadcast(const std::string& name, const foundation::Value& user_info) {
  foundation::NSNotificationCenter::defaultCenter().postNotificationName(name, nullptr, user_info);
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

pylonexpro2::SettingsSnapshot& TweakTest::settings() { return tweak().settings; }
std::int32_t& TweakTest::battCheck() { return tweak().battCheck; }
std::int32_t& TweakTest::battFullCheck() { return tweak().battFullCheck; }
foundation::Value& TweakTest::statusMah() { return tweak().statusMah; }
foundation::Value& TweakTest::notify() { return tweak().notify; }

foundation::Dictionary default_status() {
  using foundation::Value;
  return foundation::Dictionary{
      {"AppleRawCurrentCapacity", Value(1500)},
      {"DesignCapacity", Value(1560)},
      {"CycleCount", Value(120)},
      {"Serial", Value("C0123456789ABCDEF")},
      {"Temperature", Value(2850)},
      {"AdapterDetails", Value(foundation::Dictionary{{"Watts", Value(5)}, {"Amperage", Value(1000)}})},
      {"BatteryData", Value(foundation::Dictionary{{"ChemID", Value(1234)}})},
  };
}

}  // namespace tweak_testing
