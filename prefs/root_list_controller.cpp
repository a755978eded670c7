// PylonexPro2PrefsListController: the root pane. It clears the text title,
// fades the logo in as the title view shortly after the list is requested,
// puts the like button at the right of the bar, and opens the developer's
// profile in the first social client installed.

#include "platform/foundation/run_loop.h"
#include "platform/social/sl_compose_view_controller.h"
#include "platform/uikit/animations.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_image_view.h"
#include "prefs/bundle_paths.h"
#include "prefs/pane_support.h"
#include "prefs/panes.h"

namespace px::prefs {
namespace {

constexpr std::int64_t kFadeInDelayNs = 300000011;

void fade_in_logo(const Pane& pane) {
  auto logo =
      platform::uikit::UIImageView::initWithImage(platform::uikit::UIImage::imageWithContentsOfFile(kLogoImage));
  logo->setAlpha(0.0);
  auto& animations = platform::uikit::Animations::shared();
  animations.beginAnimations("fade in", nullptr);
  animations.setAnimationDuration(1.2);
  logo->setAlpha(1.0);
  animations.commitAnimations();
  pane->navigationItem()->setTitleView(logo);
}

platform::objc::id root_specifiers(const platform::objc::id& self) {
  Pane pane = as_pane(self);
  if (!pane) return nullptr;
  pane->setTitle(std::nullopt);
  // The scheduled work keeps the pane alive until it has run.
  platform::foundation::dispatch_after_ns(kFadeInDelayNs, [pane] { fade_in_logo(pane); });
  install_bar_button(pane, kLoveImage, "LikeThis:");
  return load_specifiers_once(self, "PylonexPro2Prefs");
}

void twitter(const Pane&) {
  auto app = platform::uikit::UIApplication::sharedApplication();
  static const char* chain[][2] = {
      {"tweetbot:", "tweetbot://user_profile/zelmoraq"},
      {"tweetings:", "tweetings:///user?screen_name=zelmoraq"},
      {"twitter:", "twitter://user?screen_name=zelmoraq"},
  };
  for (auto& step : chain)
    if (app->canOpenURL(step[0])) {
      app->openURL(step[1]);
      return;
    }
  app->openURL("http://" + config_value("PXSocialWebHost") + "/zelmoraq");
}

void like_this(const Pane& pane) {
  using platform::social::SLComposeViewController;
  if (!SLComposeViewController::isAvailableForServiceType(platform::social::SLServiceTypeTwitter)) return;
  auto sheet = SLComposeViewController::composeViewControllerForServiceType(platform::social::SLServiceTypeTwitter);
  if (!sheet) return;
  sheet->setInitialText("I'm Loving #PylonexPro2 by @zelmoraq, check it out on Cydia Store!");
  pane->presentViewController(sheet, true, nullptr);
  sheet->mark_presented();
}

}  // namespace

void register_PylonexPro2PrefsListController() {
  platform::objc::Class cls = define_pane("PylonexPro2PrefsListController");
  // Rebuilds the list and nothing more: the superclass's viewWillAppear: is not called.
  platform::objc::class_addMethod<void, bool>(
      cls, platform::objc::sel("viewWillAppear:"),
      platform::objc::Imp<void, bool>([](platform::objc::id self, platform::objc::SEL, bool) {
        platform::objc::msg_send<void>(self, platform::objc::sel("reload"));
      }));
  add_specifiers(cls, root_specifiers);
  add_action(cls, "Twitter:", twitter);
  add_action(cls, "LikeThis:", like_this);
}

}  // namespace px::prefs
