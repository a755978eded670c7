#include "host/settings/settings_app.h"

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>

#include "host/common/on_off.h"
#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/run_loop.h"
#include "platform/preferences/preferences_table_custom_view.h"
#include "platform/sim/device_paths.h"
#include "platform/social/sl_compose_view_controller.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_screen.h"
#include "platform/uikit/ui_web_view.h"

namespace px::host::settings {
namespace {

constexpr const char* kEntryFolder = "/Library/PreferenceLoader/Preferences";
constexpr const char* kBundleFolder = "/Library/PreferenceBundles";

std::string root_name_of(const std::string& url) {
  // prefs:root=NAME[&path=...]
  auto at = url.find("root=");
  if (at == std::string::npos) return {};
  std::string name = url.substr(at + 5);
  auto amp = name.find_first_of("&/");
  return amp == std::string::npos ? name : name.substr(0, amp);
}

}  // namespace

SettingsApp::SettingsApp() {
  m_nav = platform::uikit::UINavigationController::make();
  m_home = platform::uikit::UIViewController::make();
  m_home->setTitle(std::string("Settings"));
  m_nav->setViewControllers({m_home});
  m_nav->set_on_change([this] { note_web_views(); });
  platform::uikit::UIViewController::set_presentation_observer(
      [this](const std::shared_ptr<platform::uikit::UIViewController>&,
             const std::shared_ptr<platform::uikit::UIViewController>& shown) {
        if (auto sheet = std::dynamic_pointer_cast<platform::social::SLComposeViewController>(shown))
          m_sheets.push_back(Sheet{sheet->serviceType(), sheet->initialText()});
        else
          m_sheets.push_back(Sheet{"UIViewController", ""});
      });
  platform::social::SLComposeViewController::set_post_observer(
      [this](const std::string& service, const std::string& text) {
        m_posts.push_back(Sheet{service, text});
      });
  // A pane opening prefs: comes back here; any other URL leaves the Settings
  // app for the page or app that opens it.
  platform::uikit::UIApplication::sharedApplication()->set_router([this](const std::string& url) {
    m_opened.push_back(url);
    if (platform::uikit::url_scheme(url) == "prefs")
      platform::foundation::dispatch_after_ns(0, [this, url] { open_url(url); });
    else
      open_page(url);
  });
  load_entries();
}

SettingsApp::~SettingsApp() {
  platform::uikit::UIViewController::set_presentation_observer(nullptr);
  platform::social::SLComposeViewController::set_post_observer(nullptr);
  platform::uikit::UIApplication::sharedApplication()->set_router(nullptr);
}

void SettingsApp::load_entries() {
  m_entries.clear();
  std::string folder = platform::sim::DevicePath(kEntryFolder).host();
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() <= 6 || name.substr(name.size() - 6) != ".plist") continue;
    platform::foundation::Value list = platform::foundation::plist::read_dictionary(folder + "/" + name);
    const platform::foundation::Value& entry = list["entry"];
    if (!entry.is_dictionary()) continue;
    std::string stem = name.substr(0, name.size() - 6);
    const std::string* label = entry["label"].string();
    m_entries.push_back(Entry{stem, label ? *label : stem, entry});
  }
  ::closedir(dir);
  std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) { return a.label < b.label; });
}

void SettingsApp::open_page(const std::string& url) {
  OpenedPage page{url, nullptr};
  std::string scheme = platform::uikit::url_scheme(url);
  if (scheme == "http" || scheme == "https") {
    platform::uikit::CGRect bounds = platform::uikit::UIScreen::mainScreen()->bounds();
    page.web = platform::uikit::UIWebView::initWithFrame(bounds);
    page.web->loadRequest(platform::uikit::NSURLRequest{url});
  }
  m_page = std::move(page);
}

std::shared_ptr<platform::uikit::UIViewController> SettingsApp::presented() const {
  auto t = m_nav->topViewController();
  auto shown = t ? t->presentedViewController() : nullptr;
  return shown ? shown : m_nav->presentedViewController();
}

std::optional<SettingsApp::Refusal> SettingsApp::press_sheet(const std::string& button) {
  auto sheet = std::dynamic_pointer_cast<platform::social::SLComposeViewController>(presented());
  if (!sheet) return Refusal{"no compose sheet is shown"};
  std::string name = common::lowercase(button);
  if (name == "cancel")
    sheet->cancel();
  else if (name == "post")
    sheet->post();
  else
    return Refusal{"a compose sheet has Cancel and Post, not " + button, 2};
  return std::nullopt;
}

std::optional<std::string> SettingsApp::open_url(const std::string& url) {
  if (platform::uikit::url_scheme(url) != "prefs") return "not a settings URL: " + url;
  m_page.reset();
  std::string name = root_name_of(url);
  if (name.empty()) {
    m_nav->setViewControllers({m_home});
    return std::nullopt;
  }
  load_entries();
  const Entry* found = nullptr;
  for (auto& e : m_entries)
    if (e.label == name || e.file == name) found = found ? found : &e;
  if (!found) return "no settings entry named " + name;
  m_nav->setViewControllers({m_home});
  return open_entry(*found);
}

std::optional<std::string> SettingsApp::open_entry(const Entry& entry) {
  const std::string* bundle = entry.entry["bundle"].string();
  if (!bundle) return "entry " + entry.file + " names no bundle";
  std::string folder = std::string(kBundleFolder) + "/" + *bundle + ".bundle";
  platform::foundation::Value info =
      platform::foundation::plist::read_dictionary(platform::sim::DevicePath(folder + "/Info.plist").host());
  if (!m_bundles.count(*bundle)) {
    const std::string* exe = info["CFBundleExecutable"].string();
    std::string file = platform::sim::DevicePath(folder + "/" + (exe ? *exe : *bundle)).host();
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return std::string("cannot load bundle ") + *bundle + ": " + ::dlerror();
    m_bundles[*bundle] = handle;  // bundles stay loaded for the life of the process
  }
  const std::string* detail = entry.entry["detail"].string();
  if (!detail) detail = info["NSPrincipalClass"].string();
  if (!detail) return "entry " + entry.file + " names no controller class";
  auto row_specifier = platform::preferences::PSSpecifier::from_item(entry.entry, nullptr);
  return push_pane(*detail, folder, row_specifier);
}

std::optional<std::string> SettingsApp::push_pane(const std::string& class_name, const std::string& bundle_path,
                                                  std::shared_ptr<platform::preferences::PSSpecifier> specifier) {
  platform::objc::Class cls = platform::objc::objc_getClass(class_name);
  if (!cls) return "no class " + class_name;
  auto pane = platform::preferences::PSListController::make_for(cls);
  if (!pane) return class_name + " is not a list controller";
  pane->set_bundle_path(bundle_path);
  if (specifier) {
    pane->set_specifier(specifier);
    if (!specifier->name().empty()) pane->setTitle(specifier->name());
  }
  m_nav->pushViewController(pane, true);
  pane->shown_specifiers();
  platform::objc::msg_send<void>(platform::objc::id(pane), platform::objc::sel("viewWillAppear:"), true);
  return std::nullopt;
}

bool SettingsApp::back() {
  if (m_page) {
    m_page.reset();
    return true;
  }
  if (!m_nav->popViewControllerAnimated(true)) return false;
  if (auto pane = std::dynamic_pointer_cast<platform::preferences::PSListController>(m_nav->topViewController()))
    platform::objc::msg_send<void>(platform::objc::id(pane), platform::objc::sel("viewWillAppear:"), true);
  return true;
}

std::shared_ptr<platform::uikit::UIViewController> SettingsApp::top() const {
  auto t = m_nav->topViewController();
  return t == m_home ? nullptr : t;
}

std::vector<platform::objc::id> SettingsApp::header_views(platform::preferences::PSListController& pane) {
  auto& cached = m_headers[&pane];
  if (cached.first == pane.reload_count() && !cached.second.empty()) return cached.second;
  cached.first = pane.reload_count();
  cached.second.clear();
  auto specs = pane.shown_specifiers();
  if (!specs) return {};
  for (auto& s : specs->items()) {
    platform::foundation::Value cls_name = s->propertyForKey("headerCellClass");
    const std::string* cls = cls_name.string();
    if (!cls) continue;
    platform::objc::Class header_class = platform::objc::objc_getClass(*cls);
    if (!header_class) platform::foundation::log_line("Preferences: no header class " + *cls);
    platform::objc::id view = platform::preferences::makeCustomView(header_class, s);
    if (view) cached.second.push_back(view);
  }
  return cached.second;
}

void SettingsApp::note_web_views() {
  // Header views belong to panes on the stack; a pane that left it takes its own with it.
  for (auto it = m_headers.begin(); it != m_headers.end();) {
    bool on_stack = false;
    for (auto& vc : m_nav->viewControllers()) on_stack |= vc.get() == it->first;
    it = on_stack ? std::next(it) : m_headers.erase(it);
  }
  for (auto& vc : m_nav->viewControllers()) {
    if (vc == m_home || std::dynamic_pointer_cast<platform::preferences::PSListController>(vc)) continue;
    for (auto& sub : vc->view()->subviews()) {
      auto web = std::dynamic_pointer_cast<platform::uikit::UIWebView>(sub);
      if (!web || std::count(m_seen_web_views.begin(), m_seen_web_views.end(), web)) continue;
      m_seen_web_views.push_back(web);
      m_web_views.push_back(web->address());
    }
  }
}

nlohmann::json SettingsApp::status_json() const {
  nlohmann::json sheets = nlohmann::json::array();
  for (auto& s : m_sheets) sheets.push_back({{"kind", s.kind}, {"text", s.text}});
  nlohmann::json posts = nlohmann::json::array();
  for (auto& p : m_posts)
    posts.push_back({{"kind", p.kind}, {"service", platform::social::service_name(p.kind)}, {"text", p.text}});
  return {{"pid", static_cast<long>(::getpid())},
          {"opened_urls", m_opened},
          {"sheets", sheets},
          {"posts", posts},
          {"web_views", m_web_views}};
}

}  // namespace px::host::settings
