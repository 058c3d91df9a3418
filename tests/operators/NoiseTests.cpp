#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "patches/operators/V2DBezierPathNoisePatch.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

// The displacement as defined: 23 low bits, times the float of bit pattern 0x34000001, minus a
// half, times the amount, all in single precision.
double expectedOffset(long draw, float amount) {
  uint32_t bits = 0x34000001;
  float e;
  std::memcpy(&e, &bits, sizeof e);
  volatile float r = float(draw & 0x7FFFFF);
  volatile float re = r * e;
  volatile float centred = re - 0.5f;
  volatile float scaled = centred * amount;
  return double(scaled);
}

std::vector<long> draws(unsigned seed, int n) {
  srandom(seed);
  std::vector<long> out;
  for (int i = 0; i < n; ++i) out.push_back(random());
  return out;
}

// How many draws an execution used: the position of the next value in the seed's sequence.
int drawsUsed(unsigned seed, long next) {
  const auto sequence = draws(seed, 64);
  for (int i = 0; i < 64; ++i)
    if (sequence[i] == next) return i;
  return -1;
}

}  // namespace

TEST(Noise, TheUnitConstantAndTheEndsOfTheRange) {
  uint32_t bits = 0x34000001;
  float e;
  std::memcpy(&e, &bits, sizeof e);
  EXPECT_FLOAT_EQ(e, 1.1920930e-7f);
  EXPECT_EQ(V2DBezierPathNoisePatch::displacement(0, 2.0f), -1.0f);
  // Only the low 23 bits count.
  EXPECT_EQ(V2DBezierPathNoisePatch::displacement(0x800000, 2.0f), -1.0f);
  EXPECT_EQ(V2DBezierPathNoisePatch::displacement(0x400000, 2.0f), expectedOffset(0x400000, 2.0f));
  // (2^23 - 1) * e = 1 - 2^-46 rounds to 1 in single precision: the top of the range is +a/2.
  EXPECT_EQ(V2DBezierPathNoisePatch::displacement(0x7FFFFF, 2.0f), 1.0f);
}

TEST(Noise, LineSegmentUsesFourDrawsInXYOrder) {
  V2DBezierPathNoisePatch patch("n");
  patch.inputBezierPath.setBezierPathValue(pathOf({M(1, 2), L(3, 4)}));
  patch.inputSeed.setIndexValue(42);
  patch.inputXAmount.setDoubleValue(10);
  patch.inputYAmount.setDoubleValue(0.5);
  auto out = run(patch);
  EXPECT_EQ(drawsUsed(42, random()), 4);
  const auto d = draws(42, 4);
  expectElements(*out, {M(1 + expectedOffset(d[0], 10), 2 + expectedOffset(d[1], 0.5f)),
                        L(3 + expectedOffset(d[2], 10), 4 + expectedOffset(d[3], 0.5f))});
}

TEST(Noise, CurveUsesEightDrawsSecondControlPointThenEndThenFirstControlPoint) {
  V2DBezierPathNoisePatch patch("n");
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), C({1, 1}, {2, 2}, {3, 3})}));
  patch.inputSeed.setIndexValue(7);
  patch.inputXAmount.setDoubleValue(1);
  patch.inputYAmount.setDoubleValue(3);
  auto out = run(patch);
  EXPECT_EQ(drawsUsed(7, random()), 8);
  const auto d = draws(7, 8);
  auto x = [&](int i) { return expectedOffset(d[i], 1.0f); };
  auto y = [&](int i) { return expectedOffset(d[i], 3.0f); };
  expectElements(*out, {M(0 + x(0), 0 + y(1)), C({1 + x(6), 1 + y(7)}, {2 + x(2), 2 + y(3)}, {3 + x(4), 3 + y(5)})});
}

TEST(Noise, CloseKeepsItsPlaceAndDrawsNothing) {
  V2DBezierPathNoisePatch patch("n");
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), L(1, 0), Z(), Z()}));
  patch.inputSeed.setIndexValue(3);
  patch.inputXAmount.setDoubleValue(1);
  auto out = run(patch);
  EXPECT_EQ(drawsUsed(3, random()), 4);
  ASSERT_EQ(out->elementCount(), 4u);
  EXPECT_EQ(out->elementAtIndex(2), K::ClosePath);
  EXPECT_EQ(out->elementAtIndex(3), K::ClosePath);
}

TEST(Noise, ZeroAmountsGiveAnEqualNewPathAndStillDraw) {
  V2DBezierPathNoisePatch patch("n");
  auto in = unitSquare();
  patch.inputBezierPath.setBezierPathValue(in);
  patch.inputSeed.setIndexValue(11);
  auto out = run(patch);
  EXPECT_EQ(drawsUsed(11, random()), 8);
  EXPECT_NE(out.get(), in.get());
  EXPECT_TRUE(out->isEqualToBezierPath(*in));
}

TEST(Noise, SameSeedRepeatsDifferentSeedDiffers) {
  V2DBezierPathNoisePatch patch("n");
  auto in = unitSquare();
  patch.inputBezierPath.setBezierPathValue(in);
  patch.inputXAmount.setDoubleValue(2);
  patch.inputYAmount.setDoubleValue(2);
  patch.inputSeed.setIndexValue(5);
  auto first = run(patch);
  random();  // someone else using the generator in between changes nothing
  auto second = run(patch);
  EXPECT_NE(first.get(), second.get());
  EXPECT_TRUE(first->isEqualToBezierPath(*second));
  EXPECT_FALSE(first->isEqualToBezierPath(*in));
  patch.inputSeed.setIndexValue(6);
  EXPECT_FALSE(run(patch)->isEqualToBezierPath(*first));
  // The input is never changed.
  EXPECT_TRUE(in->isEqualToBezierPath(*unitSquare()));
}

TEST(Noise, EmptyPathGivesAnEmptyCopyAbsentGivesNothing) {
  V2DBezierPathNoisePatch patch("n");
  auto empty = BezierPath::bezierPath();
  patch.inputBezierPath.setBezierPathValue(empty);
  auto out = run(patch);
  ASSERT_NE(out, nullptr);
  EXPECT_NE(out.get(), empty.get());
  EXPECT_TRUE(out->isEmpty());
  patch.inputBezierPath.setBezierPathValue(nullptr);
  EXPECT_EQ(run(patch), nullptr);
}

TEST(Noise, NonFiniteAmountsDisplaceNothingOnTheirAxis) {
  V2DBezierPathNoisePatch patch("n");
  patch.inputBezierPath.setBezierPathValue(pathOf({M(1, 2), L(3, 4)}));
  patch.inputSeed.setIndexValue(9);
  patch.inputYAmount.setDoubleValue(4);
  const auto d = draws(9, 4);
  for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), -1e300}) {
    patch.inputXAmount.setDoubleValue(bad);
    expectElements(*run(patch), {M(1, 2 + expectedOffset(d[1], 4)), L(3, 4 + expectedOffset(d[3], 4))});
  }
}

TEST(Noise, SeedsAboveThirtyTwoBitsUseTheirLowBits) {
  V2DBezierPathNoisePatch patch("n");
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), L(1, 1)}));
  patch.inputXAmount.setDoubleValue(1);
  patch.inputSeed.setIndexValue((uint64_t{1} << 32) + 5);
  auto high = run(patch);
  patch.inputSeed.setIndexValue(5);
  EXPECT_TRUE(run(patch)->isEqualToBezierPath(*high));
  patch.inputSeed.setIndexValue(std::numeric_limits<uint64_t>::max());
  auto max = run(patch);
  const auto d = draws(0xFFFFFFFFu, 1);
  expectElements(*max, {M(expectedOffset(d[0], 1), 0), L(1 + expectedOffset(draws(0xFFFFFFFFu, 3)[2], 1), 1)});
}
