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

namespace pxprefs {
namespace {

using foundation::Value;

// Buckets of the charts' read-out: a half hour each of the level chart's
// span (a day, and the half day ahead when it shows the time left), and
// about a week each over the years.
std::size_t level_steps(const ChartData& c) { return static_cast<std::size_t>((c.x.max - c.x.min) / 1800 + 0.5); }
std::size_t health_steps(const ChartData&) { return 60; }
constexpr double kChartCellMargin = 8;

// A row's value, or "History unavailable" when the store could not be read.
void add_history_getter(objc::Class cls, const char* selector,
                        std::function<std::string(const HistorySnapshot&)> text) {
  add_getter(cls, selector, [text](const Pane&) {
    const HistorySnapshot& h = current_history();
    return Value(h.status.ok() ? text(h) : std::string(kHistoryUnavailable));
  });
}

using Steps = std::size_t (*)(const ChartData&);

objc::id chart_view(const ChartData& chart, std::size_t steps) {
  auto view = uikit::UIImageView::initWithImage(draw_chart(chart));
  view->setFrame(uikit::CGRect{(uikit::UIScreen::mainScreen()->bounds().width - kChartWidth) / 2, kChartCellMargin,
                               kChartWidth, kChartHeight});
  view->setAccessibilityChartDescriptor(chart_descriptor(chart, steps));
  return view;
}

void add_chart(objc::Class cls, const char* selector, ChartData HistorySnapshot::*chart, Steps steps) {
  objc::class_addMethod<objc::id, objc::id>(
      cls, objc::sel(selector), objc::Imp<objc::id, objc::id>([chart, steps](objc::id, objc::SEL, objc::id) {
        const ChartData& data = current_history().*chart;
        return chart_view(data, steps(data));
      }));
}

void register_History() {
  objc::Class cls = define_pane("History");
  add_specifiers(cls, [](const objc::id& self) { return load_specifiers_once(self, "History"); });
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
  objc::Class cls = define_pane("HistorySessions");
  add_specifiers(cls, [](const objc::id& self) -> objc::id {
    Pane pane = as_pane(self);
    if (!pane) return nullptr;
    auto list = pane->loadSpecifiersFromPlistName("History Sessions", self);
    if (!list) return nullptr;
    std::vector<std::shared_ptr<preferences::PSSpecifier>> rows = list->items();
    const HistorySnapshot& h = current_history();
    auto row = [&](std::string label, Value details) {
      rows.push_back(preferences::PSSpecifier::from_item(
          Value(foundation::Dictionary{
              {"cell", "PSTitleValueCell"}, {"label", label}, {"get", "SessionDetails:"}, {"details", details}}),
          self));
    };
    if (!h.status.ok())
      row(kHistoryUnavailable, Value(""));
    else if (h.last_sessions.empty())
      row("No charge sessions yet", Value(""));
    for (const auto& s : h.last_sessions) row(session_title(s), Value(session_details(s)));
    auto array = preferences::SpecifierArray::make(std::move(rows));
    array->set_title(list->title());
    return array;
  });
  objc::class_addMethod<Value, objc::id>(cls, objc::sel("SessionDetails:"),
                                         objc::Imp<Value, objc::id>([](objc::id, objc::SEL, objc::id row) {
                                           auto s = objc::cast<preferences::PSSpecifier>(row);
                                           return s ? s->propertyForKey("details") : Value();
                                         }));
  // Each appearance shows the sessions as they are now.
  objc::class_addMethod<void, bool>(cls, objc::sel("viewWillAppear:"),
                                    objc::Imp<void, bool>([](objc::id self, objc::SEL, bool) {
                                      if (Pane pane = as_pane(self)) pane->reload();
                                    }));
}

// A row whose specifier names `chart`, the pane's selector that makes the chart's view.
void register_PylonexPro2ChartCell() {
  if (objc::objc_getClass("PylonexPro2ChartCell")) return;
  objc::Class cls = objc::objc_allocateClassPair(preferences::PSTableCell::runtime_class(), "PylonexPro2ChartCell");
  if (!cls) return;
  objc::class_addMethod<objc::id, objc::id>(
      cls, objc::sel("initWithSpecifier:"),
      objc::Imp<objc::id, objc::id>([](objc::id self, objc::SEL, objc::id specifier) {
        auto cell = std::dynamic_pointer_cast<preferences::PSTableCell>(self);
        auto row = objc::cast<preferences::PSSpecifier>(specifier);
        if (!cell || !row || !cell->initWithStyle(0, "PylonexPro2ChartCell")) return objc::id{};
        foundation::Value chart = row->propertyForKey("chart");
        const std::string* selector = chart.string();
        if (!selector) return objc::id{};
        auto view = std::dynamic_pointer_cast<uikit::UIView>(
            objc::msg_send<objc::id>(row->target(), objc::sel(*selector), specifier));
        if (view) cell->addSubview(view);
        return self;
      }));
  objc::class_addMethod<double, double>(
      cls, objc::sel("preferredHeightForWidth:"),
      objc::Imp<double, double>([](objc::id, objc::SEL, double) { return kChartHeight + 2 * kChartCellMargin; }));
  objc::objc_registerClassPair(cls);
}

}  // namespace

void register_history_panes() {
  register_PylonexPro2ChartCell();
  register_History();
  register_HistorySessions();
}

}  // namespace pxprefs
