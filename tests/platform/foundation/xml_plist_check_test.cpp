// What the XML check lets through to libplist: nesting counted the way its
// parser recurses, dates it can convert, no NUL, a root element.
#include "platform/foundation/xml_plist_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/foundation/property_list.h"

namespace {
using px::platform::foundation::Errc;
using px::platform::foundation::plist::check_xml_plist;

constexpr int kDepth = 4;

std::string nested(int levels, const std::string& open = "<array>", const std::string& close = "</array>") {
  std::string xml = "<plist>";
  for (int i = 0; i < levels; ++i) xml += open;
  for (int i = 0; i < levels; ++i) xml += close;
  return xml + "</plist>";
}

// The code a document is refused with; nothing when it passes.
std::optional<Errc> refusal(std::string_view xml) {
  auto checked = check_xml_plist(xml, kDepth);
  if (checked) return std::nullopt;
  return checked.code();
}

std::string date_document(const std::string& date) { return "<plist><array><date>" + date + "</date></array></plist>"; }

TEST(XmlPlistCheck, NestingIsCountedAsTheParserRecurses) {
  EXPECT_EQ(refusal(nested(kDepth)), std::nullopt);
  EXPECT_EQ(refusal(nested(kDepth + 1)), Errc::too_deep);
  EXPECT_EQ(refusal(nested(kDepth + 1, "<dict >", "</dict>")), Errc::too_deep);
  // Siblings do not add up; empty elements open nothing.
  std::string siblings = "<plist><array>";
  for (int i = 0; i < 3 * kDepth; ++i) siblings += "<array></array><dict/><array/>";
  EXPECT_EQ(refusal(siblings + "</array></plist>"), std::nullopt);
  // Closing tags the parser ignores (in a comment) never pay for later openings.
  std::string comment = "<plist><!-- </array></array></array></array></array> -->";
  EXPECT_EQ(refusal(comment + nested(kDepth + 1).substr(7)), Errc::too_deep);
  // Names that merely start like a container are not containers.
  EXPECT_EQ(refusal("<plist><dict><key>a</key><data>AA==</data></dict></plist>"), std::nullopt);
}

TEST(XmlPlistCheck, DatesOutsideWhatLibplistHoldsAreRefused) {
  for (const char* bad :
       {"9999-12-31T23:59:59Z", "1900-01-01T00:00:00Z", "1932-12-13T20:45:52Z", "2069-01-19T03:14:07Z",
        "2068-99-99T99:99:99Z", "2020-13-01T00:00:00Z", "2020-01-00T00:00:00Z", "2020-01-01T24:00:00Z", "yesterday", "",
        "2020-01-01", "2020-01-01T00:00:00", "2020-01-01 00:00:00Z", "+020-01-01T00:00:00Z"})
    EXPECT_EQ(refusal(date_document(bad)), Errc::malformed) << bad;
  EXPECT_EQ(refusal("<plist><array><date/></array></plist>"), Errc::malformed);
  EXPECT_EQ(refusal("<plist><array><date a='1'>2001-01-01T00:00:00Z</date></array></plist>"), Errc::malformed);
  EXPECT_EQ(refusal("<plist><array><date>2001-01-01T00:00:00Z"), Errc::malformed);
  // An element whose name only starts with "date" is no date.
  EXPECT_EQ(refusal("<plist><dict><key>k</key><dates>never</dates></dict></plist>"), std::nullopt);
}

TEST(XmlPlistCheck, DatesAtTheEdgesOfTheRangeReadBack) {
  for (const char* good :
       {"2001-01-01T00:00:00Z", "1932-12-13T20:45:53Z", "2069-01-19T03:14:06Z", " 2024-02-29T12:00:60Z\n"}) {
    EXPECT_EQ(refusal(date_document(good)), std::nullopt) << good;
    EXPECT_TRUE(px::platform::foundation::plist::parse(date_document(good)).ok()) << good;
  }
}

TEST(XmlPlistCheck, NulAndRootlessTextAreRefused) {
  EXPECT_EQ(refusal(std::string("<plist><dict><key>k\0</key><true/></dict></plist>", 48)), Errc::malformed);
  for (const char* rootless : {"", "just text", "<string>x</string>", "<?xml version=\"1.0\"?>"})
    EXPECT_EQ(refusal(rootless), Errc::malformed) << rootless;
  EXPECT_EQ(refusal("<array><integer>1</integer></array>"), std::nullopt);
}

}  // namespace
