// Defaults domains: values survive a new process (a new object reading the
// file), storing nothing removes, and the file is a binary property list.
#include "platform/foundation/user_defaults.h"

#include <gtest/gtest.h>

#include "platform/foundation/file_io.h"
#include "platform/foundation/property_list.h"
#include "tests/support/temp_device.h"

using namespace px::platform::foundation;

TEST(UserDefaults, SynchronizeWritesBinaryDomainThatANewProcessReads) {
  px::tests::support::TempDevice device;
  NSUserDefaults sb("com.apple.springboard");
  sb.setObject(Value(1500), "Capacity");
  sb.setBool(true, "HasLaunchedOnce");
  ASSERT_TRUE(sb.synchronize());
  auto bytes = read_whole_file(device.path("/var/mobile/Library/Preferences/com.apple.springboard.plist"), 1 << 20);
  EXPECT_EQ(bytes->substr(0, 8), "bplist00");
  NSUserDefaults again("com.apple.springboard");
  EXPECT_EQ(again.objectForKey("Capacity"), Value(1500));
  EXPECT_TRUE(again.boolForKey("HasLaunchedOnce"));
  EXPECT_EQ(again.stringForKey("Capacity"), Value("1500")) << "numbers read as their decimal text";
}

TEST(UserDefaults, StoringNothingRemovesTheEntry) {
  px::tests::support::TempDevice device;
  NSUserDefaults sb("com.apple.springboard");
  sb.setObject(Value(12), "Watts");
  sb.synchronize();
  sb.setObject(Value(), "Watts");
  sb.synchronize();
  EXPECT_TRUE(NSUserDefaults("com.apple.springboard").objectForKey("Watts").is_nil());
  EXPECT_FALSE(NSUserDefaults("com.apple.springboard").boolForKey("Absent"));
}

TEST(UserDefaults, BrokenDomainFileStartsEmptyAndIsRepaired) {
  px::tests::support::TempDevice device;
  device.write_text("/var/mobile/Library/Preferences/com.apple.Preferences.plist", "not a plist");
  NSUserDefaults prefs("com.apple.Preferences");
  EXPECT_TRUE(prefs.objectForKey("LastSync").is_nil());
  prefs.setObject(Value("03/07/2015 09:05PM"), "LastSync");
  ASSERT_TRUE(prefs.synchronize());
  EXPECT_EQ(NSUserDefaults("com.apple.Preferences").stringForKey("LastSync"), Value("03/07/2015 09:05PM"));
}

TEST(UserDefaults, StandardDefaultsAreOneObjectThatAResetReloadsInPlace) {
  px::tests::support::TempDevice device;
  NSUserDefaults& before = NSUserDefaults::standardUserDefaults();
  before.setObject(Value(1), "Unsaved");
  NSUserDefaults other("com.apple.springboard");
  other.setBool(true, "HasLaunchedOnce");
  ASSERT_TRUE(other.synchronize());

  NSUserDefaults::reset_standard_for_testing();
  NSUserDefaults& after = NSUserDefaults::standardUserDefaults();
  EXPECT_EQ(&after, &before);
  EXPECT_TRUE(after.objectForKey("Unsaved").is_nil()) << "unsaved changes go with the reset";
  EXPECT_TRUE(after.boolForKey("HasLaunchedOnce")) << "the file is read again";

  NSUserDefaults::set_standard_domain("com.apple.Preferences");
  EXPECT_EQ(&NSUserDefaults::standardUserDefaults(), &before);
  EXPECT_EQ(before.domain(), "com.apple.Preferences");
  EXPECT_FALSE(before.boolForKey("HasLaunchedOnce"));
  NSUserDefaults::set_standard_domain("com.apple.springboard");
}
