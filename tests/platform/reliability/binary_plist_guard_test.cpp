// Crafted binary property lists aimed at libplist 2.2's undefined behaviour
// (see platform/foundation/binary_plist_check.h): each is refused before
// libplist sees it, while the legitimate extremes next to it still read.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>

#include "platform/foundation/binary_plist_check.h"
#include "platform/foundation/property_list.h"

namespace {
using namespace px::platform::foundation;
using px::platform::foundation::Errc;

// Builds "bplist00" + objects + offset table + trailer, with any trailer
// field overridable.
struct Builder {
  std::vector<std::string> objects;
  int offset_size = 2, ref_size = 1;
  std::optional<std::uint64_t> count, top, table;

  static std::string be(std::uint64_t v, int n) {
    std::string s;
    for (int k = (n - 1) * 8; k >= 0; k -= 8) s += static_cast<char>((v >> k) & 0xFF);
    return s;
  }
  std::string build() const {
    std::string body = "bplist00";
    std::vector<std::uint64_t> offs;
    for (auto& o : objects) {
      offs.push_back(body.size());
      body += o;
    }
    std::uint64_t t = body.size();
    for (auto off : offs) body += be(off, offset_size);
    body += std::string(6, '\0') + static_cast<char>(offset_size) + static_cast<char>(ref_size);
    body += be(count.value_or(objects.size()), 8) + be(top.value_or(0), 8) + be(table.value_or(t), 8);
    return body;
  }
};

std::string real_date(double t) {
  std::uint64_t bits;
  std::memcpy(&bits, &t, sizeof bits);
  return "\x33" + Builder::be(bits, 8);
}
std::string int64(long long v) { return "\x13" + Builder::be(static_cast<std::uint64_t>(v), 8); }
std::string one_item_array() { return std::string("\xA1\x01", 2); }

// The code a document is refused with; nothing when it reads.
std::optional<Errc> failure(const std::string& bytes) {
  auto parsed = plist::parse(bytes);
  if (parsed) return std::nullopt;
  return parsed.code();
}

TEST(BinaryPlistGuard, TrailerArithmeticCannotWrap) {
  Builder b;
  b.objects = {one_item_array(), "\x51x"};
  ASSERT_FALSE(failure(b.build())) << "the base document is good";
  Builder wraps = b;
  wraps.table = ~std::uint64_t{0} - 15;  // plist_bin + offset wraps the pointer
  EXPECT_EQ(failure(wraps.build()), Errc::malformed);
  Builder product = b;
  product.count = (std::uint64_t{1} << 62) + 1;  // count * 4 wraps to 4
  product.offset_size = 4;
  EXPECT_EQ(failure(product.build()), Errc::malformed);
  Builder top = b;
  top.top = 2;
  EXPECT_EQ(failure(top.build()), Errc::malformed);
  for (int bad : {0, 9, 255}) {
    Builder sizes = b;
    sizes.ref_size = bad;
    EXPECT_EQ(failure(sizes.build()), Errc::malformed) << "ref size " << bad;
  }
}

TEST(BinaryPlistGuard, ObjectsStayBeforeTheOffsetTable) {
  Builder b;
  b.objects = {one_item_array(), "\x5Fxyz"};  // a string whose length marker runs into the table
  EXPECT_EQ(failure(b.build()), Errc::malformed);
  Builder into_table;
  into_table.objects = {one_item_array(), std::string("\x5E", 1) + "abc"};  // 14 characters, 3 present
  EXPECT_EQ(failure(into_table.build()), Errc::malformed);
  Builder ref;
  ref.objects = {std::string("\xA1\x07", 2)};  // reference past the last object
  EXPECT_EQ(failure(ref.build()), Errc::malformed);
}

TEST(BinaryPlistGuard, DatesLibplistCannotHoldAreRefused) {
  for (double bad : {std::nan(""), double(INFINITY), -double(INFINITY), 1e300, -1e300, 2147483648.0, -2147483649.0}) {
    Builder b;
    b.objects = {one_item_array(), real_date(bad)};
    EXPECT_EQ(failure(b.build()), Errc::malformed) << bad;
  }
  for (double good : {0.0, 473000000.5, -2147483647.0, 2147483646.0}) {
    Builder b;
    b.objects = {one_item_array(), real_date(good)};
    auto p = plist::parse(b.build());
    ASSERT_TRUE(p.ok()) << good;
    EXPECT_NEAR((*p->array())[0].date()->since_reference, good, 1e-6);
    EXPECT_TRUE(plist::serialize(*p, plist::Format::xml)) << "a date that was read can be written";
  }
}

TEST(BinaryPlistGuard, SharedReferencesCannotExpandExponentially) {
  Builder b;
  b.offset_size = 2;
  for (int i = 0; i < 40; ++i)
    b.objects.push_back(std::string("\xA2", 1) + static_cast<char>(i + 1) + static_cast<char>(i + 1));
  b.objects.push_back("\x50");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(failure(b.build()), Errc::too_large);
  // Only a sanity bound: the refusal is a walk over 41 objects.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  // Sharing within the bound is fine.
  Builder small;
  for (int i = 0; i < 8; ++i)
    small.objects.push_back(std::string("\xA2", 1) + static_cast<char>(i + 1) + static_cast<char>(i + 1));
  small.objects.push_back("\x50");
  EXPECT_FALSE(failure(small.build()));
}

// Writers share equal values (libplist, Python, CoreFoundation): an array of
// five equal strings names one object five times. Found by fuzzing: such
// files were refused, so a defaults domain or settings file written that way
// read as empty.
TEST(BinaryPlistGuard, EqualValuesSharedByTheWriterAreRead) {
  Array same(1000, Value("a"));
  Dictionary flags;
  for (int i = 0; i < 40; ++i) flags["flag" + std::to_string(i)] = Value(true);
  for (const Value& v : {Value(same), Value(flags), Value(Array(5, Value(Dictionary{{"k", 1}})))}) {
    auto bytes = plist::serialize(v, plist::Format::binary);
    ASSERT_TRUE(bytes);
    auto back = plist::parse(*bytes);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, v);
  }
  // Five references to one string, hand-built, and the same array claiming
  // more references than its bytes hold.
  Builder b;
  b.objects = {std::string("\xA5\x01\x01\x01\x01\x01", 6),
               "\x51"
               "a"};
  EXPECT_FALSE(failure(b.build()));
  b.objects[0] = std::string("\xAF\x10\xFF\x01\x01\x01\x01\x01", 8);
  EXPECT_EQ(failure(b.build()), Errc::malformed);
}

TEST(BinaryPlistGuard, CyclesAndNonStringKeysAreRefused) {
  Builder cycle;
  cycle.objects = {std::string("\xA1\x00", 2)};
  EXPECT_EQ(failure(cycle.build()), Errc::malformed);
  Builder key;
  key.objects = {std::string("\xD1\x01\x02", 3), std::string("\x10\x05", 2), "\x51v"};
  EXPECT_EQ(failure(key.build()), Errc::malformed);
}

TEST(BinaryPlistGuard, Int64MinReadsExactlyAndWritesAsTheNearestXmlValue) {
  Builder b;
  b.objects = {one_item_array(), int64(INT64_MIN)};
  auto p = plist::parse(b.build());
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(*(*p->array())[0].integer(), INT64_MIN);
  auto bin = plist::serialize(*p, plist::Format::binary);
  ASSERT_TRUE(bin);
  EXPECT_EQ(*plist::parse(*bin), *p) << "binary keeps it";
  auto xml = plist::serialize(*p, plist::Format::xml);
  ASSERT_TRUE(xml);
  EXPECT_EQ(*(*plist::parse(*xml)->array())[0].integer(), INT64_MIN + 1);
}

TEST(BinaryPlistGuard, InvalidUtf8IsRepairedSoItCanBeWrittenBack) {
  Builder b;
  b.objects = {std::string("\xD1\x01\x02", 3), "\x52k\xFF", "\x54\xC3\x28\xED\xA0"};
  auto p = plist::parse(b.build());
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(*p, Value(Dictionary{{"k\xEF\xBF\xBD", "\xEF\xBF\xBD(\xEF\xBF\xBD\xEF\xBF\xBD"}}));
  for (auto f : {plist::Format::xml, plist::Format::binary}) {
    auto out = plist::serialize(*p, f);
    ASSERT_TRUE(out);
    EXPECT_EQ(*plist::parse(*out), *p);
  }
}

// XML strings are checked one by one only when the text could hold invalid
// UTF-8 after decoding: raw bytes that are not UTF-8, or a numeric character
// reference, which libplist decodes even to a lone surrogate.
TEST(BinaryPlistGuard, XmlTextThatDecodesToInvalidUtf8IsRepaired) {
  const std::string replacement = "\xEF\xBF\xBD";
  auto reference = plist::parse("<plist><dict><key>a&#xD800;</key><string>&#55296;&#x41;&amp;</string></dict></plist>");
  EXPECT_EQ(*reference, Value(Dictionary{{"a" + replacement + replacement + replacement,
                                          replacement + replacement + replacement + "A&"}}));
  auto raw = plist::parse("<plist><dict><key>k</key><string>caf\xC3\xA9 \xFF</string></dict></plist>");
  EXPECT_EQ(*raw, Value(Dictionary{{"k", "caf\xC3\xA9 " + replacement}}));
  for (auto& p : {reference, raw}) EXPECT_TRUE(plist::serialize(*p, plist::Format::binary));
}

// libplist aborts on a string whose length differs from its strlen (found by fuzzing).
TEST(BinaryPlistGuard, NulInStringsOrKeysIsRefusedBeforeLibplistAborts) {
  Builder ascii;
  ascii.objects = {one_item_array(), std::string("\x53"
                                                 "a\0b",
                                                 4)};
  EXPECT_EQ(failure(ascii.build()), Errc::malformed);
  Builder key;
  key.objects = {std::string("\xD1\x01\x02", 3), std::string("\x52k\0", 3), "\x51v"};
  EXPECT_EQ(failure(key.build()), Errc::malformed);
  Builder utf16;
  utf16.objects = {one_item_array(), std::string("\x62\0A\0\0", 5)};
  EXPECT_EQ(failure(utf16.build()), Errc::malformed);
  EXPECT_EQ(failure(std::string("<plist><dict><key>k</key><string>a\0b</string></dict></plist>", 60)), Errc::malformed);
  EXPECT_EQ(failure(std::string("<plist><dict><key>k\0</key><string>b</string></dict></plist>", 59)), Errc::malformed);
}

TEST(BinaryPlistGuard, UnpairedUtf16SurrogatesDoNotFault) {
  Builder b;
  b.objects = {one_item_array(), std::string("\x62\xD8\x00\x00\x41", 5)};
  auto p = plist::parse(b.build());
  if (p.ok()) {
    EXPECT_TRUE(plist::serialize(*p, plist::Format::binary));
  }
}

}  // namespace
