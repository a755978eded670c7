// What the Settings app shows: the top screen as JSON and as text, and the
// row lookups that tap and set share.

#include <cstdlib>
#include <sstream>

#include "host/common/alert_commands.h"
#include "host/common/value_json.h"
#include "host/settings/drawn_images.h"
#include "host/settings/settings_app.h"
#include "platform/preferences/preferences_table_custom_view.h"
#include "platform/preferences/ps_table_cell.h"
#include "platform/social/sl_compose_view_controller.h"
#include "platform/uikit/ui_alert_view.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_image_view.h"
#include "platform/uikit/ui_label.h"
#include "platform/uikit/ui_web_view.h"

namespace px::host::settings {
namespace {

using nlohmann::json;
using platform::preferences::CellKind;

json frame_json(const platform::uikit::CGRect& f) {
  return {{"x", f.x}, {"y", f.y}, {"width", f.width}, {"height", f.height}};
}

// A file image: its file name, and its device path for whoever draws it.
void add_image(json& j, const std::shared_ptr<platform::uikit::UIImage>& image) {
  j["image"] = image ? json(image->file_name()) : json(nullptr);
  j["image_path"] = image ? json(image->path()) : json(nullptr);
  if (image) j["image_size"] = {{"width", image->width()}, {"height", image->height()}};
}

// A file image is named by its file; a drawn one is published as a PNG file
// when `drawn` is given.
json view_json(const std::shared_ptr<platform::uikit::UIView>& view, DrawnImages* drawn = nullptr) {
  if (!view) return nullptr;
  json j = {{"kind", platform::objc::object_getClass(view) ? platform::objc::object_getClass(view)->name() : "UIView"},
            {"alpha", view->alpha()},
            {"frame", frame_json(view->frame())}};
  if (auto iv = std::dynamic_pointer_cast<platform::uikit::UIImageView>(view)) {
    auto image = iv->image();
    if (image && image->CGImage() && drawn)
      j["image"] = drawn->publish(*image);
    else
      add_image(j, image);
  }
  if (auto chart = view->accessibilityChartDescriptor()) j["chart"] = chart_json(*chart);
  if (auto b = std::dynamic_pointer_cast<platform::uikit::UIButton>(view)) {
    add_image(j, b->backgroundImageForState(platform::uikit::UIControlStateNormal));
    j["events"] = b->registered_events();
  }
  return j;
}

json label_json(const platform::uikit::UILabel& label) {
  static const char* kAlignments[] = {"left", "center", "right"};
  long a = label.textAlignment();
  json j = {{"text", label.text()},
            {"frame", frame_json(label.frame())},
            {"alignment", a >= 0 && a <= 2 ? kAlignments[a] : "left"},
            {"lines", label.numberOfLines()}};
  if (auto font = label.font()) j["font"] = {{"name", font->fontName()}, {"size", font->pointSize()}};
  if (auto c = label.textColor()) j["color"] = {c->red(), c->green(), c->blue(), c->alpha()};
  return j;
}

// What a control needs to be drawn: a slider's range, a choice's titles and values.
void add_control_shape(json& row, const platform::preferences::PSSpecifier& s) {
  switch (s.cell()) {
    case CellKind::slider: {
      platform::foundation::Value min = s.propertyForKey("min"), max = s.propertyForKey("max");
      row["min"] = min.is_number() ? json(min.doubleValue()) : json(0.0);
      row["max"] = max.is_number() ? json(max.doubleValue()) : json(1.0);
      break;
    }
    case CellKind::segment:
    case CellKind::link_list: {
      platform::foundation::Value values = s.propertyForKey("validValues"), titles = s.propertyForKey("validTitles");
      json choices = json::array();
      if (const platform::foundation::Array* vs = values.array()) {
        const platform::foundation::Array* ts = titles.array();
        for (std::size_t i = 0; i < vs->size(); ++i)
          choices.push_back({{"title", ts && i < ts->size() ? (*ts)[i].description() : (*vs)[i].description()},
                             {"value", (*vs)[i].description()}});
      }
      row["choices"] = choices;
      break;
    }
    default:
      break;
  }
}

// A web view as the screen shows it: its address, how far it got, and why a
// page that failed did not load.
json web_view_json(const platform::uikit::UIWebView& web) {
  json j = {{"address", web.address()},
            {"state", platform::uikit::describe(web.load_state())},
            {"loaded", web.load_state() == platform::uikit::UIWebView::LoadState::loaded}};
  if (!web.failure().empty()) j["failure"] = web.failure();
  return j;
}

bool wants_value(CellKind k) { return k != CellKind::group; }

}  // namespace

json row_value_json(const platform::preferences::PSSpecifier& row_specifier, const platform::foundation::Value& v) {
  if (v.is_nil()) return nullptr;
  switch (row_specifier.cell()) {
    case CellKind::switch_cell:
      return v.boolValue();
    case CellKind::slider:
      return v.doubleValue();
    case CellKind::segment:
    case CellKind::link_list: {
      platform::foundation::Value valid = row_specifier.propertyForKey("validValues");
      const platform::foundation::Array* values = valid.array();
      platform::foundation::Value titles = row_specifier.propertyForKey("validTitles");
      if (values)
        for (std::size_t i = 0; i < values->size(); ++i)
          if ((*values)[i] == v || (*values)[i].description() == v.description()) {
            const platform::foundation::Array* t = titles.array();
            if (t && i < t->size()) return (*t)[i].description();
          }
      return v.description();
    }
    default:
      return v.is_string() ? json(*v.string()) : common::to_json(v);
  }
}

std::vector<SettingsApp::Row> SettingsApp::rows() {
  std::vector<Row> out;
  auto t = top();
  if (!t) {
    for (std::size_t i = 0; i < m_entries.size(); ++i) out.push_back(Row{i, nullptr, &m_entries[i]});
    return out;
  }
  auto pane = std::dynamic_pointer_cast<platform::preferences::PSListController>(t);
  if (!pane) return out;
  auto specs = pane->shown_specifiers();
  if (!specs) return out;
  for (std::size_t i = 0; i < specs->count(); ++i) out.push_back(Row{i, specs->items()[i]});
  return out;
}

std::optional<SettingsApp::Row> SettingsApp::find_row(const std::string& row) {
  auto all = rows();
  char* end = nullptr;
  long index = std::strtol(row.c_str(), &end, 10);
  if (!row.empty() && end && *end == '\0') {
    if (index >= 0 && static_cast<std::size_t>(index) < all.size()) return all[static_cast<std::size_t>(index)];
    return std::nullopt;
  }
  for (auto& r : all) {
    std::string label = r.row_specifier ? r.row_specifier->name() : r.entry->label;
    if (label == row && !(r.row_specifier && r.row_specifier->cell() == CellKind::group)) return r;
  }
  return std::nullopt;
}

json SettingsApp::show_json() {
  auto t = top();
  json out;
  out["title"] = t ? (t->title() ? json(*t->title()) : json(nullptr)) : json("Settings");
  json nav = {{"title_view", nullptr}, {"right_button", nullptr}};
  if (t) {
    auto item = t->navigationItem();
    nav["title"] = item->title() ? json(*item->title()) : json(nullptr);
    nav["title_view"] = view_json(item->titleView());
    if (auto right = item->rightBarButtonItem()) nav["right_button"] = view_json(right->customView());
    // The back button names the screen below, as the bar does.
    const auto& stack = m_nav->viewControllers();
    if (stack.size() >= 2) {
      const auto& below = stack[stack.size() - 2];
      nav["back"] = below == m_home ? json("Settings") : below->title() ? json(*below->title()) : json("Back");
    }
  }
  if (!nav.contains("back")) nav["back"] = nullptr;
  out["navigation"] = nav;
  json header = json::array();
  json header_cells = json::array();
  json rows_json = json::array();
  if (auto pane = std::dynamic_pointer_cast<platform::preferences::PSListController>(t)) {
    for (auto& view : header_views(*pane))
      if (auto cell = std::dynamic_pointer_cast<platform::uikit::UIView>(view)) {
        json labels = json::array();
        for (auto& sub : cell->subviews())
          if (auto label = std::dynamic_pointer_cast<platform::uikit::UILabel>(sub)) {
            header.push_back(label->text());
            labels.push_back(label_json(*label));
          }
        header_cells.push_back({{"frame", frame_json(cell->frame())}, {"labels", labels}});
      }
  }
  if (t) {
    for (auto& sub : t->view()->subviews())
      if (auto web = std::dynamic_pointer_cast<platform::uikit::UIWebView>(sub)) out["web_view"] = web_view_json(*web);
    std::shared_ptr<platform::uikit::UIViewController> shown = presented();
    if (auto sheet = std::dynamic_pointer_cast<platform::social::SLComposeViewController>(shown)) {
      // The compose sheet as the platform draws it: the service's name over the text, Cancel and Post.
      std::string service = platform::social::service_name(sheet->serviceType());
      out["sheet"] = {{"kind", sheet->serviceType()},
                      {"service", service},
                      {"title", service},
                      {"text", sheet->initialText()},
                      {"buttons", {"Cancel", "Post"}}};
    } else if (shown) {
      out["sheet"] = {{"kind", "UIViewController"}, {"text", ""}};
    }
  }
  if (m_page) {
    json page = m_page->web ? web_view_json(*m_page->web) : json{{"address", m_page->address}, {"state", "opened"}};
    page["app"] = m_page->web ? "Safari" : "the app for " + platform::uikit::url_scheme(m_page->address) + ":";
    out["opened_page"] = page;
  }
  for (auto& r : rows()) {
    json row = {{"index", r.index}};
    if (!r.row_specifier) {
      row["label"] = r.entry->label;
      row["kind"] = "link";
      rows_json.push_back(row);
      continue;
    }
    row["label"] = r.row_specifier->name();
    row["kind"] = platform::preferences::cell_kind_short_name(r.row_specifier->cell());
    platform::foundation::Value key = r.row_specifier->propertyForKey("key");
    if (auto* k = key.string()) row["key"] = *k;
    if (wants_value(r.row_specifier->cell()) && r.row_specifier->getter()) {
      json v = row_value_json(*r.row_specifier, r.row_specifier->performGetter());
      if (!v.is_null()) row["value"] = v;
    }
    platform::foundation::Value footer = r.row_specifier->propertyForKey("footerText");
    if (auto* f = footer.string()) row["footer"] = *f;
    // A row drawn by the bundle's own cell: made afresh for every screen, as
    // its contents (a chart) change with the data.
    platform::foundation::Value cell_class_name = r.row_specifier->propertyForKey("cellClass");
    if (auto* cell_class = cell_class_name.string()) {
      platform::objc::id cell =
          platform::preferences::makeCustomView(platform::objc::objc_getClass(*cell_class), r.row_specifier);
      json views = json::array();
      if (auto view = std::dynamic_pointer_cast<platform::uikit::UIView>(cell))
        for (auto& sub : view->subviews()) views.push_back(view_json(sub, &m_drawn));
      row["views"] = views;
    }
    add_control_shape(row, *r.row_specifier);
    rows_json.push_back(row);
  }
  m_drawn.end_render();
  out["header"] = header;
  out["header_cells"] = header_cells;
  out["rows"] = rows_json;
  out["alerts"] = common::alerts_on_screen();
  return out;
}

std::string SettingsApp::show_text() {
  json j = show_json();
  std::ostringstream o;
  o << (j["title"].is_string() ? j["title"].get<std::string>() : std::string("(no title)"));
  auto describe_view = [](const json& v) {
    std::string s = v["kind"].get<std::string>();
    if (v.contains("image") && v["image"].is_string()) s += " " + v["image"].get<std::string>();
    return s;
  };
  if (!j["navigation"]["title_view"].is_null())
    o << "  [title view: " << describe_view(j["navigation"]["title_view"]) << "]";
  if (!j["navigation"]["right_button"].is_null())
    o << "  [right: " << describe_view(j["navigation"]["right_button"]) << "]";
  o << "\n";
  for (auto& line : j["header"]) o << "    " << line.get<std::string>() << "\n";
  auto describe_page = [&o](const std::string& what, const json& page) {
    o << "  " << what << " " << page["address"].get<std::string>() << " (" << page["state"].get<std::string>() << ")";
    if (page.contains("failure")) o << ": " << page["failure"].get<std::string>();
    o << "\n";
  };
  if (j.contains("web_view")) describe_page("web view", j["web_view"]);
  if (j.contains("opened_page")) describe_page(j["opened_page"]["app"].get<std::string>(), j["opened_page"]);
  if (j.contains("sheet") && j["sheet"].contains("service"))
    o << "  compose sheet " << j["sheet"]["service"].get<std::string>() << ": " << j["sheet"]["text"].get<std::string>()
      << "  [Cancel] [Post]\n";
  for (auto& r : j["rows"]) {
    std::string kind = r["kind"];
    o << (r["index"].get<std::size_t>() < 10 ? " " : "") << r["index"].get<std::size_t>() << "  ";
    if (kind == "group") {
      o << "-- " << r["label"].get<std::string>() << "\n";
      continue;
    }
    o << "  " << r["label"].get<std::string>();
    if (r.contains("value"))
      o << ": " << (r["value"].is_string() ? r["value"].get<std::string>() : common::json_text(r["value"]));
    if (kind == "link") o << " >";
    if (kind == "button") o << " [button]";
    if (kind == "switch" || kind == "slider" || kind == "segment" || kind == "list") o << "  (" << kind << ")";
    if (r.contains("views"))
      for (auto& v : r["views"])
        if (v.contains("chart")) {
          std::string line = v["chart"]["sparkline"].get<std::string>();
          o << "  " << (line.empty() ? "" : line + "  ") << v["chart"]["summary"].get<std::string>();
        }
    o << "\n";
  }
  return o.str();
}

}  // namespace px::host::settings
