// Foundation's conversions and descriptions, which every displayed text and
// every settings read goes through.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/format.h"
#include "platform/foundation/value.h"

using foundation::Value;

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
  Value d(foundation::Dictionary{{"Watts", 12}, {"Description", "pd charger"}});
  EXPECT_EQ(d.description(), "{\n    Description = \"pd charger\";\n    Watts = 12;\n}");
  Value a(foundation::Array{1, "two"});
  EXPECT_EQ(a.description(), "(\n    1,\n    two\n)");
}

TEST(Format, ObjectsIntegersAndReals) {
  using foundation::format;
  EXPECT_EQ(format("%@ mAh", Value(1500)), "1500 mAh");
  EXPECT_EQ(format("%@ mAh", Value()), "(null) mAh");
  EXPECT_EQ(format("%i mAh", -12), "-12 mAh");
  EXPECT_EQ(format("%i", 4294967297LL), "1") << "%i is 32 bits wide";
  EXPECT_EQ(format("%f", 86.9f), "86.900002");
  EXPECT_EQ(format("100%% %@", "done"), "100% done");
  EXPECT_EQ(format("%@ and %@", Value(1)), "1 and (null)") << "a missing argument prints as nothing";
}
