// The root pane and its header: once-only loading with a fresh like button
// and fade-in per request, the profile link chain, the share sheet.

#include <filesystem>

#include "platform/preferences/preferences_table_custom_view.h"
#include "platform/preferences/ps_table_cell.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/social/sl_compose_view_controller.h"
#include "platform/uikit/ui_application.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_image_view.h"
#include "platform/uikit/ui_label.h"
#include "tests/prefs/prefs_fixture.h"

namespace px::prefs {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;

class RootPane : public PrefsTest {
 protected:
  void install_app(const std::string& name, const std::string& scheme) {
    std::filesystem::create_directories(device.path("/Applications/" + name + ".app"));
    platform::foundation::writeToFile(
        Value(Dictionary{{"CFBundleURLTypes",
                          Value(platform::foundation::Array{Value(
                              Dictionary{{"CFBundleURLSchemes", Value(platform::foundation::Array{scheme})}})})}}),
        platform::sim::DevicePath("/Applications/" + name + ".app/Info.plist"));
  }
  std::string twitter() {
    auto p = pane("PylonexPro2PrefsListController");
    platform::objc::msg_send<void>(platform::objc::id(p), platform::objc::sel("Twitter:"), platform::objc::id());
    auto& opened = platform::uikit::UIApplication::sharedApplication()->opened_urls();
    return opened.empty() ? "" : opened.back();
  }
};

TEST_F(RootPane, SpecifiersLoadOnceButEveryCallSchedulesFadeInAndNewLikeButton) {
  auto p = pane("PylonexPro2PrefsListController");
  auto first = specifiers(p);
  ASSERT_TRUE(first);
  EXPECT_FALSE(p->title().has_value());
  auto like1 = p->navigationItem()->rightBarButtonItem();
  std::filesystem::remove(device.path("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/PylonexPro2Prefs.plist"));
  EXPECT_EQ(specifiers(p), first);
  auto like2 = p->navigationItem()->rightBarButtonItem();
  EXPECT_NE(like1, like2);

  clock->advance_ns(300000010);
  platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_FALSE(p->navigationItem()->titleView());
  clock->advance_ns(1);
  platform::foundation::RunLoop::main().run_until_idle();
  auto logo = std::dynamic_pointer_cast<platform::uikit::UIImageView>(p->navigationItem()->titleView());
  ASSERT_TRUE(logo);
  ASSERT_TRUE(logo->image());
  EXPECT_EQ(logo->image()->file_name(), "PylonexPro2min.png");
  EXPECT_EQ(logo->alpha(), 1.0);
  auto& done = platform::uikit::Animations::shared().committed();
  ASSERT_EQ(done.size(), 2u);
  EXPECT_EQ(done[0].name, "fade in");
  EXPECT_EQ(done[0].duration, 1.2);
  ASSERT_EQ(done[0].changes.size(), 1u);
  EXPECT_EQ(done[0].changes[0].property, "alpha");
  EXPECT_EQ(done[0].changes[0].from, 0.0);
  EXPECT_EQ(done[0].changes[0].to, 1.0);
}

TEST_F(RootPane, FadeInKeepsALeftPaneAlive) {
  std::weak_ptr<platform::preferences::PSListController> weak;
  {
    auto p = pane("PylonexPro2PrefsListController");
    specifiers(p);
    weak = p;
  }
  EXPECT_FALSE(weak.expired());
  clock->advance_ns(300000011);
  platform::foundation::RunLoop::main().run_until_idle();
  EXPECT_TRUE(weak.expired());
}

TEST_F(RootPane, ViewWillAppearReloadsWithoutTheSuperclass) {
  auto p = pane("PylonexPro2PrefsListController");
  unsigned before = p->reload_count();
  platform::objc::msg_send<void>(platform::objc::id(p), platform::objc::sel("viewWillAppear:"), true);
  EXPECT_EQ(p->reload_count(), before + 1);
}

TEST_F(RootPane, ListReferencesEveryPaneTheHeaderAndTwitter) {
  auto list = specifiers(pane("PylonexPro2PrefsListController"));
  ASSERT_TRUE(list);
  std::set<std::string> details;
  bool header = false, twitter_row = false;
  for (auto& s : list->items()) {
    details.insert(s->detailControllerClass());
    header |= s->propertyForKey("headerCellClass") == Value("PylonexPro2TitleCell");
    twitter_row |= s->action() == platform::objc::sel("Twitter:");
  }
  for (const char* d : {"BatteryData", "CableInfo", "AdvancedOptions", "popUPInfo", "PowerSavingMode", "DataSharing"})
    EXPECT_TRUE(details.count(d)) << d;
  EXPECT_TRUE(header);
  EXPECT_TRUE(twitter_row);
}

TEST_F(RootPane, TwitterOpensTheFirstClientInChainOrder) {
  EXPECT_EQ(twitter(), "http://twitter.com/zelmoraq");
  install_app("Twitter", "twitter");
  EXPECT_EQ(twitter(), "twitter://user?screen_name=zelmoraq");
  install_app("Tweetbot", "tweetbot");
  EXPECT_EQ(twitter(), "tweetbot://user_profile/zelmoraq");
  platform::foundation::writeToFile(
      Value(Dictionary{{"PXSocialWebHost", "127.0.0.1:9"}}),
      platform::sim::DevicePath("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist"));
  std::filesystem::remove_all(device.path("/Applications"));
  EXPECT_EQ(twitter(), "http://127.0.0.1:9/zelmoraq");
}

TEST_F(RootPane, LikeButtonPresentsShareSheetOnlyWhenAvailable) {
  auto p = pane("PylonexPro2PrefsListController");
  specifiers(p);
  auto button =
      std::dynamic_pointer_cast<platform::uikit::UIButton>(p->navigationItem()->rightBarButtonItem()->customView());
  ASSERT_TRUE(button);
  EXPECT_EQ(button->registered_events(), platform::uikit::UIControlEventTouchDown);
  button->tap();
  EXPECT_FALSE(p->presentedViewController());
  platform::sim::set_hardware_value("social", Value(Dictionary{{platform::social::SLServiceTypeTwitter, true}}));
  button->sendActionsForControlEvents(platform::uikit::UIControlEventTouchDown);
  auto sheet = std::dynamic_pointer_cast<platform::social::SLComposeViewController>(p->presentedViewController());
  ASSERT_TRUE(sheet);
  EXPECT_EQ(sheet->initialText(), "I'm Loving #PylonexPro2 by @zelmoraq, check it out on Cydia Store!");
}

TEST_F(RootPane, HeaderCellLabelsAreScreenWideIntegersAboveAndBelow) {
  platform::uikit::UIScreen::mainScreen()->set_bounds_for_testing({0, 0, 320.7, 568});
  platform::objc::id cell =
      platform::preferences::makeCustomView(platform::objc::objc_getClass("PylonexPro2TitleCell"), nullptr);
  platform::uikit::UIScreen::mainScreen()->set_bounds_for_testing({0, 0, 320, 568});
  auto view = std::dynamic_pointer_cast<platform::preferences::PSTableCell>(cell);
  ASSERT_TRUE(view);
  EXPECT_EQ(view->reuseIdentifier(), "Cell");
  ASSERT_EQ(view->subviews().size(), 2u);
  auto title = std::dynamic_pointer_cast<platform::uikit::UILabel>(view->subviews()[0]);
  auto subtitle = std::dynamic_pointer_cast<platform::uikit::UILabel>(view->subviews()[1]);
  ASSERT_TRUE(title && subtitle);
  EXPECT_EQ(title->text(), "PylonexPro 2");
  EXPECT_EQ(title->frame(), (platform::uikit::CGRect{0, -30, 320, 60}));
  EXPECT_EQ(subtitle->frame(), (platform::uikit::CGRect{0, 5, 320, 60}));
  EXPECT_EQ(title->font()->fontName(), "AppleSDGothicNeo-Thin");
  EXPECT_EQ(title->font()->pointSize(), 48);
  EXPECT_EQ(subtitle->font()->fontName(), "HelveticaNeue-UltraLight");
  EXPECT_EQ(subtitle->textAlignment(), platform::uikit::NSTextAlignmentCenter);
  EXPECT_EQ(platform::objc::object_getIvar<platform::objc::id>(
                cell, platform::objc::class_getInstanceVariable(platform::objc::object_getClass(cell), "tweakTitle")),
            platform::objc::id(title));

  platform::preferences::PSTableCell::set_fail_init_for_testing(true);
  EXPECT_FALSE(platform::preferences::makeCustomView(platform::objc::objc_getClass("PylonexPro2TitleCell"), nullptr));
  platform::preferences::PSTableCell::set_fail_init_for_testing(false);
}

}  // namespace
}  // namespace px::prefs
