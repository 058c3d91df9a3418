#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/Structure.h"
#include "host/Value.h"

using namespace vellum;

TEST(LeadingNumber, TakesTheLongestDecimalPrefix) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, double> doubles[] = {
      {"1.5.2", 1.5}, {"10px", 10}, {"  -3e2x", -300}, {"0x1A", 0}, {".5", 0.5}, {"1e", 1}, {"--5", 0}, {"1-2", 1},
      {"", 0}, {"+7", 7}, {"inf", 0}, {"nan", 0}, {"1e999", inf}, {"-1e999", -inf}, {"1e-999", 0}};
  for (const auto& [text, value] : doubles) EXPECT_EQ(leadingDouble(text), value) << text;
  // Integers allow blanks after the sign.
  const std::pair<const char*, int64_t> integers[] = {
      {"1.5.2", 1}, {"  -3e2x", -3}, {"- 5", -5}, {"x5", 0}, {"99999999999999999999", std::numeric_limits<int64_t>::max()},
      {"-9223372036854775808", std::numeric_limits<int64_t>::min()}};
  for (const auto& [text, value] : integers) EXPECT_EQ(leadingInteger(text), value) << text;
}

// Integers and doubles stay apart in kind and equality: the JSON round trips and the structure
// equality table check that; here, the conversions between them.
TEST(ValueTest, ConvertsBetweenKinds) {
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
