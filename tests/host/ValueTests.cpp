#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/Structure.h"
#include "host/Value.h"

using namespace vellum;

TEST(LeadingNumber, TakesTheLongestDecimalPrefix) {
  EXPECT_EQ(leadingDouble("1.5.2"), 1.5);
  EXPECT_EQ(leadingDouble("10px"), 10);
  EXPECT_EQ(leadingDouble("  -3e2x"), -300);
  EXPECT_EQ(leadingDouble("0x1A"), 0);
  EXPECT_EQ(leadingDouble(".5"), 0.5);
  EXPECT_EQ(leadingDouble("1e"), 1);
  EXPECT_EQ(leadingDouble("--5"), 0);
  EXPECT_EQ(leadingDouble("1-2"), 1);
  EXPECT_EQ(leadingDouble(""), 0);
  EXPECT_EQ(leadingDouble("+7"), 7);
  EXPECT_EQ(leadingDouble("inf"), 0);
  EXPECT_EQ(leadingDouble("nan"), 0);
  EXPECT_EQ(leadingDouble("1e999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(leadingDouble("-1e999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(leadingDouble("1e-999"), 0);
}

TEST(LeadingNumber, IntegersAllowBlanksAfterTheSign) {
  EXPECT_EQ(leadingInteger("1.5.2"), 1);
  EXPECT_EQ(leadingInteger("  -3e2x"), -3);
  EXPECT_EQ(leadingInteger("- 5"), -5);
  EXPECT_EQ(leadingInteger("x5"), 0);
  EXPECT_EQ(leadingInteger("99999999999999999999"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(leadingInteger("-9223372036854775808"), std::numeric_limits<int64_t>::min());
}

TEST(ValueTest, KeepsIntegersAndDoublesApart) {
  EXPECT_EQ(Value(3).kind(), Value::Kind::Integer);
  EXPECT_EQ(Value(3.0).kind(), Value::Kind::Double);
  EXPECT_FALSE(Value(3) == Value(3.0));
  EXPECT_EQ(Value(3).doubleValue(), 3.0);
  EXPECT_EQ(Value(3.0).stringValue(), "3");
  EXPECT_EQ(Value(0.1).stringValue(), "0.1");
  EXPECT_EQ(Value(true).integerValue(), 1);
  EXPECT_EQ(Value(std::nan("")).integerValue(), 0);
  EXPECT_EQ(Value(1e300).integerValue(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Value("12abc").doubleValue(), 12);
  EXPECT_TRUE(Value().isNothing());
  EXPECT_TRUE(Value(StructureRef()).isNothing());
}

TEST(ValueTest, StructuresCompareDeeply) {
  Value a(std::vector<Value>{1, "x", Value(std::vector<Value>{2.5})});
  Value b(std::vector<Value>{1, "x", Value(std::vector<Value>{2.5})});
  Value c(std::vector<Value>{1, "x", Value(std::vector<Value>{2.0})});
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == c);
}
