// The Settings app's control commands (px::host::common::verbs::SettingsRequest):
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

namespace px::host::settings {
namespace {

using nlohmann::json;
using platform::preferences::CellKind;

}  // namespace

std::optional<SettingsApp::Refusal> SettingsApp::tap(const std::string& row) {
  auto found = find_row(row);
  if (!found) {
    auto t = top();
    std::string name = common::lowercase(row);
    if (t && (name == "right" || name == "bar" || name == "right-button")) {
      auto item = t->navigationItem()->rightBarButtonItem();
      auto button = item ? std::dynamic_pointer_cast<platform::uikit::UIButton>(item->customView()) : nullptr;
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
  auto pane = std::dynamic_pointer_cast<platform::preferences::PSListController>(top());
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
      if (!row_specifier->performSetter(platform::foundation::Value(!now)))
        return Refusal{"row " + row + " cannot be changed"};
      return std::nullopt;
    }
    default:
      if (row_specifier->action() && row_specifier->performAction()) return std::nullopt;
      return Refusal{"row " + row + " (" + platform::preferences::cell_kind_short_name(row_specifier->cell()) +
                     ") does nothing when tapped"};
  }
}

std::optional<SettingsApp::Refusal> SettingsApp::set(const std::string& row, const std::string& text) {
  auto found = find_row(row);
  if (!found || !found->row_specifier) return Refusal{"no row " + row, 2};
  auto& row_specifier = found->row_specifier;
  platform::foundation::Value value;
  switch (row_specifier->cell()) {
    case CellKind::switch_cell: {
      auto b = common::parse_on_off(text);
      if (!b) return Refusal{"a switch takes on or off, not " + text, 2};
      value = platform::foundation::Value(*b);
      break;
    }
    case CellKind::slider: {
      char* end = nullptr;
      double d = std::strtod(text.c_str(), &end);
      if (text.empty() || *end != '\0') return Refusal{"a slider takes a number, not " + text, 2};
      // A slider hands over only numbers it can show (std::min and std::max pass NaN through).
      if (!std::isfinite(d)) return Refusal{"a slider takes a finite number, not " + text, 2};
      // The control cannot go past its ends.
      platform::foundation::Value min = row_specifier->propertyForKey("min"),
                                  max = row_specifier->propertyForKey("max");
      if (min.is_number()) d = std::max(d, min.doubleValue());
      if (max.is_number()) d = std::min(d, max.doubleValue());
      value = platform::foundation::Value(d);
      break;
    }
    case CellKind::segment:
    case CellKind::link_list: {
      platform::foundation::Value values = row_specifier->propertyForKey("validValues"),
                                  titles = row_specifier->propertyForKey("validTitles");
      const platform::foundation::Array* vs = values.array();
      const platform::foundation::Array* ts = titles.array();
      if (!vs) return Refusal{"row " + row + " offers no choices"};
      for (std::size_t i = 0; i < vs->size() && value.is_nil(); ++i)
        if ((ts && i < ts->size() && (*ts)[i].description() == text) || (*vs)[i].description() == text)
          value = (*vs)[i];
      if (value.is_nil()) return Refusal{"not a choice of row " + row + ": " + text, 2};
      break;
    }
    default:
      return Refusal{"row " + row + " (" +
                         std::string(platform::preferences::cell_kind_short_name(row_specifier->cell())) +
                         ") is not editable",
                     2};
  }
  if (!row_specifier->performSetter(value)) return Refusal{"row " + row + " cannot be changed"};
  return std::nullopt;
}

common::Reply SettingsApp::handle(const std::vector<std::string>& args) {
  auto request = common::verbs::read_request<common::verbs::SettingsRequest>(args);
  if (!request) return common::Reply::fail(request.message() + "\n", 2);
  auto result = [](const std::optional<std::string>& error) {
    return error ? common::Reply::fail(*error + "\n") : common::Reply::ok();
  };
  auto refused = [](const std::optional<Refusal>& refusal) {
    return refusal ? common::Reply::fail(refusal->why + "\n", refusal->status) : common::Reply::ok();
  };
  namespace verbs = common::verbs;
  return std::visit(
      verbs::Handlers{
          [&](const verbs::Open& open) { return result(open_url(open.url)); },
          [&](const verbs::Show& show) {
            return show.json ? common::Reply::ok(common::json_text(show_json())) : common::Reply::ok(show_text());
          },
          [&](const verbs::Tap& tapped) {
            // The heart opens a compose sheet only for a service with an account, and
            // shows nothing otherwise, as on the device: the reply says why.
            bool right = common::lowercase(tapped.row) == "right" && !find_row(tapped.row);
            auto before = presented();
            auto alerts = platform::uikit::AlertPresenter::shared().visible().size();
            auto refusal = tap(tapped.row);
            if (refusal) return refused(refusal);
            if (right && presented() == before &&
                platform::uikit::AlertPresenter::shared().visible().size() == alerts &&
                !platform::social::SLComposeViewController::isAvailableForServiceType(
                    platform::social::SLServiceTypeTwitter))
              return common::Reply::ok(
                  "nothing is shown: no Twitter account is set up on this device (simdevice account add "
                  "twitter)\n");
            return common::Reply::ok();
          },
          [&](const verbs::SetRow& row) { return refused(set(row.row, row.value)); },
          [&](const verbs::Sheet& sheet) { return refused(press_sheet(sheet.button)); },
          [&](const verbs::Back&) {
            return back() ? common::Reply::ok() : common::Reply::fail("already at the first screen\n");
          },
          [&](const verbs::Alerts& shown) {
            json list = common::alerts_on_screen();
            if (shown.json) return common::Reply::ok(common::json_text(list));
            std::string text;
            for (std::size_t i = 0; i < list.size(); ++i) {
              text += std::to_string(i) + ". " + list[i]["title"].get<std::string>() + ": " +
                      list[i]["message"].get<std::string>();
              for (auto& b : list[i]["buttons"]) text += " [" + b.get<std::string>() + "]";
              text += "\n";
            }
            return common::Reply::ok(text);
          },
          [&](const verbs::Press& press) { return common::press_alert(press); },
          [&](const verbs::Close&) {
            // Replies first; the loop ends on its next turn.
            platform::foundation::dispatch_after_ns(0, [] { platform::foundation::RunLoop::main().stop(); });
            return common::Reply::ok();
          },
          [&](const verbs::Status&) { return common::Reply::ok(common::json_text(status_json())); },
      },
      *request);
}

}  // namespace px::host::settings
