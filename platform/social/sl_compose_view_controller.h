#pragma once
// SLComposeViewController: the share sheet of a social service. A service is
// available when the device says an account is set up for it: the hardware
// entry "social" (/var/run/hardware/social.plist, {"Value": {service type:
// bool}}) names it as true. No entry means no account, as on a fresh device.

#include <memory>
#include <string>
#include <string_view>

#include "platform/uikit/ui_view_controller.h"

namespace social {

inline constexpr const char* SLServiceTypeTwitter = "com.apple.social.twitter";

class SLComposeViewController : public uikit::UIViewController {
 public:
  static objc::Class runtime_class();
  static bool isAvailableForServiceType(std::string_view service_type);
  static std::shared_ptr<SLComposeViewController> composeViewControllerForServiceType(std::string_view service_type);

  const std::string& serviceType() const { return m_service; }
  const std::string& initialText() const { return m_text; }
  // False, as on the device, once the sheet has been presented.
  bool setInitialText(std::string text);
  void mark_presented() { m_presented = true; }

 private:
  std::string m_service;
  std::string m_text;
  bool m_presented = false;
};

}  // namespace social
