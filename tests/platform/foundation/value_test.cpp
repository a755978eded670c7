// Foundation's conversions and descriptions, which every displayed text and
// every settings read goes through.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/format.h"
#include "platform/foundation/value.h"

using px::platform::foundation::Value;

TEST(ValueConversions, NumbersAndBooleans) {
  EXPECT_EQ(Value(20.7).intValue(), 20);
  EXPECT_EQ(Value(-20.7).intValue(), -20);
  EXPECT_FLOAT_EQ(Value(20.7).floatValue(), 20.7f);
  EXPECT_TRUE(Value(2).boolValue());
  EXPECT_FALSE(Value(0).boolValue());
  EXPECT_TRUE(Value(0.5).boolValue());
  EXPECT_EQ(Value(true).intValue(), 1);
  EXPECT_EQ(Value(1e12).intValue(), INT32_MAX) << "reals saturate";
  EXPECT_EQ(Value(std::nan("")).intValue(), 0);
}

TEST(ValueConversions, StringsScanTheirLeadingNumber) {
  EXPECT_EQ(Value("1500 mAh").intValue(), 1500);
  EXPECT_EQ(Value("  -12 mAh").intValue(), -12);
  EXPECT_EQ(Value("mAh").intValue(), 0);
  EXPECT_EQ(Value("99999999999").intValue(), INT32_MAX);
  EXPECT_FLOAT_EQ(Value("28.50").floatValue(), 28.5f);
  EXPECT_TRUE(Value("YES").boolValue());
  EXPECT_TRUE(Value("true").boolValue());
  EXPECT_TRUE(Value("007").boolValue());
  EXPECT_FALSE(Value("no").boolValue());
  EXPECT_FALSE(Value("000").boolValue());
}

TEST(ValueConversions, NothingIsZeroAndPrintsNull) {
  Value nil;
  EXPECT_EQ(nil.intValue(), 0);
  EXPECT_FALSE(nil.boolValue());
  EXPECT_TRUE(nil.stringValue().is_nil());
  EXPECT_EQ(nil.description(), "(null)");
  EXPECT_TRUE(nil["key"].is_nil()) << "lookup in nothing yields nothing";
  EXPECT_TRUE(Value(5)["key"].is_nil());
}

TEST(ValueDescriptions, NumbersPrintAsNSNumberDoes) {
  EXPECT_EQ(Value(3050).stringValue().description(), "3050");
  EXPECT_EQ(Value(-250).description(), "-250");
  EXPECT_EQ(Value(12.0).description(), "12");
  EXPECT_EQ(Value(0.5).description(), "0.5");
  EXPECT_EQ(Value(true).description(), "1");
}

TEST(ValueDescriptions, ContainersUseOldStyleText) {
  Value d(px::platform::foundation::Dictionary{{"Watts", 12}, {"Description", "pd charger"}});
  EXPECT_EQ(d.description(), "{\n    Description = \"pd charger\";\n    Watts = 12;\n}");
  Value a(px::platform::foundation::Array{1, "two"});
  EXPECT_EQ(a.description(), "(\n    1,\n    two\n)");
}

TEST(Format, ObjectsIntegersAndReals) {
  using px::platform::foundation::format;
  EXPECT_EQ(format("%@ mAh", Value(1500)), "1500 mAh");
  EXPECT_EQ(format("%@ mAh", Value()), "(null) mAh");
  EXPECT_EQ(format("%i mAh", -12), "-12 mAh");
  EXPECT_EQ(format("%i", 4294967297LL), "1") << "%i is 32 bits wide";
  EXPECT_EQ(format("%lld %llx %qu", 4294967297LL, 4294967297LL, 4294967297LL), "4294967297 100000001 4294967297")
      << "a length modifier keeps all 64 bits, in hex too";
  EXPECT_EQ(format("%f", 86.9f), "86.900002");
  EXPECT_EQ(format("100%% %@", "done"), "100% done");
  EXPECT_EQ(format("%i and %i", true, false), "1 and 0") << "%i takes a bool";
  // A format with too few arguments does not build; the formatter behind it
  // still prints "(null)" rather than reading past its arguments.
  EXPECT_EQ(px::platform::foundation::detail::format_args("%@ and %@", {Value(1)}), "1 and (null)");
}

// What each conversion takes: a mismatch must not build.
namespace px::platform::foundation::format_kinds {
using foundation::format_checks::takes;
static_assert(takes<Value>('@') && takes<std::string>('@') && takes<const char*>('@'));
static_assert(!takes<long long>('@') && !takes<double>('@'), "an integer for %@ crashes on the device");
static_assert(takes<bool>('i') && takes<int>('d') && takes<unsigned long>('u') && takes<long long>('x'));
static_assert(!takes<double>('i') && !takes<Value>('i'));
static_assert(takes<float>('f') && takes<double>('g') && !takes<int>('f'));
static_assert(takes<std::string>('s') && !takes<Value>('s'));
static_assert(!takes<int>('n'), "unknown conversions take nothing");
}  // namespace px::platform::foundation::format_kinds

// Dictionaries are one sorted vector: every way in must leave it sorted and
// free of repeated keys, or lookups by binary search miss entries.
TEST(Dictionaries, EntriesInAnyOrderAreFoundAndTheFirstOfEqualKeysKept) {
  px::platform::foundation::Dictionary literal{{"b", 2}, {"a", 1}, {"c", 3}, {"a", 9}};
  ASSERT_EQ(literal.size(), 3u);
  EXPECT_EQ(literal.begin()->first, "a");
  EXPECT_EQ(literal.find("a")->second, Value(1));

  px::platform::foundation::Dictionary::Entries read;
  for (int i = 99; i >= 0; --i) read.emplace_back("key" + std::to_string(i % 50), i);
  auto d = px::platform::foundation::Dictionary::from_entries(std::move(read));
  ASSERT_EQ(d.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(d.find("key" + std::to_string(i))->second, Value(i + 50)) << i;
  EXPECT_TRUE(std::is_sorted(d.begin(), d.end(), [](auto& x, auto& y) { return x.first < y.first; }));
}

TEST(Dictionaries, InsertionsAndErasuresKeepTheOrder) {
  px::platform::foundation::Dictionary d;
  for (const char* k : {"m", "c", "x", "a", "p"}) d[k] = Value(k);
  EXPECT_FALSE(d.emplace("c", 0).second);  // an existing entry is left alone
  EXPECT_EQ(d["c"], Value("c"));
  d.insert_or_assign("c", 7);
  EXPECT_EQ(d["c"], Value(7));
  EXPECT_EQ(d.erase("m"), 1u);
  EXPECT_EQ(d.erase("m"), 0u);
  std::string keys;
  for (auto& [k, v] : d) keys += k;
  EXPECT_EQ(keys, "acpx");
  EXPECT_EQ(d.find("m"), d.end());
  EXPECT_EQ(d.find(""), d.end());
  EXPECT_EQ(Value(d), Value(px::platform::foundation::Dictionary{{"x", "x"}, {"p", "p"}, {"c", 7}, {"a", "a"}}));
}
