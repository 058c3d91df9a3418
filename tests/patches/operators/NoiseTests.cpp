// Vector Noise: the seed and absent or empty paths (the walk itself is checked in tests/path).
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "patches/operators/V2DBezierPathNoisePatch.h"
#include "tests/support/PatchInputs.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

BezierPathRef noise(const BezierPathRef& in, uint64_t seed, double ax, double ay) {
  V2DBezierPathNoisePatch patch("n");
  patch.inputBezierPath.setBezierPathValue(in);
  patch.inputSeed.setIndexValue(seed);  // typed: the largest seeds do not fit a host integer
  setInputs(patch, {{"inputXAmount", ax}, {"inputYAmount", ay}});
  return run(patch);
}

}  // namespace

TEST(Noise, TheSeedAloneDecidesTheOutput) {
  const auto in = pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8}), L(-3, 9), Z()});
  auto first = noise(in, 5, 2, 2);
  random();  // someone else using the generator in between changes nothing
  EXPECT_TRUE(noise(in, 5, 2, 2)->isEqualToBezierPath(*first));
  EXPECT_FALSE(noise(in, 6, 2, 2)->isEqualToBezierPath(*first));
  // Seeds above 32 bits use their low bits.
  EXPECT_TRUE(noise(in, (uint64_t{1} << 32) + 5, 2, 2)->isEqualToBezierPath(*first));
  EXPECT_TRUE(noise(in, std::numeric_limits<uint64_t>::max(), 2, 2)->isEqualToBezierPath(*noise(in, 0xFFFFFFFFu, 2, 2)));
}

TEST(Noise, EmptyPathGivesAnEmptyCopyAbsentGivesNothing) {
  auto empty = BezierPath::bezierPath();
  auto out = noise(empty, 1, 1, 1);
  EXPECT_TRUE(out && out != empty && out->isEmpty());
  EXPECT_EQ(noise(nullptr, 1, 1, 1), nullptr);
}
