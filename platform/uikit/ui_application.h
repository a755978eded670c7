#pragma once
// UIApplication: canOpenURL: against the URL schemes that the apps installed
// on the device declare (/Applications/*.app/Info.plist CFBundleURLTypes),
// plus http, https and prefs; openURL: records and logs every URL and hands it
// to the host's router (SpringBoard sends prefs: URLs to the Settings app).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/objc/native_class.h"

namespace px::platform::uikit {

class UIApplication : public objc::Object {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIApplication> sharedApplication();

  bool canOpenURL(const std::string& url) const;
  // True when the URL was handed on (a scheme canOpenURL: knows).
  bool openURL(const std::string& url);

  const std::vector<std::string>& opened_urls() const { return m_opened; }
  using Router = std::function<void(const std::string& url)>;
  void set_router(Router r) { m_router = std::move(r); }
  void reset_for_testing() {
    m_opened.clear();
    m_router = nullptr;
  }

 private:
  std::vector<std::string> m_opened;
  Router m_router;
};

// The scheme of a URL text ("prefs" of "prefs:root=X"), lower-cased; empty when none.
std::string url_scheme(const std::string& url);

}  // namespace px::platform::uikit
