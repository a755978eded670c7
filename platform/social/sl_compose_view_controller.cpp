#include "platform/social/sl_compose_view_controller.h"

#include "platform/system/hardware_state.h"

namespace social {

objc::Class SLComposeViewController::runtime_class() {
  return objc::native_class("SLComposeViewController", uikit::UIViewController::runtime_class());
}

bool SLComposeViewController::isAvailableForServiceType(std::string_view service_type) {
  return hardware::get("social")[service_type].boolValue();
}

std::shared_ptr<SLComposeViewController> SLComposeViewController::composeViewControllerForServiceType(
    std::string_view service_type) {
  if (!isAvailableForServiceType(service_type)) return nullptr;
  auto sheet = objc::make_native<SLComposeViewController>();
  sheet->m_service = std::string(service_type);
  return sheet;
}

bool SLComposeViewController::setInitialText(std::string text) {
  if (m_presented) return false;
  m_text = std::move(text);
  return true;
}

}  // namespace social
