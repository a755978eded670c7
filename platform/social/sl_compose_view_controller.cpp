#include "platform/social/sl_compose_view_controller.h"

#include "platform/sim/hardware/hardware_state.h"

namespace px::platform::social {
namespace {

SLComposeViewController::PostObserver& post_observer() {
  static auto* observer = new SLComposeViewController::PostObserver;
  return *observer;
}

}  // namespace

std::string service_name(std::string_view service_type) {
  if (service_type == SLServiceTypeTwitter) return "Twitter";
  return std::string(service_type);
}

objc::Class SLComposeViewController::runtime_class() {
  return objc::native_class("SLComposeViewController", uikit::UIViewController::runtime_class());
}

bool SLComposeViewController::isAvailableForServiceType(std::string_view service_type) {
  return sim::hardware_value("social")[service_type].boolValue();
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

void SLComposeViewController::cancel() { finish(SLComposeViewControllerResult::cancelled); }

void SLComposeViewController::post() {
  if (post_observer()) post_observer()(m_service, m_text);
  finish(SLComposeViewControllerResult::done);
}

void SLComposeViewController::finish(SLComposeViewControllerResult result) {
  // The handler may drop the last reference to the sheet: keep it until done.
  auto self = std::static_pointer_cast<SLComposeViewController>(shared_from_this());
  dismissViewControllerAnimated(true);
  if (m_completion) m_completion(result);
}

void SLComposeViewController::set_post_observer(PostObserver observer) { post_observer() = std::move(observer); }

}  // namespace px::platform::social
