#include "host/common/alert_commands.h"

#include "host/common/value_json.h"
#include "platform/uikit/ui_alert_view.h"

namespace px::host::common {

nlohmann::json alerts_on_screen() {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& a : platform::uikit::AlertPresenter::shared().visible())
    list.push_back({{"title", a->title()}, {"message", a->message()}, {"buttons", a->buttons()}});
  return list;
}

Reply press_alert(const verbs::Press& press) {
  long position = press.alert.value_or(-1);
  const auto& visible = platform::uikit::AlertPresenter::shared().visible();
  if (visible.empty()) return Reply::fail("no alert on screen");
  if (position >= static_cast<long>(visible.size())) return Reply::fail("no alert " + std::to_string(position));
  auto alert = position < 0 ? visible.back() : visible[static_cast<std::size_t>(position)];
  long index = -1;
  if (auto n = verbs::read_position(press.button)) {
    index = *n;
  } else {
    for (std::size_t b = 0; b < alert->buttons().size() && index < 0; ++b)
      if (alert->buttons()[b] == press.button) index = static_cast<long>(b);
  }
  if (index < 0 || index >= alert->numberOfButtons())
    return Reply::fail("the alert " + json_text(alert->title()) + " has no button " + press.button);
  std::string title = alert->buttons()[static_cast<std::size_t>(index)];
  platform::uikit::AlertPresenter::shared().press(position, index);
  return Reply::ok("pressed " + json_text(title) + "\n");
}

}  // namespace px::host::common
