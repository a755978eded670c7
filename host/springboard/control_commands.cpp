// SpringBoard's control commands (simdevice forwards them):
//   status [--json]                 JSON object of the process's state
//   alerts [--json]                 the alerts on screen, oldest first
//   press INDEX|TITLE [--alert N]   presses a button of alert N (default: newest)
//   unlock | lock
//   activator NAME                  one event for the listener registered under NAME
//   tick [N] [--reset]              N time refreshes, then optionally a formatter reset
//   clock TIME                      sets the device clock (host::parse_device_time's forms)
//   sync                            handles what is pending; out: the handled generation

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host/common/alert_commands.h"
#include "host/common/time_text.h"
#include "host/springboard/springboard_host.h"
#include "host/springboard/springboard_state.h"
#include "platform/activator/la_activator.h"
#include "platform/foundation/device_clock.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "host/common/value_json.h"

namespace springboard {
namespace {

// One command must not keep SpringBoard's loop from everything else for long.
constexpr long kMaxTicks = 100000;

std::string dump(const nlohmann::json& j) { return host::json_text(j); }

bool all_digits(const std::string& s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

std::optional<long> parse_long(const std::string& s) {
  if (!all_digits(s) || s.size() > 9) return std::nullopt;
  return std::stol(s);
}

}  // namespace

std::string SpringBoardHost::alerts_json() const { return dump(host::alerts_on_screen()); }

std::string SpringBoardHost::status_json() const {
  const auto& s = state();
  nlohmann::json banners = nlohmann::json::array();
  for (const auto& b : s.banners_shown)
    banners.push_back({{"title", b.title}, {"message", b.message}, {"section", b.section}});
  nlohmann::json j = {
      {"pid", static_cast<long>(::getpid())},
      {"launched", s.launched},
      {"safe_mode", s.safe_mode},
      {"locked", s.locked},
      {"status_bar_time", s.status_bar_time},
      {"alerts", host::alerts_on_screen()},
      {"banners", banners},
      {"banner_on_screen", s.banner_on_screen ? nlohmann::json{{"title", s.banner_on_screen->title},
                                                               {"message", s.banner_on_screen->message},
                                                               {"section", s.banner_on_screen->section}}
                                              : nlohmann::json(nullptr)},
      {"opened_urls", uikit::UIApplication::sharedApplication()->opened_urls()},
      {"battery_generation", s.battery_generation},
      {"tweaks", s.tweaks},
  };
  return dump(j);
}

host::Reply SpringBoardHost::handle_command(const std::vector<std::string>& args) {
  if (args.empty()) return host::Reply::fail("no command", 2);
  const std::string& cmd = args[0];
  std::vector<std::string> rest(args.begin() + 1, args.end());
  auto has_flag = [&](const char* flag) {
    for (auto& a : rest)
      if (a == flag) return true;
    return false;
  };

  if (cmd == "status") return host::Reply::ok(status_json() + "\n");

  if (cmd == "alerts") {
    if (has_flag("--json")) return host::Reply::ok(alerts_json() + "\n");
    std::string out;
    const auto& visible = uikit::AlertPresenter::shared().visible();
    for (std::size_t i = 0; i < visible.size(); ++i) {
      const auto& a = visible[i];
      out += "[" + std::to_string(i) + "] " + dump(a->title()) + " " + dump(a->message()) + " buttons:";
      for (std::size_t b = 0; b < a->buttons().size(); ++b)
        out += " " + std::to_string(b) + "=" + dump(a->buttons()[b]);
      out += "\n";
    }
    if (visible.empty()) out = "no alerts\n";
    return host::Reply::ok(out);
  }

  if (cmd == "press") return host::press_alert(rest);

  if (cmd == "unlock") {
    unlock();
    return host::Reply::ok("unlocked\n");
  }
  if (cmd == "lock") {
    lock();
    return host::Reply::ok("locked\n");
  }

  if (cmd == "activator") {
    if (rest.size() != 1) return host::Reply::fail("usage: activator NAME", 2);
    if (!activator::LAActivator::sharedInstance()->sendEvent(rest[0]))
      return host::Reply::fail("no listener registered for " + rest[0]);
    return host::Reply::ok("event sent to " + rest[0] + "\n");
  }

  if (cmd == "tick") {
    int count = 1;
    bool reset = false;
    for (auto& a : rest) {
      if (a == "--reset") {
        reset = true;
      } else if (auto n = parse_long(a); n && *n <= kMaxTicks) {
        count = static_cast<int>(*n);
      } else {
        return host::Reply::fail("usage: tick [N] [--reset] (N up to " + std::to_string(kMaxTicks) + ")", 2);
      }
    }
    return host::Reply::ok(tick(count, reset) + "\n");
  }

  if (cmd == "clock") {
    if (rest.empty()) return host::Reply::fail("usage: clock TIME", 2);
    std::string text = rest[0];
    for (std::size_t i = 1; i < rest.size(); ++i) text += " " + rest[i];
    auto t = host::parse_device_time(text, foundation::device_now());
    if (!t) return host::Reply::fail(t.message(), 2);
    auto shown = set_clock(*t);
    if (!shown) return host::Reply::fail("the device clock could not be written");
    return host::Reply::ok(*shown + "\n");
  }

  if (cmd == "sync") return host::Reply::ok(std::to_string(sync()) + "\n");

  return host::Reply::fail("unknown command: " + cmd, 2);
}

}  // namespace springboard
