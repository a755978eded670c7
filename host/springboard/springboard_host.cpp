#include "host/springboard/springboard_host.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "host/common/device_verbs.h"
#include "host/springboard/springboard_classes.h"
#include "host/springboard/substrate_loader.h"
#include "platform/foundation/darwin_notify.h"
#include "platform/foundation/log.h"
#include "platform/sim/device_clock.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"

namespace px::host::springboard {
namespace {

using platform::objc::sel;

void route_url(const std::string& url) {
  if (platform::uikit::url_scheme(url) != "prefs") return;
  auto reply = common::control_request(common::control_socket_path("launchd"),
                                       words_of(common::verbs::OpenSettings{url}), 15000);
  if (!reply)
    platform::foundation::log_line("SpringBoard: the supervisor did not take " + url);
  else if (reply->status != 0)
    platform::foundation::log_line("SpringBoard: opening " + url + " failed: " + reply->err);
}

}  // namespace

SpringBoardHost::SpringBoardHost(HostOptions options) : m_options(options) {
  register_springboard_classes();
  state().safe_mode = options.safe_mode;
  platform::uikit::UIApplication::sharedApplication()->set_router(route_url);
  if (m_options.control_socket)
    m_server = std::make_unique<common::ControlServer>(
        common::control_socket_path("SpringBoard"),
        [this](const std::vector<std::string>& args) { return handle_command(args); });
  if (options.safe_mode) {
    platform::foundation::log_line("SpringBoard: safe mode, no tweaks loaded");
  } else if (options.load_tweaks) {
    state().tweaks = load_tweaks();
  }
}

SpringBoardHost::~SpringBoardHost() {
  if (m_self) *m_self = nullptr;
  if (m_minute_timer) platform::foundation::RunLoop::main().cancel_timer(m_minute_timer);
}

void SpringBoardHost::launch() {
  // Watching starts first so that no change between launch and watch is lost.
  m_battery = std::make_unique<BatteryWatcher>();
  platform::objc::msg_send<void>(platform::objc::id(platform::uikit::UIApplication::sharedApplication()),
                                 sel("applicationDidFinishLaunching:"), platform::objc::id{});
  schedule_minute_timer();
  // A clock set by any process of the device (the status bar, the minute
  // timer): the platform tells every process with this notification.
  m_self = std::make_shared<SpringBoardHost*>(this);
  std::weak_ptr<SpringBoardHost*> self = m_self;
  platform::foundation::darwin::observe(platform::foundation::darwin::kClockSetNotification, [self](std::string_view) {
    if (auto host = self.lock(); host && *host) (*host)->clock_changed();
  });
}

void SpringBoardHost::schedule_minute_timer() {
  // The next whole minute of the device clock, which `clock` may move and a
  // fast simulated battery may speed up; then at most once a machine second.
  double now = platform::sim::device_now();
  double wait = (60.0 - std::fmod(now, 60.0)) / platform::sim::device_clock_rate();
  if (platform::sim::device_clock_rate() > 1) wait = std::max(wait, 1.0);
  auto delay = static_cast<std::int64_t>(wait * 1e9) + 1'000'000;
  m_minute_timer = platform::foundation::RunLoop::main().add_timer(delay, [this] {
    m_minute_timer = 0;
    refresh_time_items();
    schedule_minute_timer();
  });
}

void SpringBoardHost::refresh_time_items() {
  platform::objc::msg_send<void>(shared_instance("SBStatusBarStateAggregator"), sel("_updateTimeItems"));
}

void SpringBoardHost::reset_time_formatter() {
  platform::objc::msg_send<void>(shared_instance("SBStatusBarStateAggregator"), sel("_resetTimeItemFormatter"));
  refresh_time_items();
}

void SpringBoardHost::unlock() {
  if (!state().locked) return;
  platform::objc::msg_send<void>(shared_instance("SBLockScreenViewController"), sel("prepareForUIUnlock"));
  state().locked = false;
  reset_time_formatter();
}

void SpringBoardHost::lock() { state().locked = true; }

std::string SpringBoardHost::tick(int count, bool reset) {
  for (int i = 0; i < count; ++i) refresh_time_items();
  if (reset) reset_time_formatter();
  return state().status_bar_time;
}

std::optional<std::string> SpringBoardHost::set_clock(double unix_seconds) {
  if (!platform::sim::set_device_now(unix_seconds)) return std::nullopt;
  clock_changed();
  return state().status_bar_time;
}

void SpringBoardHost::clock_changed() {
  refresh_time_items();
  if (m_minute_timer) {
    platform::foundation::RunLoop::main().cancel_timer(m_minute_timer);
    m_minute_timer = 0;
  }
  if (state().launched) schedule_minute_timer();
}

std::int64_t SpringBoardHost::sync() {
  platform::foundation::darwin::deliver_pending();
  if (m_battery) m_battery->drain();
  // A change whose signal has not arrived yet is handled too.
  platform::foundation::Value entry = platform::sim::battery_entry();
  if (entry.is_dictionary() && entry["Generation"].longLongValue() != state().battery_generation)
    handle_battery_entry();
  return state().battery_generation;
}

}  // namespace px::host::springboard
