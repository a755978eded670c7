#include "host/common/alert_commands.h"

#include <optional>

#include "host/common/value_json.h"
#include "platform/uikit/ui_alert_view.h"

namespace host {
namespace {

constexpr const char* kPressUsage = "usage: press INDEX|TITLE [--alert N]";

// A position: digits only, short enough to fit (no sign, no spaces, no "1e3").
std::optional<long> parse_position(const std::string& s) {
  if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return std::stol(s);
}

}  // namespace

nlohmann::json alerts_on_screen() {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& a : uikit::AlertPresenter::shared().visible())
    list.push_back({{"title", a->title()}, {"message", a->message()}, {"buttons", a->buttons()}});
  return list;
}

Reply press_alert(const std::vector<std::string>& args) {
  std::optional<std::string> button;
  long position = -1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--alert") {
      if (i + 1 >= args.size()) return Reply::fail("--alert needs a number", 2);
      auto n = parse_position(args[++i]);
      if (!n) return Reply::fail("--alert takes an alert's position from 0, not '" + args[i] + "'", 2);
      position = *n;
    } else if (!button) {
      button = args[i];
    } else {
      return Reply::fail(kPressUsage, 2);
    }
  }
  if (!button) return Reply::fail(kPressUsage, 2);
  const auto& visible = uikit::AlertPresenter::shared().visible();
  if (visible.empty()) return Reply::fail("no alert on screen");
  if (position >= static_cast<long>(visible.size())) return Reply::fail("no alert " + std::to_string(position));
  auto alert = position < 0 ? visible.back() : visible[static_cast<std::size_t>(position)];
  long index = -1;
  if (auto n = parse_position(*button)) {
    index = *n;
  } else {
    for (std::size_t b = 0; b < alert->buttons().size() && index < 0; ++b)
      if (alert->buttons()[b] == *button) index = static_cast<long>(b);
  }
  if (index < 0 || index >= alert->numberOfButtons())
    return Reply::fail("the alert " + json_text(alert->title()) + " has no button " + *button);
  std::string title = alert->buttons()[static_cast<std::size_t>(index)];
  uikit::AlertPresenter::shared().press(position, index);
  return Reply::ok("pressed " + json_text(title) + "\n");
}

}  // namespace host
