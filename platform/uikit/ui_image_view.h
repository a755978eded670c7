#pragma once
// UIImageView: a view showing one image (or none); its frame starts at the
// image's size, as initWithImage: does.

#include <memory>

#include "platform/uikit/ui_image.h"
#include "platform/uikit/ui_view.h"

namespace px::platform::uikit {

class UIImageView : public UIView {
 public:
  static objc::Class runtime_class();
  static std::shared_ptr<UIImageView> initWithImage(std::shared_ptr<UIImage> image);

  std::shared_ptr<UIImage> image() const { return m_image; }
  void setImage(std::shared_ptr<UIImage> image) { m_image = std::move(image); }
  std::string summary() const override;

 private:
  std::shared_ptr<UIImage> m_image;
};

}  // namespace px::platform::uikit
