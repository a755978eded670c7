// The option panes' write-through: presence decides, other keys survive,
// one notification per change, and the respring button and alert.

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/sim/device_clock.h"
#include "platform/uikit/ui_bar_button_item.h"
#include "platform/uikit/ui_button.h"
#include "shared/settings_schema.h"
#include "tests/prefs/prefs_fixture.h"

namespace px::prefs {
namespace {

using platform::foundation::Dictionary;
using platform::foundation::Value;

constexpr const char* kNote = "com.zelmoraq.PylonexPro2Prefs/updatesettings";

class OptionPanes : public PrefsTest {
 protected:
  std::shared_ptr<platform::preferences::PSSpecifier> row(
      const std::shared_ptr<platform::preferences::PSListController>& p, const std::string& key) {
    auto list = specifiers(p);
    for (auto& s : list->items())
      if (s->propertyForKey("key") == Value(key)) return s;
    ADD_FAILURE() << "no row for " << key;
    return nullptr;
  }
  int notifications = 0;
  void observe() {
    platform::foundation::darwin::observe(kNote, [this](std::string_view) { ++notifications; });
  }
};

TEST_F(OptionPanes, EveryEditableRowNamesKeyDefaultAndNotification) {
  for (const char* cls : {"AdvancedOptions", "popUPInfo", "PowerSavingMode"}) {
    auto p = pane(cls);
    auto list = specifiers(p);
    ASSERT_TRUE(list) << cls;
    for (auto& s : list->items()) {
      // Groups and buttons (Clear History) edit nothing.
      if (s->cell() == platform::preferences::CellKind::group || s->cell() == platform::preferences::CellKind::button)
        continue;
      EXPECT_TRUE(s->propertyForKey("key").string()) << cls << " " << s->name();
      EXPECT_FALSE(s->propertyForKey("default").is_nil()) << cls << " " << s->name();
      EXPECT_EQ(s->propertyForKey("PostNotification"), Value(kNote)) << cls << " " << s->name();
    }
  }
}

TEST_F(OptionPanes, EverySettingOfTheSchemaHasOneRowInItsPaneWithItsDefault) {
  std::map<std::string, std::string> pane_of_row;
  for (const char* cls : {"AdvancedOptions", "popUPInfo", "PowerSavingMode"}) {
    auto p = pane(cls);
    auto list = specifiers(p);
    for (auto& s : list->items()) {
      Value key = s->propertyForKey("key");
      if (key.string()) {
        EXPECT_TRUE(pane_of_row.emplace(*key.string(), cls).second) << *key.string();
      }
    }
  }
  EXPECT_EQ(pane_of_row.size(), shared::kSettingsSchema.size());
  for (const shared::Setting* setting : shared::kSettingsSchema) {
    std::string key(setting->key);
    ASSERT_EQ(pane_of_row[key], setting->pane) << key;
    auto p = pane(pane_of_row[key].c_str());
    Value shown_default = row(p, key)->propertyForKey("default");
    switch (setting->type) {
      case shared::SettingType::boolean:
        EXPECT_EQ(shown_default, Value(setting->absent != 0)) << key;
        break;
      case shared::SettingType::integer:
        EXPECT_EQ(shown_default, Value(static_cast<int>(setting->absent))) << key;
        break;
      case shared::SettingType::real:
        EXPECT_EQ(shown_default, Value(setting->absent)) << key;
        break;
    }
    EXPECT_EQ(shown_default.kind(), Value(setting->type == shared::SettingType::boolean ? Value(true)
                                          : setting->type == shared::SettingType::real  ? Value(1.0)
                                                                                        : Value(1))
                                        .kind())
        << key;
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
  platform::foundation::darwin::deliver_pending();
  EXPECT_EQ(notifications, 1);
  EXPECT_EQ(
      settings(),
      Value(Dictionary{{"Fahrenheit", true}, {"enablePSM", false}, {"somethingElse", "kept"}, {"serialPOP", false}}));
  row(p, "serialPOP")->performSetter(Value(true));
  platform::foundation::darwin::deliver_pending();
  EXPECT_EQ(notifications, 2);
}

// A settings file that is there but cannot be read as a dictionary: the change
// starts a new file from the changed key alone, and the old file is kept aside.
class UnreadableSettingsFile : public OptionPanes {
 protected:
  static constexpr const char* kFile = "/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist";
  static constexpr double k2015March7At2105Utc = 1425762300;
  static constexpr const char* kAside =
      "/User/Library/Preferences/com.zelmoraq.PylonexPro2Prefs.plist.unreadable-20150307T210500Z";

  void SetUp() override {
    OptionPanes::SetUp();
    observe();
  }
  void change_fahrenheit() {
    platform::sim::set_device_now(k2015March7At2105Utc);
    row(pane("AdvancedOptions"), "Fahrenheit")->performSetter(Value(true));
    platform::foundation::darwin::deliver_pending();
  }
  std::vector<std::string> aside_log_lines() {
    std::vector<std::string> lines;
    std::istringstream log(device.read_text("/var/log/syslog"));
    for (std::string line; std::getline(log, line);)
      if (line.find("kept aside") != std::string::npos) lines.push_back(line.substr(line.find("<Notice>: ") + 10));
    return lines;
  }
  void expect_new_file_and_one_notification() {
    EXPECT_EQ(settings(), Value(Dictionary{{"Fahrenheit", true}}));
    EXPECT_EQ(notifications, 1);
  }
};

TEST_F(UnreadableSettingsFile, DamagedContentIsKeptAsItWas) {
  for (std::string content : {std::string("not a property list"),
                              std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key>"),
                              std::string("<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>")}) {
    SCOPED_TRACE(content);
    std::filesystem::remove(device.path(kAside));
    notifications = 0;
    device.write_text(kFile, content);
    change_fahrenheit();
    expect_new_file_and_one_notification();
    EXPECT_EQ(device.read_text(kAside), content);
  }
  EXPECT_EQ(aside_log_lines().size(), 3u);
  EXPECT_EQ(aside_log_lines()[0], std::string(kFile) + " is unreadable: kept aside as " + kAside);
}

TEST_F(UnreadableSettingsFile, FolderFifoAndLinksMoveAsTheyAreNeverFollowed) {
  std::string file = device.path(kFile);
  std::filesystem::create_directory(file);
  change_fahrenheit();
  expect_new_file_and_one_notification();
  EXPECT_TRUE(std::filesystem::is_directory(device.path(kAside)));

  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
  notifications = 0;
  change_fahrenheit();
  expect_new_file_and_one_notification();
  EXPECT_TRUE(std::filesystem::is_fifo(std::filesystem::symlink_status(device.path(kAside) + "-2")));

  // A link to something that is not a dictionary: the link moves, its target stays.
  device.write_text("/User/Library/target.txt", "target");
  std::filesystem::remove(file);
  std::filesystem::create_symlink("../target.txt", file);
  notifications = 0;
  change_fahrenheit();
  expect_new_file_and_one_notification();
  EXPECT_TRUE(std::filesystem::is_symlink(device.path(kAside) + "-3"));
  EXPECT_EQ(device.read_text("/User/Library/target.txt"), "target");

  // A link to nothing is still something there.
  std::filesystem::remove(file);
  std::filesystem::create_symlink("missing.plist", file);
  notifications = 0;
  change_fahrenheit();
  expect_new_file_and_one_notification();
  EXPECT_TRUE(std::filesystem::is_symlink(device.path(kAside) + "-4"));
  EXPECT_EQ(aside_log_lines().size(), 4u);
}

TEST_F(UnreadableSettingsFile, AbsentOrReadableFileMovesNothing) {
  change_fahrenheit();
  expect_new_file_and_one_notification();
  change_fahrenheit();
  EXPECT_EQ(notifications, 2);
  EXPECT_FALSE(std::filesystem::exists(device.path(kAside)));
  EXPECT_TRUE(aside_log_lines().empty());
}

TEST_F(OptionPanes, RespringButtonReinstalledOnEveryRequestFiresOnTouchDown) {
  auto p = pane("AdvancedOptions");
  auto first = specifiers(p);
  auto item1 = p->navigationItem()->rightBarButtonItem();
  EXPECT_EQ(specifiers(p), first);
  auto item2 = p->navigationItem()->rightBarButtonItem();
  ASSERT_TRUE(item1 && item2);
  EXPECT_NE(item1, item2);
  auto button = std::dynamic_pointer_cast<platform::uikit::UIButton>(item2->customView());
  ASSERT_TRUE(button);
  EXPECT_EQ(button->frame(), (platform::uikit::CGRect{0, 0, 22, 22}));
  EXPECT_TRUE(button->showsTouchWhenHighlighted());
  ASSERT_TRUE(button->backgroundImageForState(platform::uikit::UIControlStateNormal));
  EXPECT_EQ(button->backgroundImageForState(platform::uikit::UIControlStateNormal)->file_name(), "Respring.png");
  button->sendActionsForControlEvents(platform::uikit::UIControlEventTouchUpInside);
  EXPECT_TRUE(platform::uikit::AlertPresenter::shared().visible().empty());
  button->sendActionsForControlEvents(platform::uikit::UIControlEventTouchDown);
  ASSERT_EQ(platform::uikit::AlertPresenter::shared().visible().size(), 1u);
  auto alert = platform::uikit::AlertPresenter::shared().visible()[0];
  EXPECT_EQ(alert->title(), "PylonexPro2");
  EXPECT_EQ(alert->message(), "To apply the current settings you need to respring your device, are you sure?");
  EXPECT_EQ(alert->buttons(), (std::vector<std::string>{"Continue", "Close"}));
}

// A stand-in SpringBoard: a child process of this device that waits to be killed.
pid_t start_fake_springboard(const tests::support::TempDevice& device) {
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
  platform::objc::msg_send<void>(platform::objc::id(p), platform::objc::sel("Respring:"), platform::objc::id());
  platform::uikit::AlertPresenter::shared().press(-1, 1);  // Close
  EXPECT_EQ(::waitpid(sb, nullptr, WNOHANG), 0);
  platform::objc::msg_send<void>(platform::objc::id(p), platform::objc::sel("Respring:"), platform::objc::id());
  platform::uikit::AlertPresenter::shared().press(-1, 0);  // Continue
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
  platform::objc::msg_send<void>(platform::objc::id(p), platform::objc::sel("alertView:didDismissWithButtonIndex:"),
                                 platform::objc::id(), 0L);
  EXPECT_EQ(::waitpid(stranger, nullptr, WNOHANG), 0);
  ::kill(stranger, SIGKILL);
  ::waitpid(stranger, nullptr, 0);
}

}  // namespace
}  // namespace px::prefs
