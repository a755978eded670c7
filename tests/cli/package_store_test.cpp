#include "host/cli/package_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/temp_device.h"

namespace px::host::cli {
namespace {

namespace fs = std::filesystem;

class Packages : public ::testing::Test {
 protected:
  void put(const std::string& rel, const std::string& text) {
    fs::create_directories(fs::path(tree + "/" + rel).parent_path());
    std::ofstream(tree + "/" + rel) << text;
  }
  void stage_deliverables() {
    put("Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib", "tweak");
    put("Library/MobileSubstrate/DynamicLibraries/PylonexPro2.plist", "filter");
    put("Library/PreferenceBundles/PylonexPro2Prefs.bundle/PylonexPro2Prefs", "bundle");
    put("Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist", "info");
    put("Library/PreferenceLoader/Preferences/PylonexPro2.plist", "entry");
  }
  tests::support::TempDevice device;
  std::string tree = device.root() + "/../" + fs::path(device.root()).filename().string() + "-stage";
  ~Packages() override { fs::remove_all(tree); }
};

TEST_F(Packages, StagedTreeInstallsRecordsAndRemoves) {
  stage_deliverables();
  auto r = install_tree(tree, "");
  ASSERT_TRUE(r) << r.message();
  EXPECT_EQ(r->package, kDefaultPackage);
  EXPECT_EQ(r->files, 5u);
  EXPECT_EQ(device.read_text("/Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib"), "tweak");
  std::string list = device.read_text(std::string("/var/lib/dpkg/info/") + kDefaultPackage + ".list");
  EXPECT_NE(list.find("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/Info.plist\n"), std::string::npos);
  EXPECT_EQ(installed_packages(), std::vector<std::string>{kDefaultPackage});

  auto removed = remove_package(kDefaultPackage);
  ASSERT_TRUE(removed) << removed.message();
  EXPECT_FALSE(device.exists("/Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib"));
  EXPECT_FALSE(device.exists("/Library/PreferenceBundles/PylonexPro2Prefs.bundle"));
  // The device's own layout stays.
  EXPECT_TRUE(device.exists("/Library/MobileSubstrate/DynamicLibraries"));
  EXPECT_TRUE(device.exists("/Library/PreferenceLoader/Preferences"));
  EXPECT_TRUE(installed_packages().empty());
  EXPECT_FALSE(remove_package(kDefaultPackage));
}

TEST_F(Packages, ReinstallDropsWhatTheNewVersionNoLongerHasAndKeepsOthers) {
  stage_deliverables();
  put("Library/PreferenceBundles/PylonexPro2Prefs.bundle/old.png", "old");
  ASSERT_TRUE(install_tree(tree, ""));
  device.write_text("/Library/MobileSubstrate/DynamicLibraries/Other.dylib", "someone else's");
  fs::remove(tree + "/Library/PreferenceBundles/PylonexPro2Prefs.bundle/old.png");
  put("Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib", "tweak v2");
  ASSERT_TRUE(install_tree(tree, ""));
  EXPECT_FALSE(device.exists("/Library/PreferenceBundles/PylonexPro2Prefs.bundle/old.png"));
  EXPECT_EQ(device.read_text("/Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib"), "tweak v2");
  ASSERT_TRUE(remove_package(kDefaultPackage));
  EXPECT_EQ(device.read_text("/Library/MobileSubstrate/DynamicLibraries/Other.dylib"), "someone else's");
}

TEST_F(Packages, PathsThroughUserLandInTheMobileHome) {
  put("User/Library/seed.txt", "x");
  ASSERT_TRUE(install_tree(tree, "seed-pkg"));
  EXPECT_TRUE(fs::is_symlink(device.root() + "/User"));  // the link is not replaced by a folder
  EXPECT_TRUE(fs::exists(device.root() + "/var/mobile/Library/seed.txt"));
}

TEST_F(Packages, DebBuiltByThePackagingScriptRoundTrips) {
  if (std::system("command -v dpkg-deb >/dev/null 2>&1") != 0) GTEST_SKIP() << "dpkg-deb is not installed";
  stage_deliverables();
  std::string out = device.root() + "/tmp";
  std::string cmd =
      std::string("bash ") + PX_BUILD_DEB + " " + tree + " " + PX_CONTROL_FILE + " " + out + " > " + out + "/deb-path";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::string deb = device.read_text("/tmp/deb-path");
  deb.erase(deb.find_last_not_of("\n") + 1);
  ASSERT_TRUE(fs::exists(deb)) << deb;
  // The package carries the device layout and the control fields.
  std::string contents = device.root() + "/tmp/contents";
  std::system(("dpkg-deb -c " + deb + " > " + contents + "; dpkg-deb -f " + deb + " >> " + contents).c_str());
  std::string listing = device.read_text("/tmp/contents");
  EXPECT_NE(listing.find("./Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib"), std::string::npos);
  EXPECT_NE(listing.find("Package: com.zelmoraq.pylonexpro2"), std::string::npos);
  // Labelled with what it holds: this machine's code for the simulated device,
  // no phone's architecture and none of a phone's packages to depend on.
  EXPECT_NE(listing.find(std::string("Architecture: ") + kPackageArchitecture + "\n"), std::string::npos);
  EXPECT_EQ(std::string(kPackageArchitecture).rfind("simdevice-", 0), 0u);
  EXPECT_EQ(listing.find("iphoneos"), std::string::npos);
  EXPECT_EQ(listing.find("Depends:"), std::string::npos);
  EXPECT_NE(deb.find(std::string("_") + kPackageArchitecture + ".deb"), std::string::npos) << deb;

  auto r = install_deb(deb);
  ASSERT_TRUE(r) << r.message();
  EXPECT_EQ(r->package, "com.zelmoraq.pylonexpro2");
  EXPECT_EQ(device.read_text("/Library/PreferenceLoader/Preferences/PylonexPro2.plist"), "entry");
  EXPECT_NE(device.read_text("/var/lib/dpkg/info/com.zelmoraq.pylonexpro2.control").find("Version:"),
            std::string::npos);
  auto removed = remove_package("com.zelmoraq.pylonexpro2");
  ASSERT_TRUE(removed) << removed.message();
  EXPECT_FALSE(device.exists("/Library/PreferenceLoader/Preferences/PylonexPro2.plist"));
}

TEST_F(Packages, RefusesWhatIsNoPackage) {
  EXPECT_FALSE(install_tree(device.root() + "/no-such-tree", ""));
  // A phone's package holds a phone's code: refused, nothing installed.
  stage_deliverables();
  put("DEBIAN/control", "Package: com.zelmoraq.pylonexpro2\nVersion: 1\nArchitecture: iphoneos-arm\n");
  auto phone = install_tree(tree, "");
  ASSERT_FALSE(phone);
  EXPECT_NE(phone.message().find("built for iphoneos-arm"), std::string::npos) << phone.message();
  EXPECT_FALSE(device.exists("/Library/MobileSubstrate/DynamicLibraries/PylonexPro2.dylib"));
  fs::remove_all(tree);
  put("x", "y");
  EXPECT_FALSE(install_tree(tree, "../../etc"));
  auto outside = remove_package("../../etc/passwd");
  ASSERT_FALSE(outside);
  EXPECT_EQ(outside.message(), "package '../../etc/passwd' is not installed");
  device.write_text("/tmp/fake.deb", "not a deb");
  EXPECT_FALSE(install_deb(device.path("/tmp/fake.deb")));
}

TEST(ControlFields, ReadsFieldsByExactName) {
  std::string control = "Package: a.b\nPackage-Type: x\nVersion:  1.0 \n";
  EXPECT_EQ(*control_field(control, "Package"), "a.b");
  EXPECT_EQ(*control_field(control, "Version"), "1.0");
  EXPECT_FALSE(control_field(control, "Depends"));
}

}  // namespace
}  // namespace px::host::cli
