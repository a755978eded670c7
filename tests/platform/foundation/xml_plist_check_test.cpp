// What the XML check lets through to libplist: nesting counted the way its
// parser recurses, dates it can convert, no NUL, a root element.
#include "platform/foundation/xml_plist_check.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/foundation/property_list.h"

namespace {
using foundation::plist::check_xml_plist;
using foundation::plist::XmlCheck;

constexpr int kDepth = 4;

std::string nested(int levels, const std::string& open = "<array>", const std::string& close = "</array>") {
  std::string xml = "<plist>";
  for (int i = 0; i < levels; ++i) xml += open;
  for (int i = 0; i < levels; ++i) xml += close;
  return xml + "</plist>";
}

std::string date_document(const std::string& date) { return "<plist><array><date>" + date + "</date></array></plist>"; }

TEST(XmlPlistCheck, NestingIsCountedAsTheParserRecurses) {
  EXPECT_EQ(check_xml_plist(nested(kDepth), kDepth), XmlCheck::ok);
  EXPECT_EQ(check_xml_plist(nested(kDepth + 1), kDepth), XmlCheck::too_deep);
  EXPECT_EQ(check_xml_plist(nested(kDepth + 1, "<dict >", "</dict>"), kDepth), XmlCheck::too_deep);
  // Siblings do not add up; empty elements open nothing.
  std::string siblings = "<plist><array>";
  for (int i = 0; i < 3 * kDepth; ++i) siblings += "<array></array><dict/><array/>";
  EXPECT_EQ(check_xml_plist(siblings + "</array></plist>", kDepth), XmlCheck::ok);
  // Closing tags the parser ignores (in a comment) never pay for later openings.
  std::string comment = "<plist><!-- </array></array></array></array></array> -->";
  EXPECT_EQ(check_xml_plist(comment + nested(kDepth + 1).substr(7), kDepth), XmlCheck::too_deep);
  // Names that merely start like a container are not containers.
  EXPECT_EQ(check_xml_plist("<plist><dict><key>a</key><data>AA==</data></dict></plist>", kDepth), XmlCheck::ok);
}

TEST(XmlPlistCheck, DatesOutsideWhatLibplistHoldsAreRefused) {
  for (const char* bad :
       {"9999-12-31T23:59:59Z", "1900-01-01T00:00:00Z", "1932-12-13T20:45:52Z", "2069-01-19T03:14:07Z",
        "2068-99-99T99:99:99Z", "2020-13-01T00:00:00Z", "2020-01-00T00:00:00Z", "2020-01-01T24:00:00Z", "yesterday", "",
        "2020-01-01", "2020-01-01T00:00:00", "2020-01-01 00:00:00Z", "+020-01-01T00:00:00Z"})
    EXPECT_EQ(check_xml_plist(date_document(bad), kDepth), XmlCheck::malformed) << bad;
  EXPECT_EQ(check_xml_plist("<plist><array><date/></array></plist>", kDepth), XmlCheck::malformed);
  EXPECT_EQ(check_xml_plist("<plist><array><date a='1'>2001-01-01T00:00:00Z</date></array></plist>", kDepth),
            XmlCheck::malformed);
  EXPECT_EQ(check_xml_plist("<plist><array><date>2001-01-01T00:00:00Z", kDepth), XmlCheck::malformed);
  // An element whose name only starts with "date" is no date.
  EXPECT_EQ(check_xml_plist("<plist><dict><key>k</key><dates>never</dates></dict></plist>", kDepth), XmlCheck::ok);
}

TEST(XmlPlistCheck, DatesAtTheEdgesOfTheRangeReadBack) {
  for (const char* good :
       {"2001-01-01T00:00:00Z", "1932-12-13T20:45:53Z", "2069-01-19T03:14:06Z", " 2024-02-29T12:00:60Z\n"}) {
    EXPECT_EQ(check_xml_plist(date_document(good), kDepth), XmlCheck::ok) << good;
    EXPECT_FALSE(foundation::plist::parse(date_document(good)).failure) << good;
  }
}

TEST(XmlPlistCheck, NulAndRootlessTextAreRefused) {
  EXPECT_EQ(check_xml_plist(std::string("<plist><dict><key>k\0</key><true/></dict></plist>", 48), kDepth),
            XmlCheck::malformed);
  for (const char* rootless : {"", "just text", "<string>x</string>", "<?xml version=\"1.0\"?>"})
    EXPECT_EQ(check_xml_plist(rootless, kDepth), XmlCheck::malformed) << rootless;
  EXPECT_EQ(check_xml_plist("<array><integer>1</integer></array>", kDepth), XmlCheck::ok);
}

}  // namespace
