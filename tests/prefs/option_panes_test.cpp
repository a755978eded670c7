// The option panes' write-through: presence decides, other keys survive,
// one notification per change, and the respring button and alert.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/uikit/ui_bar_button_item.h"
#include "platform/uikit/ui_button.h"
#include "tests/prefs/prefs_fixture.h"

namespace pxtest {
namespace {

using foundation::Dictionary;
using foundation::Value;

constexpr const char* kNote = "com.zelmoraq.PylonexPro2Prefs/updatesettings";

class OptionPanes : public PrefsTest {
 protected:
  std::shared_ptr<preferences::PSSpecifier> row(const std::shared_ptr<preferences::PSListController>& p,
                                                const std::string& key) {
    auto list = specifiers(p);
    for (auto& s : list->items())
      if (s->propertyForKey("key") == Value(key)) return s;
    ADD_FAILURE() << "no row for " << key;
    return nullptr;
  }
  int notifications = 0;
  void observe() {
    foundation::darwin::observe(kNote, [this](std::string_view) { ++notifications; });
  }
};

TEST_F(OptionPanes, EveryEditableRowNamesKeyDefaultAndNotification) {
  for (const char* cls : {"AdvancedOptions", "popUPInfo", "PowerSavingMode"}) {
    auto p = pane(cls);
    auto list = specifiers(p);
    ASSERT_TRUE(list) << cls;
    for (auto& s : list->items()) {
      // Groups and buttons (Clear History) edit nothing.
      if (s->cell() == preferences::CellKind::group || s->cell() == preferences::CellKind::button) continue;
      EXPECT_TRUE(s->propertyForKey("key").string()) << cls << " " << s->name();
      EXPECT_FALSE(s->propertyForKey("default").is_nil()) << cls << " " << s->name();
      EXPECT_EQ(s->propertyForKey("PostNotification"), Value(kNote)) << cls << " " << s->name();
    }
  }
}

TEST_F(OptionPanes, NoFileShowsDefaultsAndFirstChangeWritesOneKey) {
  auto p = pane("PowerSavingMode");
  auto wifi = row(p, "wifiPSM");
  EXPECT_EQ(wifi->performGetter(), Value(true));
  EXPECT_EQ(row(p, "percentagePSM")->performGetter(), Value(1.0));
  wifi->performSetter(Value(false));
  EXPECT_EQ(settings(), Value(Dictionary{{"wifiPSM", false}}));
}

TEST_F(OptionPanes, PresenceNotTruthDecidesTheShownValue) {
  auto p = pane("AdvancedOptions");
  write_settings(Value(Dictionary{{"debugMode", false}, {"timemode", 0}}));
  EXPECT_EQ(row(p, "debugMode")->performGetter(), Value(false));
  EXPECT_EQ(row(p, "timemode")->performGetter(), Value(0));
  EXPECT_EQ(row(p, "statusbarMah")->performGetter(), Value(true));  // absent: the row's default
}

TEST_F(OptionPanes, ChangeKeepsUnrelatedKeysAndPostsOnce) {
  observe();
  write_settings(Value(Dictionary{{"Fahrenheit", true}, {"enablePSM", false}, {"somethingElse", "kept"}}));
  auto p = pane("popUPInfo");
  row(p, "serialPOP")->performSetter(Value(false));
  foundation::darwin::deliver_pending();
  EXPECT_EQ(notifications, 1);
  EXPECT_EQ(settings(), Value(Dictionary{{"Fahrenheit", true}, {"enablePSM", false}, {"somethingElse", "kept"},
                                         {"serialPOP", false}}));
  row(p, "serialPOP")->performSetter(Value(true));
  foundation::darwin::deliver_pending();
  EXPECT_EQ(notifications, 2);
}

TEST_F(OptionPanes, UnreadableFileStartsOverFromTheChangedKey) {
  device.write_text("/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist", "not a property list");
  auto p = pane("AdvancedOptions");
  EXPECT_EQ(row(p, "Fahrenheit")->performGetter(), Value(false));
  row(p, "Fahrenheit")->performSetter(Value(true));
  EXPECT_EQ(settings(), Value(Dictionary{{"Fahrenheit", true}}));
}

TEST_F(OptionPanes, RespringButtonReinstalledOnEveryRequestFiresOnTouchDown) {
  auto p = pane("AdvancedOptions");
  auto first = specifiers(p);
  auto item1 = p->navigationItem()->rightBarButtonItem();
  EXPECT_EQ(specifiers(p), first);
  auto item2 = p->navigationItem()->rightBarButtonItem();
  ASSERT_TRUE(item1 && item2);
  EXPECT_NE(item1, item2);
  auto button = std::dynamic_pointer_cast<uikit::UIButton>(item2->customView());
  ASSERT_TRUE(button);
  EXPECT_EQ(button->frame(), (uikit::CGRect{0, 0, 22, 22}));
  EXPECT_TRUE(button->showsTouchWhenHighlighted());
  ASSERT_TRUE(button->backgroundImageForState(uikit::UIControlStateNormal));
  EXPECT_EQ(button->backgroundImageForState(uikit::UIControlStateNormal)->file_name(), "Respring.png");
  button->sendActionsForControlEvents(uikit::UIControlEventTouchUpInside);
  EXPECT_TRUE(uikit::AlertPresenter::shared().visible().empty());
  button->sendActionsForControlEvents(uikit::UIControlEventTouchDown);
  ASSERT_EQ(uikit::AlertPresenter::shared().visible().size(), 1u);
  auto alert = uikit::AlertPresenter::shared().visible()[0];
  EXPECT_EQ(alert->title(), "PylonexPro2");
  EXPECT_EQ(alert->message(), "To apply the current settings you need to respring your device, are you sure?");
  EXPECT_EQ(alert->buttons(), (std::vector<std::string>{"Continue", "Close"}));
}

// A stand-in SpringBoard: a child process of this device that waits to be killed.
pid_t start_fake_springboard(const testing_support::TempDevice& device) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::setenv("SIMDEVICE_ROOT", device.root().c_str(), 1);
    ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::ofstream(device.path("/var/run/SpringBoard.pid")) << pid << "\n";
  return pid;
}

bool killed_by_sigkill(pid_t pid) {
  int status = 0;
  return ::waitpid(pid, &status, 0) == pid && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

TEST_F(OptionPanes, ContinueKillsThisDevicesSpringBoardAndCloseDoesNothing) {
  pid_t sb = start_fake_springboard(device);
  // Give the child time to exec, so its environment is the one it was given.
  for (int i = 0; i < 200; ++i) {
    std::ifstream env("/proc/" + std::to_string(sb) + "/cmdline");
    std::string cmd;
    std::getline(env, cmd);
    if (cmd.rfind("sleep", 0) == 0 || cmd.rfind("/bin/sleep", 0) == 0) break;
    ::usleep(10000);
  }
  auto p = pane("AdvancedOptions");
  objc::msg_send<void>(objc::id(p), objc::sel("Respring:"), objc::id());
  uikit::AlertPresenter::shared().press(-1, 1);  // Close
  EXPECT_EQ(::waitpid(sb, nullptr, WNOHANG), 0);
  objc::msg_send<void>(objc::id(p), objc::sel("Respring:"), objc::id());
  uikit::AlertPresenter::shared().press(-1, 0);  // Continue
  EXPECT_TRUE(killed_by_sigkill(sb));
}

TEST_F(OptionPanes, RestartSignalsNothingOutsideTheDevice) {
  // A recorded id whose process is not this device's is left alone.
  pid_t stranger = ::fork();
  if (stranger == 0) {
    ::unsetenv("SIMDEVICE_ROOT");
    ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::ofstream(device.path("/var/run/SpringBoard.pid")) << stranger << "\n";
  auto p = pane("AdvancedOptions");
  objc::msg_send<void>(objc::id(p), objc::sel("alertView:didDismissWithButtonIndex:"), objc::id(), 0L);
  EXPECT_EQ(::waitpid(stranger, nullptr, WNOHANG), 0);
  ::kill(stranger, SIGKILL);
  ::waitpid(stranger, nullptr, 0);
}

}  // namespace
}  // namespace pxtest
