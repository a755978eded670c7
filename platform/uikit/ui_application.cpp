#include "platform/uikit/ui_application.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list.h"
#include "platform/sim/device_paths.h"

namespace px::platform::uikit {
namespace {

std::vector<std::string> installed_schemes() {
  std::vector<std::string> schemes;
  std::string apps = sim::DevicePath("/Applications").host();
  DIR* dir = ::opendir(apps.c_str());
  if (!dir) return schemes;
  while (dirent* e = ::readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() < 5 || name.substr(name.size() - 4) != ".app") continue;
    foundation::Value info = foundation::plist::read_dictionary(apps + "/" + name + "/Info.plist");
    const foundation::Array* types = info["CFBundleURLTypes"].array();
    if (!types) continue;
    for (auto& type : *types) {
      const foundation::Array* list = type["CFBundleURLSchemes"].array();
      if (!list) continue;
      for (auto& s : *list)
        if (s.string()) {
          std::string lower = *s.string();
          std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
          schemes.push_back(lower);
        }
    }
  }
  ::closedir(dir);
  return schemes;
}

}  // namespace

std::string url_scheme(const std::string& url) {
  auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return {};
  std::string scheme = url.substr(0, colon);
  for (unsigned char c : scheme)
    if (!(std::isalnum(c) || c == '+' || c == '-' || c == '.')) return {};
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
  return scheme;
}

objc::Class UIApplication::runtime_class() { return objc::native_class("UIApplication"); }

std::shared_ptr<UIApplication> UIApplication::sharedApplication() {
  static std::shared_ptr<UIApplication> app = objc::make_native<UIApplication>();
  // The host may make it an instance of its own subclass (SpringBoard); only a
  // runtime reset in tests puts it back.
  if (!objc::object_isKindOfClass(app, runtime_class())) app->set_isa(runtime_class());
  return app;
}

bool UIApplication::canOpenURL(const std::string& url) const {
  std::string scheme = url_scheme(url);
  if (scheme.empty()) return false;
  if (scheme == "http" || scheme == "https" || scheme == "prefs") return true;
  auto schemes = installed_schemes();
  return std::find(schemes.begin(), schemes.end(), scheme) != schemes.end();
}

bool UIApplication::openURL(const std::string& url) {
  if (!canOpenURL(url)) {
    foundation::log_line("UIApplication: no app opens " + url);
    return false;
  }
  m_opened.push_back(url);
  foundation::log_line("UIApplication: opened " + url);
  if (m_router) m_router(url);
  return true;
}

}  // namespace px::platform::uikit
