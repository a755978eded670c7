#include "platform/uikit/ui_image_view.h"

namespace px::platform::uikit {

objc::Class UIImageView::runtime_class() { return objc::native_class("UIImageView", UIView::runtime_class()); }

std::shared_ptr<UIImageView> UIImageView::initWithImage(std::shared_ptr<UIImage> image) {
  auto v = objc::make_native<UIImageView>();
  if (image) v->setFrame(CGRect{0, 0, image->width(), image->height()});
  v->m_image = std::move(image);
  return v;
}

std::string UIImageView::summary() const { return m_image ? "UIImageView " + m_image->file_name() : "UIImageView"; }

}  // namespace px::platform::uikit
