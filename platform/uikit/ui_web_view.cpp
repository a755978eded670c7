#include "platform/uikit/ui_web_view.h"

#include "platform/foundation/run_loop.h"
#include "platform/foundation/url_loading.h"

namespace px::platform::uikit {

objc::Class UIWebView::runtime_class() { return objc::native_class("UIWebView", UIView::runtime_class()); }

std::shared_ptr<UIWebView> UIWebView::initWithFrame(CGRect frame) {
  auto v = objc::make_native<UIWebView>();
  v->setFrame(frame);
  return v;
}

void UIWebView::loadRequest(const NSURLRequest& request) {
  m_address = request.url;
  m_state = LoadState::loading;
  m_page_bytes = 0;
  m_failure.clear();
  unsigned generation = ++m_generation;
  std::weak_ptr<UIWebView> weak = std::static_pointer_cast<UIWebView>(shared_from_this());
  foundation::dispatch_after_ns(0, [weak, generation] {
    auto view = weak.lock();
    if (!view || view->m_generation != generation) return;  // gone, or a newer request replaced it
    std::string why;
    auto page = foundation::dataWithContentsOfURL(view->m_address, &why);
    view->m_state = page ? LoadState::loaded : LoadState::failed;
    view->m_page_bytes = page ? page->bytes.size() : 0;
    if (!page) view->m_failure = "could not load " + view->m_address + ": " + why;
  });
}

const char* describe(UIWebView::LoadState s) {
  switch (s) {
    case UIWebView::LoadState::none:
      return "none";
    case UIWebView::LoadState::loading:
      return "loading";
    case UIWebView::LoadState::loaded:
      return "loaded";
    case UIWebView::LoadState::failed:
      return "failed";
  }
  return "none";
}

}  // namespace px::platform::uikit
