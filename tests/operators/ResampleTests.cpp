#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "patches/operators/ResamplePatches.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr uint64_t kNoLimit = kNoPointLimit;

std::shared_ptr<BezierPath> resample(const BezierPathRef& path, double rate, bool keep = false,
                                     uint64_t maxPts = kNoLimit, bool lineStrip = false) {
  return V2DBezierPathResamplePatch::_resampleBezierPath(path.get(), rate, maxPts, keep, 0.01, lineStrip);
}

size_t countOf(const BezierPath& path, K kind) {
  size_t n = 0;
  for (size_t i = 0; i < path.elementCount(); ++i) n += path.elementAtIndex(i) == kind;
  return n;
}

}  // namespace

TEST(Resample, SquareAtRateFourHitsEveryCornerAndTheCloseStandsForTheLastSample) {
  expectElements(*resample(unitSquare(), 4), {M(0, 0), L(1, 0), L(1, 1), L(0, 1), Z()});
}

TEST(Resample, SquareAtRateEight) {
  const std::vector<El> expected = {M(0, 0), L(0.5, 0), L(1, 0), L(1, 0.5), L(1, 1), L(0.5, 1), L(0, 1), L(0, 0.5), Z()};
  expectElements(*resample(unitSquare(), 8), expected);
  // Every corner is hit exactly, and a hit vertex is appended once.
  expectElements(*resample(unitSquare(), 8, true), expected);
}

TEST(Resample, SquareAtRateThreeWithAndWithoutTheCorners) {
  // Samples at 4/3, 8/3 and 4 along the square's length.
  expectElements(*resample(unitSquare(), 3), {M(0, 0), L(1, 1.0 / 3), L(1.0 / 3, 1), Z()}, 1e-12);
  expectElements(*resample(unitSquare(), 3, true),
                 {M(0, 0), L(1, 0), L(1, 1.0 / 3), L(1, 1), L(1.0 / 3, 1), L(0, 1), Z()}, 1e-12);
}

TEST(Resample, OpenPolylineOfLengthTenAtRateThree) {
  auto line = pathOf({M(0, 0), L(4, 0), L(4, 6)});
  expectElements(*resample(line, 3), {M(0, 0), L(10.0 / 3, 0), L(4, 20.0 / 3 - 4), L(4, 6)}, 1e-12);
}

TEST(Resample, FractionalRatesTakeWholeMultiplesOnly) {
  auto line = pathOf({M(0, 0), L(10, 0)});
  EXPECT_EQ(countOf(*resample(line, 10.5), K::LineTo), 10u);
  EXPECT_EQ(countOf(*resample(line, 10), K::LineTo), 10u);
}

TEST(Resample, MaxPointsTwoStopsAfterTheSecondCountedElement) {
  expectElements(*resample(unitSquare(), 8, false, 2), {M(0, 0), L(0.5, 0), L(1, 0)});
  EXPECT_TRUE(resample(unitSquare(), 8, false, 0)->isEmpty());
}

TEST(Resample, LengthRunsOnAcrossSubpathsAndMovesAddNone) {
  // Two unit segments far apart: length 2, samples at 0.5, 1, 1.5, 2.
  auto two = pathOf({M(0, 0), L(1, 0), M(100, 0), L(101, 0)});
  expectElements(*resample(two, 4), {M(0, 0), L(0.5, 0), L(1, 0), M(100, 0), L(100.5, 0), L(101, 0)});
}

TEST(Resample, LineStripWalksTheJumpsAndKeepsOneMove) {
  // Length 2 (jump not counted), spacing 1; the walk of 4 (with the jump of 2) gives 4 samples.
  auto two = pathOf({M(0, 0), L(1, 0), M(3, 0), L(4, 0)});
  expectElements(*resample(two, 2, false, kNoLimit, true), {M(0, 0), L(1, 0), L(2, 0), L(3, 0), L(4, 0)});
}

TEST(Resample, CurvesAreFlattenedFirst) {
  auto curve = pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0})});
  auto out = resample(curve, 20);
  EXPECT_EQ(countOf(*out, K::CurveTo), 0u);
  EXPECT_EQ(countOf(*out, K::LineTo), 20u);
  EXPECT_NEAR(out->currentPoint().x, 10, 1e-9);
  EXPECT_NEAR(out->currentPoint().y, 0, 1e-9);
}

TEST(ResampleBadInput, RatesOfZeroNegativeAndNaNGiveOneSampleAtTheStart) {
  for (double rate : {0.0, -5.0, kNaN, -kInf})
    expectElements(*resample(unitSquare(), rate), {M(0, 0), L(0, 0), Z()});
}

TEST(ResampleBadInput, HugeAndInfiniteRatesAreCappedAndStillSpanThePath) {
  const uint64_t cap = kMaxSamples;
  for (double rate : {1e12, kInf}) {
    auto out = resample(unitSquare(), rate);
    // Capped to `cap` samples spread over the whole length: the last one is the close.
    EXPECT_EQ(countOf(*out, K::LineTo), cap - 1);
    EXPECT_EQ(out->elementAtIndex(out->elementCount() - 1), K::ClosePath);
    EXPECT_EQ(out->associatedPoints(out->elementCount() - 2)[0], (Point{0, 4.0 / cap}));
  }
}

TEST(ResampleBadInput, ALineStripOverrunStopsAtTheCap) {
  // Measured length 1e-6, a jump of 1e6 walked: 1e12 targets wanted, the cap is walked past.
  auto path = pathOf({M(0, 0), L(1e-6, 0), M(1e6, 0)});
  auto out = resample(path, 1, false, kNoLimit, true);
  EXPECT_EQ(countOf(*out, K::LineTo), kMaxSamples);
}

TEST(ResampleBadInput, EmptyAbsentOnePointAndCloseOnlyPaths) {
  EXPECT_TRUE(resample(nullptr, 10)->isEmpty());
  EXPECT_TRUE(resample(BezierPath::bezierPath(), 10)->isEmpty());
  expectElements(*resample(pathOf({M(2, 3)}), 10), {M(2, 3)});
  // Zero drawn length: no samples, the moves and closes stay.
  expectElements(*resample(pathOf({M(2, 3), Z(), Z()}), 10), {M(2, 3), Z(), Z()});
  expectElements(*resample(pathOf({M(2, 3), L(2, 3)}), 10, true), {M(2, 3), L(2, 3)});
}

TEST(ResampleBadInput, NonFiniteCoordinatesGiveNoSamples) {
  expectElements(*resample(pathOf({M(0, 0), L(kInf, 0), L(1, 1)}), 10), {M(0, 0)});
  auto nan = resample(pathOf({M(0, 0), L(kNaN, 0), Z()}), 10);
  ASSERT_EQ(nan->elementCount(), 2u);
  EXPECT_EQ(nan->elementAtIndex(1), K::ClosePath);
}

TEST(ResamplePatch, DefaultsLimitsAndExecution) {
  V2DBezierPathResamplePatch patch("r");
  EXPECT_EQ(patch.inputSampleRate.doubleValue(), 10);
  EXPECT_EQ(patch.inputFlatness.doubleValue(), 0.01);
  EXPECT_FALSE(patch.inputKeepOriginalPoints.booleanValue());
  patch.inputSampleRate.setDoubleValue(0);
  EXPECT_EQ(patch.inputSampleRate.doubleValue(), 1);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  auto none = patch.outputBezierPath.bezierPathValue();
  ASSERT_NE(none, nullptr);
  EXPECT_TRUE(none->isEmpty());
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  patch.inputSampleRate.setDoubleValue(8);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_EQ(patch.outputBezierPath.bezierPathValue()->elementCount(), 9u);
}

TEST(IntermediatePoint, HalfwayAlongALineAndBeyondItsEnds) {
  auto line = pathOf({M(0, 0), L(10, 0)});
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), 0.5, 0.01), (Point{5, 0}));
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), 2, 0.01), (Point{10, 0}));
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), 1, 0.01), (Point{10, 0}));
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), -1, 0.01), (Point{0, 0}));
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), 0, 0.01), (Point{0, 0}));
}

TEST(IntermediatePoint, RunsAcrossSubpathsAndEndsAtTheCloseStart) {
  auto square = unitSquare();
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(square.get(), 0.5, 0.01), (Point{1, 1}));
  const Point p = V2DBezierPathPointPatch::_pointOnBezierPath(square.get(), 0.625, 0.01);
  EXPECT_NEAR(p.x, 0.5, 1e-12);
  EXPECT_EQ(p.y, 1);
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(square.get(), 1, 0.01), (Point{0, 0}));
  auto two = pathOf({M(0, 0), L(1, 0), M(100, 0), L(101, 0)});
  const Point q = V2DBezierPathPointPatch::_pointOnBezierPath(two.get(), 0.75, 0.01);
  EXPECT_NEAR(q.x, 100.5, 1e-12);
  EXPECT_EQ(q.y, 0);
}

TEST(IntermediatePoint, BadInput) {
  auto line = pathOf({M(0, 0), L(10, 0)});
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), kNaN, 0.01), (Point{0, 0}));
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), kInf, kNaN), (Point{10, 0}));
  // A tiny fraction keeps its own place rather than a capped spacing.
  EXPECT_NEAR(V2DBezierPathPointPatch::_pointOnBezierPath(line.get(), 1e-9, 0.01).x, 1e-8, 1e-14);
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(nullptr, 0.5, 0.01), (Point{0, 0}));
  auto point = pathOf({M(3, 4)});
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(point.get(), 0.5, 0.01), (Point{3, 4}));
  // Zero length: the point of the last element (the close carries its subpath's start).
  auto closes = pathOf({M(3, 4), Z(), Z()});
  EXPECT_EQ(V2DBezierPathPointPatch::_pointOnBezierPath(closes.get(), 0.5, 0.01), (Point{3, 4}));
}

TEST(IntermediatePoint, PatchSetsBothOutputs) {
  V2DBezierPathPointPatch patch("p");
  patch.outputX.setDoubleValue(7);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_EQ(patch.outputX.doubleValue(), 0);
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), L(0, 8)}));
  patch.inputT.setDoubleValue(0.25);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_EQ(patch.outputX.doubleValue(), 0);
  EXPECT_EQ(patch.outputY.doubleValue(), 2);
}

TEST(ContainsPoint, RingCentreUnderBothFillRules) {
  V2DBezierPathContainsPointPatch patch("c");
  auto ring = BezierPath::bezierPath();
  ring->appendBezierPathWithOvalInRect({{-10, -10}, {20, 20}});
  ring->appendBezierPathWithOvalInRect({{-5, -5}, {10, 10}});
  patch.inputBezierPath.setBezierPathValue(ring);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputContains.booleanValue());
  patch.inputFillRule.setIndexValue(1);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputContains.booleanValue());
  // In the band between the circles both rules agree.
  patch.inputX.setDoubleValue(7);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputContains.booleanValue());
  patch.inputX.setDoubleValue(11);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputContains.booleanValue());
}

TEST(ContainsPoint, FillRuleLimitAndOpenSubpathsCountAsClosed) {
  V2DBezierPathContainsPointPatch patch("c");
  patch.inputFillRule.setIndexValue(7);
  EXPECT_EQ(patch.inputFillRule.indexValue(), 1u);
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), L(4, 0), L(4, 4)}));
  patch.inputX.setDoubleValue(3);
  patch.inputY.setDoubleValue(1);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputContains.booleanValue());
}

TEST(ContainsPoint, AbsentPathAndNaNPointAreOutside) {
  V2DBezierPathContainsPointPatch patch("c");
  patch.outputContains.setBooleanValue(true);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputContains.booleanValue());
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  patch.inputX.setDoubleValue(kNaN);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputContains.booleanValue());
}
