#pragma once
// SLComposeViewController: the compose sheet of a social service. A service is
// available when the device says an account is set up for it: the hardware
// entry "social" (/var/run/hardware/social.plist, {"Value": {service type:
// bool}}) names it as true. No entry means no account, as on a fresh device.
//
// The sheet shows the service's name as its title, the text to post, and two
// buttons: Cancel and Post. Either takes the sheet down from whatever presented
// it, then calls the completion handler with the result; Post first hands the
// text to the device's post observer (the host records what was posted).

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/uikit/ui_view_controller.h"

namespace px::platform::social {

inline constexpr const char* SLServiceTypeTwitter = "com.apple.social.twitter";

enum class SLComposeViewControllerResult { cancelled = 0, done = 1 };

// The name a person knows a service by ("Twitter"); the type itself for a
// service this platform does not know.
std::string service_name(std::string_view service_type);

class SLComposeViewController : public uikit::UIViewController {
 public:
  using CompletionHandler = std::function<void(SLComposeViewControllerResult)>;
  using PostObserver = std::function<void(const std::string& service_type, const std::string& text)>;

  static objc::Class runtime_class();
  static bool isAvailableForServiceType(std::string_view service_type);
  static std::shared_ptr<SLComposeViewController> composeViewControllerForServiceType(std::string_view service_type);

  const std::string& serviceType() const { return m_service; }
  const std::string& initialText() const { return m_text; }
  // False, as on the device, once the sheet has been presented.
  bool setInitialText(std::string text);
  void mark_presented() { m_presented = true; }
  void setCompletionHandler(CompletionHandler handler) { m_completion = std::move(handler); }

  // The sheet's buttons, pressed.
  void cancel();
  void post();

  // Where a posted text goes on this device (one per process).
  static void set_post_observer(PostObserver observer);

 private:
  void finish(SLComposeViewControllerResult result);

  std::string m_service;
  std::string m_text;
  bool m_presented = false;
  CompletionHandler m_completion;
};

}  // namespace px::platform::social
