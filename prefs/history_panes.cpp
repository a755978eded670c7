// History: the battery's health now and over time, the forecast of when it
// reaches 80 %, charging, and two charts; HistorySessions: the last charge
// sessions; PylonexPro2ChartCell: the row that shows a chart. Every value of
// one screen comes from one snapshot of the store (history_snapshot.h).

#include "platform/preferences/ps_table_cell.h"
#include "platform/uikit/ui_image_view.h"
#include "prefs/history_snapshot.h"
#include "prefs/history_texts.h"
#include "prefs/pane_support.h"
#include "prefs/panes.h"

namespace px::prefs {
namespace {

using platform::foundation::Value;

// Buckets of the charts' read-out: a half hour each of the level chart's
// span (a day, and the half day ahead when it shows the time left), and
// about a week each over the years.
std::size_t level_steps(const ChartData& c) { return static_cast<std::size_t>((c.x.max - c.x.min) / 1800 + 0.5); }
std::size_t health_steps(const ChartData&) { return 60; }
constexpr double kChartCellMargin = 8;

// A row's value, or "History unavailable" when the store could not be read.
void add_history_getter(platform::objc::Class cls, const char* selector,
                        std::function<std::string(const HistorySnapshot&)> text) {
  add_getter(cls, selector, [text](const Pane&) {
    const HistorySnapshot& h = current_history();
    return Value(h.status.ok() ? text(h) : std::string(kHistoryUnavailable));
  });
}

using Steps = std::size_t (*)(const ChartData&);

platform::objc::id chart_view(const ChartData& chart, std::size_t steps) {
  auto view = platform::uikit::UIImageView::initWithImage(draw_chart(chart));
  view->setFrame(platform::uikit::CGRect{(platform::uikit::UIScreen::mainScreen()->bounds().width - kChartWidth) / 2,
                                         kChartCellMargin, kChartWidth, kChartHeight});
  view->setAccessibilityChartDescriptor(chart_descriptor(chart, steps));
  return view;
}

void add_chart(platform::objc::Class cls, const char* selector, ChartData HistorySnapshot::*chart, Steps steps) {
  platform::objc::class_addMethod<platform::objc::id, platform::objc::id>(
      cls, platform::objc::sel(selector),
      platform::objc::Imp<platform::objc::id, platform::objc::id>(
          [chart, steps](platform::objc::id, platform::objc::SEL, platform::objc::id) {
            const ChartData& data = current_history().*chart;
            return chart_view(data, steps(data));
          }));
}

void register_History() {
  platform::objc::Class cls = define_pane("History");
  add_specifiers(cls, [](const platform::objc::id& self) { return load_specifiers_once(self, "History"); });
  add_history_getter(cls, "HealthNow:", [](auto& h) { return health_text(h.health_now); });
  add_history_getter(cls, "Health30DaysAgo:", [](auto& h) { return health_text(h.health_30_days_ago); });
  add_history_getter(cls, "Health365DaysAgo:", [](auto& h) { return health_text(h.health_365_days_ago); });
  add_history_getter(cls, "CyclesPerWeek:", [](auto& h) { return cycles_per_week_text(h.cycles_per_day); });
  add_history_getter(cls, "LastFullCharge:", [](auto& h) {
    return h.last_full_charge ? date_time_text(*h.last_full_charge) : std::string("None yet");
  });
  add_history_getter(cls, "Forecast:", [](auto& h) { return forecast_text(h.forecast); });
  add_history_getter(cls,
                     "SessionCount:", [](auto& h) { return std::to_string(h.sessions_last_30_days) + " in 30 days"; });
  add_chart(cls, "LevelChart:", &HistorySnapshot::level_chart, level_steps);
  add_chart(cls, "HealthChart:", &HistorySnapshot::health_chart, health_steps);
}

// The sessions are rows of their own, made afresh each time the pane asks
// for its specifiers (on every appearance): they are data, not a fixed list.
void register_HistorySessions() {
  platform::objc::Class cls = define_pane("HistorySessions");
  add_specifiers(cls, [](const platform::objc::id& self) -> platform::objc::id {
    Pane pane = as_pane(self);
    if (!pane) return nullptr;
    auto list = pane->loadSpecifiersFromPlistName("History Sessions", self);
    if (!list) return nullptr;
    std::vector<std::shared_ptr<platform::preferences::PSSpecifier>> rows = list->items();
    const HistorySnapshot& h = current_history();
    auto row = [&](std::string label, Value details) {
      rows.push_back(platform::preferences::PSSpecifier::from_item(
          Value(platform::foundation::Dictionary{
              {"cell", "PSTitleValueCell"}, {"label", label}, {"get", "SessionDetails:"}, {"details", details}}),
          self));
    };
    if (!h.status.ok())
      row(kHistoryUnavailable, Value(""));
    else if (h.last_sessions.empty())
      row("No charge sessions yet", Value(""));
    for (const auto& s : h.last_sessions) row(session_title(s), Value(session_details(s)));
    auto array = platform::preferences::SpecifierArray::make(std::move(rows));
    array->set_title(list->title());
    return array;
  });
  platform::objc::class_addMethod<Value, platform::objc::id>(
      cls, platform::objc::sel("SessionDetails:"),
      platform::objc::Imp<Value, platform::objc::id>(
          [](platform::objc::id, platform::objc::SEL, platform::objc::id row) {
            auto s = platform::objc::cast<platform::preferences::PSSpecifier>(row);
            return s ? s->propertyForKey("details") : Value();
          }));
  // Each appearance shows the sessions as they are now.
  platform::objc::class_addMethod<void, bool>(
      cls, platform::objc::sel("viewWillAppear:"),
      platform::objc::Imp<void, bool>([](platform::objc::id self, platform::objc::SEL, bool) {
        if (Pane pane = as_pane(self)) pane->reload();
      }));
}

// A row whose specifier names `chart`, the pane's selector that makes the chart's view.
void register_PylonexPro2ChartCell() {
  if (platform::objc::objc_getClass("PylonexPro2ChartCell")) return;
  platform::objc::Class cls = platform::objc::objc_allocateClassPair(
      platform::preferences::PSTableCell::runtime_class(), "PylonexPro2ChartCell");
  if (!cls) return;
  platform::objc::class_addMethod<platform::objc::id, platform::objc::id>(
      cls, platform::objc::sel("initWithSpecifier:"),
      platform::objc::Imp<platform::objc::id, platform::objc::id>(
          [](platform::objc::id self, platform::objc::SEL, platform::objc::id specifier) {
            auto cell = std::dynamic_pointer_cast<platform::preferences::PSTableCell>(self);
            auto row = platform::objc::cast<platform::preferences::PSSpecifier>(specifier);
            if (!cell || !row || !cell->initWithStyle(0, "PylonexPro2ChartCell")) return platform::objc::id{};
            platform::foundation::Value chart = row->propertyForKey("chart");
            const std::string* selector = chart.string();
            if (!selector) return platform::objc::id{};
            auto view = std::dynamic_pointer_cast<platform::uikit::UIView>(
                platform::objc::msg_send<platform::objc::id>(row->target(), platform::objc::sel(*selector), specifier));
            if (view) cell->addSubview(view);
            return self;
          }));
  platform::objc::class_addMethod<double, double>(
      cls, platform::objc::sel("preferredHeightForWidth:"),
      platform::objc::Imp<double, double>(
          [](platform::objc::id, platform::objc::SEL, double) { return kChartHeight + 2 * kChartCellMargin; }));
  platform::objc::objc_registerClassPair(cls);
}

}  // namespace

void register_history_panes() {
  register_PylonexPro2ChartCell();
  register_History();
  register_HistorySessions();
}

}  // namespace px::prefs
