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

using foundation::Array;
using foundation::Dictionary;
using foundation::Value;
using preferences::CellKind;

class Framework : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(device.path("/Library/PreferenceBundles/T.bundle"));
    pane_class = objc::objc_allocateClassPair(preferences::PSListController::runtime_class(), "TestPane");
    objc::class_addMethod<Value, objc::id>(pane_class, objc::sel("readPreferenceValue:"),
                                           objc::Imp<Value, objc::id>([this](objc::id, objc::SEL, objc::id) {
                                             ++reads;
                                             return Value(42);
                                           }));
    objc::class_addMethod<void, Value, objc::id>(
        pane_class, objc::sel("setPreferenceValue:specifier:"),
        objc::Imp<void, Value, objc::id>([this](objc::id, objc::SEL, Value v, objc::id) { written.push_back(v); }));
    objc::class_addMethod<Value, objc::id>(
        pane_class, objc::sel("Own:"),
        objc::Imp<Value, objc::id>([](objc::id, objc::SEL, objc::id) { return Value("own"); }));
    objc::class_addMethod<void, objc::id>(
        pane_class, objc::sel("Act:"),
        objc::Imp<void, objc::id>([this](objc::id, objc::SEL, objc::id sender) { last_sender = sender; }));
    objc::objc_registerClassPair(pane_class);
    pane = preferences::PSListController::make_for(pane_class);
    pane->set_bundle_path("/Library/PreferenceBundles/T.bundle");
  }
  void write_list(const Value& list) {
    foundation::writeToFile(list, sim::DevicePath("/Library/PreferenceBundles/T.bundle/L.plist"));
  }

  testing_support::TempDevice device;
  objc::Class pane_class = nullptr;
  std::shared_ptr<preferences::PSListController> pane;
  int reads = 0;
  std::vector<Value> written;
  objc::id last_sender;
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
    EXPECT_STREQ(preferences::cell_kind_short_name(list->items()[i]->cell()), kinds[i]);
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
  EXPECT_EQ(last_sender, objc::id(list->items()[10]));
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
  auto other = preferences::PSListController::make_for(pane_class);
  auto list = pane->loadSpecifiersFromPlistName("L", other);
  std::weak_ptr<preferences::PSListController> weak = other;
  other.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(list->items()[0]->performGetter().is_nil());
}

TEST_F(Framework, ButtonSendsOnlyForItsEventMask) {
  auto button = uikit::UIButton::initWithFrame({0, 0, 22, 22});
  button->addTarget(pane, objc::sel("Act:"), uikit::UIControlEventTouchDown);
  EXPECT_EQ(button->sendActionsForControlEvents(uikit::UIControlEventTouchUpInside), 0);
  EXPECT_FALSE(last_sender);
  EXPECT_EQ(button->sendActionsForControlEvents(uikit::UIControlEventTouchDown), 1);
  EXPECT_EQ(last_sender, objc::id(button));
  EXPECT_EQ(button->tap(), 1);
}

TEST_F(Framework, AnimationsRecordOnlyChangesInsideTheOutermostBlock) {
  auto& a = uikit::Animations::shared();
  a.reset_for_testing();
  auto view = uikit::UIView::make();
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
  EXPECT_FALSE(uikit::UIImage::imageWithContentsOfFile("/missing.png"));
  device.write_text("/fake.png", "GIF89a this is not a png at all");
  EXPECT_FALSE(uikit::UIImage::imageWithContentsOfFile("/fake.png"));
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\0\x2c\0\0\0\x16", 24);
  device.write_text("/ok.png", png);
  auto image = uikit::UIImage::imageWithContentsOfFile("/ok.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width(), 44);
  EXPECT_EQ(image->height(), 22);
  EXPECT_EQ(image->file_name(), "ok.png");
}

TEST_F(Framework, ShareSheetNeedsTheDeviceToOfferTheService) {
  using social::SLComposeViewController;
  EXPECT_FALSE(SLComposeViewController::isAvailableForServiceType(social::SLServiceTypeTwitter));
  EXPECT_FALSE(SLComposeViewController::composeViewControllerForServiceType(social::SLServiceTypeTwitter));
  sim::set_hardware_value("social", Value(Dictionary{{social::SLServiceTypeTwitter, true}}));
  auto sheet = SLComposeViewController::composeViewControllerForServiceType(social::SLServiceTypeTwitter);
  ASSERT_TRUE(sheet);
  EXPECT_TRUE(sheet->setInitialText("hi"));
  sheet->mark_presented();
  EXPECT_FALSE(sheet->setInitialText("changed"));
  EXPECT_EQ(sheet->initialText(), "hi");
}

TEST_F(Framework, ComposeSheetCancelAndPostTakeItDownAndOnlyPostSends) {
  using social::SLComposeViewController;
  using social::SLComposeViewControllerResult;
  sim::set_hardware_value("social", Value(Dictionary{{social::SLServiceTypeTwitter, true}}));
  std::vector<std::string> posted;
  SLComposeViewController::set_post_observer(
      [&](const std::string& service, const std::string& text) { posted.push_back(service + ": " + text); });
  std::vector<SLComposeViewControllerResult> results;
  auto presenter = uikit::UIViewController::make();
  for (bool post : {false, true}) {
    auto sheet = SLComposeViewController::composeViewControllerForServiceType(social::SLServiceTypeTwitter);
    ASSERT_TRUE(sheet);
    EXPECT_EQ(social::service_name(sheet->serviceType()), "Twitter");
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
