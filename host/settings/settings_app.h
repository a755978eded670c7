#pragma once
// The Settings app of the simulated device (process "Preferences"): the
// PreferenceLoader entries under /Library/PreferenceLoader/Preferences/, a
// navigation stack of panes loaded from bundles, alerts, pushed web views and
// presented share sheets. Rows are built from each pane's specifiers, and
// every value is asked from the pane when the screen is shown.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/common/control_channel.h"
#include "host/settings/drawn_images.h"
#include "platform/preferences/ps_list_controller.h"
#include "platform/uikit/ui_view_controller.h"
#include "platform/uikit/ui_web_view.h"

namespace px::host::settings {

struct Entry {
  std::string file;                   // the entry list's file name without ".plist"
  std::string label;                  // what the Settings list shows, and what prefs:root= names
  platform::foundation::Value entry;  // the `entry` dictionary
};

struct Sheet {
  std::string kind;  // the service type of a share sheet
  std::string text;  // its initial text
};

// What the device did with a URL a pane opened that is not the Settings
// app's own: an http(s) page is shown in the browser (a web view over the
// Settings app), any other scheme goes to the app that declares it.
struct OpenedPage {
  std::string address;
  std::shared_ptr<platform::uikit::UIWebView> web;  // nothing for another app's scheme
};

class SettingsApp {
 public:
  SettingsApp();
  ~SettingsApp();

  // Rereads the entries (sorted by label).
  void load_entries();
  const std::vector<Entry>& entries() const { return m_entries; }

  // prefs:root=NAME (an entry's label or file name); an error text on failure.
  std::optional<std::string> open_url(const std::string& url);
  std::optional<std::string> open_entry(const Entry& entry);
  // Pushes a pane of class `class_name` opened by `specifier`.
  std::optional<std::string> push_pane(const std::string& class_name, const std::string& bundle_path,
                                       std::shared_ptr<platform::preferences::PSSpecifier> specifier);
  // Leaves the opened page when there is one, else pops the top pane.
  bool back();

  // The screen on top: nothing on the entry list.
  std::shared_ptr<platform::uikit::UIViewController> top() const;
  std::shared_ptr<platform::uikit::UINavigationController> navigation() const { return m_nav; }

  // The top screen as the `show --json` object and as text.
  nlohmann::json show_json();
  std::string show_text();

  // A tap or set not carried out: why, and the exit status it means (2 the
  // row or value given is wrong, 1 the pane refused).
  struct Refusal {
    std::string why;
    int status = 1;
  };
  // ROW: an index or a label; "right" fires the right bar button item.
  std::optional<Refusal> tap(const std::string& row);
  // A value as its control would hand it over: on/off for a switch, a finite
  // number (clamped to the slider's range) for a slider, a title or value of
  // a choice.
  std::optional<Refusal> set(const std::string& row, const std::string& value);
  // Presses Cancel or Post on the compose sheet on screen.
  std::optional<Refusal> press_sheet(const std::string& button);

  nlohmann::json status_json() const;
  // What is presented over the top screen (a compose sheet), or nothing.
  std::shared_ptr<platform::uikit::UIViewController> presented() const;
  const std::vector<Sheet>& sheets() const { return m_sheets; }
  // The texts posted through a compose sheet, oldest first.
  const std::vector<Sheet>& posts() const { return m_posts; }
  const std::vector<std::string>& opened_urls() const { return m_opened; }

  // Serves the control commands (see control_commands.cpp).
  common::Reply handle(const std::vector<std::string>& args);

 private:
  struct Row {
    std::size_t index;
    std::shared_ptr<platform::preferences::PSSpecifier> row_specifier;  // nothing on the entry list
    const Entry* entry = nullptr;
  };
  std::vector<Row> rows();
  std::optional<Row> find_row(const std::string& row);
  std::vector<platform::objc::id> header_views(platform::preferences::PSListController& pane);
  void note_web_views();

  std::vector<Entry> m_entries;
  std::shared_ptr<platform::uikit::UINavigationController> m_nav;
  std::shared_ptr<platform::uikit::UIViewController> m_home;
  std::map<const void*, std::pair<unsigned, std::vector<platform::objc::id>>> m_headers;
  void open_page(const std::string& url);

  std::vector<Sheet> m_sheets;
  std::vector<Sheet> m_posts;
  std::optional<OpenedPage> m_page;
  std::vector<std::string> m_web_views;
  std::vector<std::shared_ptr<platform::uikit::UIView>> m_seen_web_views;
  std::vector<std::string> m_opened;
  std::map<std::string, void*> m_bundles;
  DrawnImages m_drawn;
};

// The text a row shows for a value: a list choice's title, a number's decimal text.
nlohmann::json row_value_json(const platform::preferences::PSSpecifier& row_specifier,
                              const platform::foundation::Value& v);

}  // namespace px::host::settings
