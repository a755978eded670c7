// SpringBoard's control commands (px::host::common::verbs::SpringBoardRequest; simdevice
// sends them):
//   status                          JSON object of the process's state
//   alerts [--json]                 the alerts on screen, oldest first
//   press INDEX|TITLE [--alert N]   presses a button of alert N (default: newest)
//   unlock | lock
//   activator NAME                  one event for the listener registered under NAME
//   tick [N] [--reset]              N time refreshes, then optionally a formatter reset
//   clock TIME                      sets the device clock (px::host::common::parse_device_time's forms)
//   sync                            handles what is pending; out: the handled generation

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "host/common/alert_commands.h"
#include "host/common/device_verbs.h"
#include "host/common/time_text.h"
#include "host/common/value_json.h"
#include "host/springboard/springboard_host.h"
#include "host/springboard/springboard_state.h"
#include "platform/activator/la_activator.h"
#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"

namespace px::host::springboard {
namespace {

std::string dump(const nlohmann::json& j) { return common::json_text(j); }

}  // namespace

std::string SpringBoardHost::alerts_json() const { return dump(common::alerts_on_screen()); }

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
      {"alerts", common::alerts_on_screen()},
      {"banners", banners},
      {"banner_on_screen", s.banner_on_screen ? nlohmann::json{{"title", s.banner_on_screen->title},
                                                               {"message", s.banner_on_screen->message},
                                                               {"section", s.banner_on_screen->section}}
                                              : nlohmann::json(nullptr)},
      {"opened_urls", platform::uikit::UIApplication::sharedApplication()->opened_urls()},
      {"battery_generation", s.battery_generation},
      {"tweaks", s.tweaks},
  };
  return dump(j);
}

common::Reply SpringBoardHost::handle_command(const std::vector<std::string>& args) {
  auto request = common::verbs::read_request<common::verbs::SpringBoardRequest>(args);
  if (!request) return common::Reply::fail(request.message(), 2);
  namespace verbs = common::verbs;
  return std::visit(
      verbs::Handlers{
          [&](const verbs::Status&) { return common::Reply::ok(status_json() + "\n"); },
          [&](const verbs::Alerts& alerts) {
            if (alerts.json) return common::Reply::ok(alerts_json() + "\n");
            std::string out;
            const auto& visible = platform::uikit::AlertPresenter::shared().visible();
            for (std::size_t i = 0; i < visible.size(); ++i) {
              const auto& a = visible[i];
              out += "[" + std::to_string(i) + "] " + dump(a->title()) + " " + dump(a->message()) + " buttons:";
              for (std::size_t b = 0; b < a->buttons().size(); ++b)
                out += " " + std::to_string(b) + "=" + dump(a->buttons()[b]);
              out += "\n";
            }
            if (visible.empty()) out = "no alerts\n";
            return common::Reply::ok(out);
          },
          [&](const verbs::Press& press) { return common::press_alert(press); },
          [&](const verbs::Unlock&) {
            unlock();
            return common::Reply::ok("unlocked\n");
          },
          [&](const verbs::Lock&) {
            lock();
            return common::Reply::ok("locked\n");
          },
          [&](const verbs::Activator& event) {
            if (!platform::activator::LAActivator::sharedInstance()->sendEvent(event.listener))
              return common::Reply::fail("no listener registered for " + event.listener);
            return common::Reply::ok("event sent to " + event.listener + "\n");
          },
          [&](const verbs::Tick& refresh) {
            return common::Reply::ok(tick(static_cast<int>(refresh.count.value_or(1)), refresh.reset) + "\n");
          },
          [&](const verbs::SetClock& clock) {
            auto t = common::parse_device_time(clock.time, platform::sim::device_now());
            if (!t) return common::Reply::fail(t.message(), 2);
            auto shown = set_clock(*t);
            if (!shown) return common::Reply::fail("the device clock could not be written");
            return common::Reply::ok(*shown + "\n");
          },
          [&](const verbs::Sync&) { return common::Reply::ok(std::to_string(sync()) + "\n"); },
      },
      *request);
}

}  // namespace px::host::springboard
