// The Settings app's control commands (host::verbs::SettingsRequest):
//   open URL · show [--json] · tap ROW · set ROW VALUE · back ·
//   alerts [--json] · press INDEX|TITLE [--alert N] · sheet cancel|post · close · status
// ROW is an index or a label; `tap right` fires the right bar button item
// (touch-down then touch-up, as a finger does) when no row is labelled so.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "host/common/alert_commands.h"
#include "host/common/device_verbs.h"
#include "host/common/on_off.h"
#include "host/common/value_json.h"
#include "host/settings/settings_app.h"
#include "platform/foundation/run_loop.h"
#include "platform/social/sl_compose_view_controller.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_button.h"

namespace settings {
namespace {

using nlohmann::json;
using preferences::CellKind;

}  // namespace

std::optional<SettingsApp::Refusal> SettingsApp::tap(const std::string& row) {
  auto found = find_row(row);
  if (!found) {
    auto t = top();
    std::string name = host::lowercase(row);
    if (t && (name == "right" || name == "bar" || name == "right-button")) {
      auto item = t->navigationItem()->rightBarButtonItem();
      auto button = item ? std::dynamic_pointer_cast<uikit::UIButton>(item->customView()) : nullptr;
      if (!button) return Refusal{"no right bar button", 2};
      button->tap();
      return std::nullopt;
    }
    return Refusal{"no row " + row, 2};
  }
  if (found->entry) {
    if (auto error = open_entry(*found->entry)) return Refusal{*error};
    return std::nullopt;
  }
  auto& row_specifier = found->row_specifier;
  auto pane = std::dynamic_pointer_cast<preferences::PSListController>(top());
  switch (row_specifier->cell()) {
    case CellKind::link:
    case CellKind::link_list:
      if (!row_specifier->detailControllerClass().empty()) {
        auto error = push_pane(row_specifier->detailControllerClass(), pane ? pane->bundle_path() : std::string(),
                               row_specifier);
        if (error) return Refusal{*error};
        return std::nullopt;
      }
      if (row_specifier->action() && row_specifier->performAction()) return std::nullopt;
      return Refusal{"row " + row + " opens nothing"};
    case CellKind::button:
      if (!row_specifier->performAction()) return Refusal{"row " + row + " has no action its pane answers"};
      return std::nullopt;
    case CellKind::switch_cell: {
      bool now = row_specifier->performGetter().boolValue();
      if (!row_specifier->performSetter(foundation::Value(!now))) return Refusal{"row " + row + " cannot be changed"};
      return std::nullopt;
    }
    default:
      if (row_specifier->action() && row_specifier->performAction()) return std::nullopt;
      return Refusal{"row " + row + " (" + preferences::cell_kind_short_name(row_specifier->cell()) +
                     ") does nothing when tapped"};
  }
}

std::optional<SettingsApp::Refusal> SettingsApp::set(const std::string& row, const std::string& text) {
  auto found = find_row(row);
  if (!found || !found->row_specifier) return Refusal{"no row " + row, 2};
  auto& row_specifier = found->row_specifier;
  foundation::Value value;
  switch (row_specifier->cell()) {
    case CellKind::switch_cell: {
      auto b = host::parse_on_off(text);
      if (!b) return Refusal{"a switch takes on or off, not " + text, 2};
      value = foundation::Value(*b);
      break;
    }
    case CellKind::slider: {
      char* end = nullptr;
      double d = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0') return Refusal{"a slider takes a number, not " + text, 2};
      // A slider hands over only numbers it can show (std::min and std::max pass NaN through).
      if (!std::isfinite(d)) return Refusal{"a slider takes a finite number, not " + text, 2};
      // The control cannot go past its ends.
      foundation::Value min = row_specifier->propertyForKey("min"), max = row_specifier->propertyForKey("max");
      if (min.is_number()) d = std::max(d, min.doubleValue());
      if (max.is_number()) d = std::min(d, max.doubleValue());
      value = foundation::Value(d);
      break;
    }
    case CellKind::segment:
    case CellKind::link_list: {
      foundation::Value values = row_specifier->propertyForKey("validValues"),
                        titles = row_specifier->propertyForKey("validTitles");
      const foundation::Array* vs = values.array();
      const foundation::Array* ts = titles.array();
      if (!vs) return Refusal{"row " + row + " offers no choices"};
      for (std::size_t i = 0; i < vs->size() && value.is_nil(); ++i)
        if ((ts && i < ts->size() && (*ts)[i].description() == text) || (*vs)[i].description() == text)
          value = (*vs)[i];
      if (value.is_nil()) return Refusal{"not a choice of row " + row + ": " + text, 2};
      break;
    }
    default:
      return Refusal{"row " + row + " (" + std::string(preferences::cell_kind_short_name(row_specifier->cell())) +
                         ") is not editable",
                     2};
  }
  if (!row_specifier->performSetter(value)) return Refusal{"row " + row + " cannot be changed"};
  return std::nullopt;
}

host::Reply SettingsApp::handle(const std::vector<std::string>& args) {
  auto request = host::verbs::read_request<host::verbs::SettingsRequest>(args);
  if (!request) return host::Reply::fail(request.message() + "\n", 2);
  auto result = [](const std::optional<std::string>& error) {
    return error ? host::Reply::fail(*error + "\n") : host::Reply::ok();
  };
  auto refused = [](const std::optional<Refusal>& refusal) {
    return refusal ? host::Reply::fail(refusal->why + "\n", refusal->status) : host::Reply::ok();
  };
  namespace verbs = host::verbs;
  return std::visit(
      verbs::Handlers{
          [&](const verbs::Open& open) { return result(open_url(open.url)); },
          [&](const verbs::Show& show) {
            return show.json ? host::Reply::ok(host::json_text(show_json())) : host::Reply::ok(show_text());
          },
          [&](const verbs::Tap& tapped) {
            // The heart opens a compose sheet only for a service with an account, and
            // shows nothing otherwise, as on the device: the reply says why.
            bool right = host::lowercase(tapped.row) == "right" && !find_row(tapped.row);
            auto before = presented();
            auto alerts = uikit::AlertPresenter::shared().visible().size();
            auto refusal = tap(tapped.row);
            if (refusal) return refused(refusal);
            if (right && presented() == before && uikit::AlertPresenter::shared().visible().size() == alerts &&
                !social::SLComposeViewController::isAvailableForServiceType(social::SLServiceTypeTwitter))
              return host::Reply::ok(
                  "nothing is shown: no Twitter account is set up on this device (simdevice account add "
                  "twitter)\n");
            return host::Reply::ok();
          },
          [&](const verbs::SetRow& row) { return refused(set(row.row, row.value)); },
          [&](const verbs::Sheet& sheet) { return refused(press_sheet(sheet.button)); },
          [&](const verbs::Back&) {
            return back() ? host::Reply::ok() : host::Reply::fail("already at the first screen\n");
          },
          [&](const verbs::Alerts& shown) {
            json list = host::alerts_on_screen();
            if (shown.json) return host::Reply::ok(host::json_text(list));
            std::string text;
            for (std::size_t i = 0; i < list.size(); ++i) {
              text += std::to_string(i) + ". " + list[i]["title"].get<std::string>() + ": " +
                      list[i]["message"].get<std::string>();
              for (auto& b : list[i]["buttons"]) text += " [" + b.get<std::string>() + "]";
              text += "\n";
            }
            return host::Reply::ok(text);
          },
          [&](const verbs::Press& press) { return host::press_alert(press); },
          [&](const verbs::Close&) {
            // Replies first; the loop ends on its next turn.
            foundation::dispatch_after_ns(0, [] { foundation::RunLoop::main().stop(); });
            return host::Reply::ok();
          },
          [&](const verbs::Status&) { return host::Reply::ok(host::json_text(status_json())); },
      },
      *request);
}

}  // namespace settings
