#pragma once
// UIWebView: loads one request at a time. The page is fetched over HTTP on the
// next turn of the main run loop (bounded by the URL-loading time-outs); what
// the host shows is the address and whether it loaded. A page that fails to
// load reports nothing to the code that loaded it (there is no delegate), but
// the view keeps why, so the screen can say what a person would see.

#include <memory>
#include <string>

#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

struct NSURLRequest {
  std::string url;
};

class UIWebView : public UIView {
 public:
  enum class LoadState { none, loading, loaded, failed };

  static objc::Class runtime_class();
  static std::shared_ptr<UIWebView> initWithFrame(CGRect frame);

  void loadRequest(const NSURLRequest& request);
  const std::string& address() const { return m_address; }
  LoadState load_state() const { return m_state; }
  std::size_t page_bytes() const { return m_page_bytes; }
  // After a failed load: "could not load ADDRESS: REASON"; empty otherwise.
  const std::string& failure() const { return m_failure; }
  bool scalesPageToFit() const { return m_scales; }
  void setScalesPageToFit(bool on) { m_scales = on; }
  std::string summary() const override { return "UIWebView " + m_address; }

 private:
  std::string m_address;
  std::string m_failure;
  LoadState m_state = LoadState::none;
  std::size_t m_page_bytes = 0;
  bool m_scales = false;
  unsigned m_generation = 0;
};

const char* describe(UIWebView::LoadState s);

}  // namespace px::platform::uikit
