// The Preferences framework stand-in and the views the panes use: specifier
// lists of every cell kind, preference routing, loading failures, buttons,
// animations, images, the share sheet's availability.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/foundation/property_list_files.h"
#include "platform/preferences/ps_list_controller.h"
#include "platform/sim/hardware/hardware_state.h"
#include "platform/social/sl_compose_view_controller.h"
#include "platform/uikit/animations.h"
#include "platform/uikit/ui_button.h"
#include "platform/uikit/ui_image.h"
#include "tests/support/temp_device.h"

namespace {

using px::platform::foundation::Array;
using px::platform::foundation::Dictionary;
using px::platform::foundation::Value;
using px::platform::preferences::CellKind;

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(device.path("/Library/PreferenceBundles/T.bundle"));
    pane_class = px::platform::objc::objc_allocateClassPair(
        px::platform::preferences::PSListController::runtime_class(), "TestPane");
    px::platform::objc::class_addMethod<Value, px::platform::objc::id>(
        pane_class, px::platform::objc::sel("readPreferenceValue:"),
        px::platform::objc::Imp<Value, px::platform::objc::id>(
            [this](px::platform::objc::id, px::platform::objc::SEL, px::platform::objc::id) {
              ++reads;
              return Value(42);
            }));
    px::platform::objc::class_addMethod<void, Value, px::platform::objc::id>(
        pane_class, px::platform::objc::sel("setPreferenceValue:specifier:"),
        px::platform::objc::Imp<void, Value, px::platform::objc::id>(
            [this](px::platform::objc::id, px::platform::objc::SEL, Value v, px::platform::objc::id) {
              written.push_back(v);
            }));
    px::platform::objc::class_addMethod<Value, px::platform::objc::id>(
        pane_class, px::platform::objc::sel("Own:"),
        px::platform::objc::Imp<Value, px::platform::objc::id>(
            [](px::platform::objc::id, px::platform::objc::SEL, px::platform::objc::id) { return Value("own"); }));
    px::platform::objc::class_addMethod<void, px::platform::objc::id>(
        pane_class, px::platform::objc::sel("Act:"),
        px::platform::objc::Imp<void, px::platform::objc::id>(
            [this](px::platform::objc::id, px::platform::objc::SEL, px::platform::objc::id sender) {
              last_sender = sender;
            }));
    px::platform::objc::objc_registerClassPair(pane_class);
    pane = px::platform::preferences::PSListController::make_for(pane_class);
    pane->set_bundle_path("/Library/PreferenceBundles/T.bundle");
  }
  void write_list(const Value& list) {
    px::platform::foundation::writeToFile(list,
                                          px::platform::sim::DevicePath("/Library/PreferenceBundles/T.bundle/L.plist"));
  }

  px::tests::support::TempDevice device;
  px::platform::objc::Class pane_class = nullptr;
  std::shared_ptr<px::platform::preferences::PSListController> pane;
  int reads = 0;
  std::vector<Value> written;
  px::platform::objc::id last_sender;
};

TEST_F(Framework, EveryCellKindAndTheRoutingOfKeyedRows) {
  const char* cells[] = {"PSGroupCell",      "PSSwitchCell", "PSSliderCell", "PSSegmentCell",   "PSLinkListCell",
                         "PSTitleValueCell", "PSButtonCell", "PSLinkCell",   "PSStaticTextCell"};
  const char* kinds[] = {"group", "switch", "slider", "segment", "list", "value", "button", "link", "text"};
  Array items;
  for (const char* c : cells) items.push_back(Value(Dictionary{{"cell", c}, {"label", c}, {"key", "k"}}));
  items.push_back(Value(Dictionary{{"cell", "PSTitleValueCell"}, {"label", "own"}, {"key", "k"}, {"get", "Own:"}}));
  items.push_back(Value(Dictionary{{"cell", "PSButtonCell"}, {"label", "act"}, {"action", "Act:"}}));
  items.push_back(Value(Dictionary{{"cell", "PSLinkCell"}, {"label", "next"}, {"detail", "Next"}}));
  write_list(Value(Dictionary{{"title", "Listed"}, {"items", Value(items)}}));
  auto list = pane->loadSpecifiersFromPlistName("L", pane);
  ASSERT_TRUE(list);
  ASSERT_EQ(list->count(), 12u);
  for (std::size_t i = 0; i < 9; ++i)
    EXPECT_STREQ(px::platform::preferences::cell_kind_short_name(list->items()[i]->cell()), kinds[i]);
  EXPECT_EQ(pane->title(), std::optional<std::string>("Listed"));

  // Switch, slider, segment, list, value and text rows with a key go through the pane.
  for (std::size_t i : {1u, 2u, 3u, 4u, 5u, 8u}) EXPECT_EQ(list->items()[i]->performGetter(), Value(42)) << i;
  EXPECT_EQ(reads, 6);
  list->items()[1]->performSetter(Value(true));
  EXPECT_EQ(written, std::vector<Value>{Value(true)});
  // Groups, buttons and links are not values.
  for (std::size_t i : {0u, 6u, 7u}) EXPECT_FALSE(list->items()[i]->getter()) << i;
  EXPECT_EQ(list->items()[9]->performGetter(), Value("own"));
  EXPECT_TRUE(list->items()[10]->performAction());
  EXPECT_EQ(last_sender, px::platform::objc::id(list->items()[10]));
  EXPECT_EQ(list->items()[11]->detailControllerClass(), "Next");
}

TEST_F(Framework, UnreadableListsGiveNilAndAClearedTitleStaysCleared) {
  EXPECT_FALSE(pane->loadSpecifiersFromPlistName("L", pane));
  device.write_text("/Library/PreferenceBundles/T.bundle/L.plist", "garbage");
  EXPECT_FALSE(pane->loadSpecifiersFromPlistName("L", pane));
  write_list(Value(Dictionary{{"title", "T"}, {"items", Value(Array{})}}));
  pane->setTitle(std::nullopt);
  ASSERT_TRUE(pane->loadSpecifiersFromPlistName("L", pane));
  EXPECT_FALSE(pane->title());
}

TEST_F(Framework, SpecifiersDoNotKeepTheirTargetAlive) {
  write_list(Value(Dictionary{{"items", Value(Array{Value(Dictionary{{"cell", "PSSwitchCell"}, {"key", "k"}})})}}));
  auto other = px::platform::preferences::PSListController::make_for(pane_class);
  auto list = pane->loadSpecifiersFromPlistName("L", other);
  std::weak_ptr<px::platform::preferences::PSListController> weak = other;
  other.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(list->items()[0]->performGetter().is_nil());
}

TEST_F(Framework, ButtonSendsOnlyForItsEventMask) {
  auto button = px::platform::uikit::UIButton::initWithFrame({0, 0, 22, 22});
  button->addTarget(pane, px::platform::objc::sel("Act:"), px::platform::uikit::UIControlEventTouchDown);
  EXPECT_EQ(button->sendActionsForControlEvents(px::platform::uikit::UIControlEventTouchUpInside), 0);
  EXPECT_FALSE(last_sender);
  EXPECT_EQ(button->sendActionsForControlEvents(px::platform::uikit::UIControlEventTouchDown), 1);
  EXPECT_EQ(last_sender, px::platform::objc::id(button));
  EXPECT_EQ(button->tap(), 1);
}

TEST_F(Framework, AnimationsRecordOnlyChangesInsideTheOutermostBlock) {
  auto& a = px::platform::uikit::Animations::shared();
  a.reset_for_testing();
  auto view = px::platform::uikit::UIView::make();
  view->setAlpha(0.5);
  a.beginAnimations("outer", nullptr);
  a.beginAnimations("inner", nullptr);
  a.setAnimationDuration(2.0);
  view->setAlpha(0.0);
  a.commitAnimations();
  EXPECT_TRUE(a.committed().empty());
  view->setFrame({1, 0, 0, 0});
  a.commitAnimations();
  ASSERT_EQ(a.committed().size(), 1u);
  EXPECT_EQ(a.committed()[0].name, "outer");
  EXPECT_EQ(a.committed()[0].duration, 2.0);
  ASSERT_EQ(a.committed()[0].changes.size(), 2u);
  EXPECT_EQ(a.committed()[0].changes[0].from, 0.5);
  a.commitAnimations();  // unbalanced: ignored
  EXPECT_EQ(a.committed().size(), 1u);
}

TEST_F(Framework, ImagesAreReadOnlyFromPngFiles) {
  EXPECT_FALSE(px::platform::uikit::UIImage::imageWithContentsOfFile("/missing.png"));
  device.write_text("/fake.png", "GIF89a this is not a png at all");
  EXPECT_FALSE(px::platform::uikit::UIImage::imageWithContentsOfFile("/fake.png"));
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x2c\0\0\0\x16", 24);
  device.write_text("/ok.png", png);
  auto image = px::platform::uikit::UIImage::imageWithContentsOfFile("/ok.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 44);
  EXPECT_EQ(image->height(), 22);
  EXPECT_EQ(image->file_name(), "ok.png");
}

TEST_F(Framework, ShareSheetNeedsTheDeviceToOfferTheService) {
  using px::platform::social::SLComposeViewController;
  EXPECT_FALSE(SLComposeViewController::isAvailableForServiceType(px::platform::social::SLServiceTypeTwitter));
  EXPECT_FALSE(
      SLComposeViewController::composeViewControllerForServiceType(px::platform::social::SLServiceTypeTwitter));
  px::platform::sim::set_hardware_value("social",
                                        Value(Dictionary{{px::platform::social::SLServiceTypeTwitter, true}}));
  auto sheet = SLComposeViewController::composeViewControllerForServiceType(px::platform::social::SLServiceTypeTwitter);
  ASSERT_TRUE(sheet);
  EXPECT_TRUE(sheet->setInitialText("hi"));
  sheet->mark_presented();
  EXPECT_FALSE(sheet->setInitialText("changed"));
  EXPECT_EQ(sheet->initialText(), "hi");
}

TEST_F(Framework, ComposeSheetCancelAndPostTakeItDownAndOnlyPostSends) {
  using px::platform::social::SLComposeViewController;
  using px::platform::social::SLComposeViewControllerResult;
  px::platform::sim::set_hardware_value("social",
                                        Value(Dictionary{{px::platform::social::SLServiceTypeTwitter, true}}));
  std::vector<std::string> posted;
  SLComposeViewController::set_post_observer(
      [&](const std::string& service, const std::string& text) { posted.push_back(service + ": " + text); });
  std::vector<SLComposeViewControllerResult> results;
  auto presenter = px::platform::uikit::UIViewController::make();
  for (bool post : {false, true}) {
    auto sheet =
        SLComposeViewController::composeViewControllerForServiceType(px::platform::social::SLServiceTypeTwitter);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(px::platform::social::service_name(sheet->serviceType()), "Twitter");
    sheet->setInitialText(post ? "posted" : "kept");
    sheet->setCompletionHandler([&](SLComposeViewControllerResult r) { results.push_back(r); });
    presenter->presentViewController(sheet, true, nullptr);
    EXPECT_EQ(sheet->presentingViewController(), presenter);
    post ? sheet->post() : sheet->cancel();
    EXPECT_FALSE(presenter->presentedViewController());
  }
  SLComposeViewController::set_post_observer(nullptr);
  EXPECT_EQ(posted, std::vector<std::string>{"com.apple.social.twitter: posted"});
  EXPECT_EQ(results, (std::vector{SLComposeViewControllerResult::cancelled, SLComposeViewControllerResult::done}));
}

}  // namespace
