// Vector Transform, Reverse, Close, Flatten, Bounds, Noise, Resample, Intermediate Point and
// Contains Point. Reversal, flattening, bounds, containment and the noise walk themselves are the
// path's (tests/path); these check what each patch makes of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "patches/operators/PathOperatorPatches.h"
#include "patches/operators/V2DBezierPathNoisePatch.h"
#include "patches/operators/ResamplePatches.h"
#include "tests/support/PatchInputs.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {


struct Resample {
  bool keep = false;
  uint64_t maxPoints = kNoPointLimit;
  bool lineStrip = false;
};

std::shared_ptr<BezierPath> resample(const BezierPathRef& path, double rate, Resample o = {}) {
  return V2DBezierPathResamplePatch::_resampleBezierPath(path.get(), rate, o.maxPoints, o.keep, 0.01, o.lineStrip);
}

size_t countOf(const BezierPath& path, K kind) {
  size_t n = 0;
  for (size_t i = 0; i < path.elementCount(); ++i) n += path.elementAtIndex(i) == kind;
  return n;
}

Point pointOn(const BezierPathRef& path, double t, double flatness = 0.01) {
  return V2DBezierPathPointPatch::_pointOnBezierPath(path.get(), t, flatness);
}

BezierPathRef noise(const BezierPathRef& in, uint64_t seed, double ax, double ay) {
  V2DBezierPathNoisePatch patch("n");
  patch.inputBezierPath.setBezierPathValue(in);
  patch.inputSeed.setIndexValue(seed);  // typed: the largest seeds do not fit a host integer
  setInputs(patch, {{"inputXAmount", ax}, {"inputYAmount", ay}});
  return run(patch);
}

}  // namespace

TEST(Transform, RotatesThenScalesThenTranslatesControlPointsToo) {
  V2DBezierPathTransformPatch patch("t");
  setInputs(patch, {{"inputBezierPath", objectValue(unitSquare())}, {"inputScaleX", 2}, {"inputRotateDegrees", 90},
                    {"inputTranslateX", 10}});
  // (x, y) -> (2 * -y + 10, x): (1, 0) -> (10, 1), (0, 1) -> (8, 0).
  expectElements(*run(patch), {M(10, 0), L(10, 1), L(8, 1), L(8, 0), Z()}, 1e-12);
  auto in = pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8})});
  setInputs(patch, {{"inputBezierPath", objectValue(in)}, {"inputRotateDegrees", 0}, {"inputScaleX", 3},
                    {"inputTranslateX", 1}, {"inputTranslateY", -1}});
  expectElements(*run(patch), {M(4, 1), C({10, 3}, {16, 5}, {22, 7})});
  expectElements(*in, {M(1, 2), C({3, 4}, {5, 6}, {7, 8})});
}

TEST(Transform, InitialValuesGiveAnEqualPathThatIsANewObject) {
  V2DBezierPathTransformPatch patch("t");
  auto in = pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8}), Z()});
  in->setLineWidth(3);
  patch.inputBezierPath.setBezierPathValue(in);
  auto out = run(patch);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out != in && out->isEqualToBezierPath(*in) && out->lineWidth() == 3);
  // Numbers that are not finite still give a path of the same elements.
  setInputs(patch, {{"inputRotateDegrees", kNaN}, {"inputScaleX", kInf}});
  EXPECT_EQ(run(patch) ? run(patch)->elementCount() : 0, 3u);
}

TEST(ReverseAndClose, NewPathsTheInputUntouchedAbsentGivesNothing) {
  V2DBezierPathReversePatch reverse("r");
  V2DBezierPathClosePatch close("c");
  auto in = pathOf({M(0, 0), L(1, 0), C({2, 0}, {3, 1}, {3, 2}), M(5, 5), L(6, 5)});
  reverse.inputBezierPath.setBezierPathValue(in);
  close.inputBezierPath.setBezierPathValue(in);
  expectElements(*run(reverse), {M(3, 2), C({3, 1}, {2, 0}, {1, 0}), L(0, 0), M(6, 5), L(5, 5)});
  // Only the last subpath is closed.
  expectElements(*run(close), {M(0, 0), L(1, 0), C({2, 0}, {3, 1}, {3, 2}), M(5, 5), L(6, 5), Z()});
  EXPECT_EQ(in->elementCount(), 5u);
  close.inputBezierPath.setBezierPathValue(BezierPath::bezierPath());
  EXPECT_TRUE(run(close) && run(close)->isEmpty());
  close.inputBezierPath.setBezierPathValue(nullptr);
  reverse.inputBezierPath.setBezierPathValue(nullptr);
  EXPECT_TRUE(!run(close) && !run(reverse));
}

TEST(Flatten, CurvesBecomeLinesAsFineAsTheFlatnessAsks) {
  V2DBezierPathFlattenPatch patch("f");
  EXPECT_EQ(run(patch), nullptr);
  auto curve = pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0}), Z()});
  patch.inputBezierPath.setBezierPathValue(curve);
  auto fine = run(patch);
  ASSERT_NE(fine, nullptr);
  EXPECT_TRUE(fine->isEqualToBezierPath(*curve->bezierPathByFlatteningPathWithFlatness(0.01)));
  patch.inputFlatness.setDoubleValue(10);
  EXPECT_LT(run(patch)->elementCount(), fine->elementCount());
  // Flatness that is not finite stays bounded.
  for (double f : {kNaN, kInf}) {
    patch.inputFlatness.setDoubleValue(f);
    const size_t elements = run(patch) ? run(patch)->elementCount() : 0;
    EXPECT_TRUE(elements >= 3 && elements <= 2 + detail::kMaxSegmentsPerCurve) << f;
  }
}

// x, y, width, height of the rectangle enclosing the path.
TEST(Bounds, WorkedRectangles) {
  const std::vector<std::pair<BezierPathRef, Rect>> rows = {
      // The curve, not its control points: the highest point is at t = 1/2, y = 3/4 * 10.
      {pathOf({M(0, 0), C({0, 10}, {2, 10}, {2, 0})}), {{0, 0}, {2, 7.5}}},
      {nullptr, {}},  // an absent path: four zeros
  };
  for (const auto& [path, r] : rows) {
    V2DBezierPathBoundsPatch patch("b");
    for (auto* port : {&patch.outputX, &patch.outputY, &patch.outputWidth, &patch.outputHeight}) port->setDoubleValue(9);
    patch.inputBezierPath.setBezierPathValue(path);
    ASSERT_TRUE(patch.execute(nullptr, 0, {}));
    EXPECT_EQ(Rect({{patch.outputX.doubleValue(), patch.outputY.doubleValue()},
                    {patch.outputWidth.doubleValue(), patch.outputHeight.doubleValue()}}), r);
  }
}

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

TEST(Resample, WorkedPaths) {
  struct Row {
    BezierPathRef path;
    double rate;
    Resample options;
    std::vector<El> expected;
  };
  const std::vector<El> eight = {M(0, 0), L(0.5, 0), L(1, 0), L(1, 0.5), L(1, 1), L(0.5, 1), L(0, 1), L(0, 0.5), Z()};
  const auto two = pathOf({M(0, 0), L(1, 0), M(100, 0), L(101, 0)});
  const std::vector<Row> rows = {
      // The close stands for the last sample.
      {unitSquare(), 4, {}, {M(0, 0), L(1, 0), L(1, 1), L(0, 1), Z()}},
      // Every corner is hit exactly, and a hit vertex is appended once.
      {unitSquare(), 8, {}, eight},
      {unitSquare(), 8, {.keep = true}, eight},
      // Samples at 4/3, 8/3 and 4 along the square's length, with and without the corners.
      {unitSquare(), 3, {}, {M(0, 0), L(1, 1.0 / 3), L(1.0 / 3, 1), Z()}},
      {unitSquare(), 3, {.keep = true}, {M(0, 0), L(1, 0), L(1, 1.0 / 3), L(1, 1), L(1.0 / 3, 1), L(0, 1), Z()}},
      {pathOf({M(0, 0), L(4, 0), L(4, 6)}), 3, {}, {M(0, 0), L(10.0 / 3, 0), L(4, 20.0 / 3 - 4), L(4, 6)}},
      // At most two points: it stops after the second counted element.
      {unitSquare(), 8, {.maxPoints = 2}, {M(0, 0), L(0.5, 0), L(1, 0)}},
      {unitSquare(), 8, {.maxPoints = 0}, {}},
      // The length runs on across subpaths, and moves add none: samples at 0.5, 1, 1.5, 2.
      {two, 4, {}, {M(0, 0), L(0.5, 0), L(1, 0), M(100, 0), L(100.5, 0), L(101, 0)}},
      // A line strip walks the jumps and keeps one move: length 2 (the jump of 2 not counted),
      // spacing 1, a walk of 4.
      {pathOf({M(0, 0), L(1, 0), M(3, 0), L(4, 0)}), 2, {.lineStrip = true}, {M(0, 0), L(1, 0), L(2, 0), L(3, 0), L(4, 0)}},
      // Zero drawn length: no samples; the moves and closes stay.
      {nullptr, 10, {}, {}},
      {BezierPath::bezierPath(), 10, {}, {}},
      {pathOf({M(2, 3)}), 10, {}, {M(2, 3)}},
      {pathOf({M(2, 3), Z(), Z()}), 10, {}, {M(2, 3), Z(), Z()}},
      {pathOf({M(2, 3), L(2, 3)}), 10, {.keep = true}, {M(2, 3), L(2, 3)}},
      // A length that is not finite gives no samples.
      {pathOf({M(0, 0), L(kInf, 0), L(1, 1)}), 10, {}, {M(0, 0)}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    expectElements(*resample(rows[i].path, rows[i].rate, rows[i].options), rows[i].expected, 1e-12);
  }
  // Rates of zero, negative and not a number: one sample, at the start.
  for (double rate : {0.0, -5.0, kNaN, -kInf}) expectElements(*resample(unitSquare(), rate), {M(0, 0), L(0, 0), Z()});
  auto nan = resample(pathOf({M(0, 0), L(kNaN, 0), Z()}), 10);
  ASSERT_EQ(nan->elementCount(), 2u);
  EXPECT_EQ(nan->elementAtIndex(1), K::ClosePath);
}

TEST(Resample, FractionalRatesTakeWholeMultiplesAndCurvesAreFlattenedFirst) {
  auto line = pathOf({M(0, 0), L(10, 0)});
  EXPECT_EQ(countOf(*resample(line, 10.5), K::LineTo), 10u);
  EXPECT_EQ(countOf(*resample(line, 10), K::LineTo), 10u);
  auto out = resample(pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0})}), 20);
  EXPECT_EQ(countOf(*out, K::CurveTo), 0u);
  EXPECT_EQ(countOf(*out, K::LineTo), 20u);
  EXPECT_LT(std::hypot(out->currentPoint().x - 10, out->currentPoint().y), 1e-9);
}

TEST(ResampleBadInput, HugeRatesAndLineStripOverrunsStopAtTheCap) {
  for (double rate : {1e12, kInf}) {
    auto out = resample(unitSquare(), rate);
    // Capped samples spread over the whole length: the last one is the close.
    EXPECT_EQ(countOf(*out, K::LineTo), kMaxSamples - 1);
    EXPECT_EQ(out->elementAtIndex(out->elementCount() - 1), K::ClosePath);
    EXPECT_EQ(out->associatedPoints(out->elementCount() - 2)[0], (Point{0, 4.0 / kMaxSamples}));
  }
  // Measured length 1e-6, a jump of 1e6 walked: 1e12 targets wanted, the cap is walked past.
  auto out = resample(pathOf({M(0, 0), L(1e-6, 0), M(1e6, 0)}), 1, {.lineStrip = true});
  EXPECT_EQ(countOf(*out, K::LineTo), kMaxSamples);
}

TEST(ResampleAndIntermediatePoint, ThePatchesPassTheirInputsOn) {
  V2DBezierPathResamplePatch resample("r");
  ASSERT_NE(run(resample), nullptr);
  EXPECT_TRUE(run(resample)->isEmpty());
  setInputs(resample, {{"inputBezierPath", objectValue(unitSquare())}, {"inputSampleRate", 8}, {"inputKeepOriginalPoints", true}});
  EXPECT_EQ(run(resample)->elementCount(), 9u);
  V2DBezierPathPointPatch point("p");
  point.outputX.setDoubleValue(7);
  EXPECT_TRUE(point.execute(nullptr, 0, {}) && point.outputX.doubleValue() == 0);
  setInputs(point, {{"inputBezierPath", objectValue(pathOf({M(0, 0), L(0, 8)}))}, {"inputT", 0.25}});
  ASSERT_TRUE(point.execute(nullptr, 0, {}));
  EXPECT_EQ(Point(point.outputX.doubleValue(), point.outputY.doubleValue()), (Point{0, 2}));
}

TEST(IntermediatePoint, WorkedFractions) {
  auto line = pathOf({M(0, 0), L(10, 0)});
  auto two = pathOf({M(0, 0), L(1, 0), M(100, 0), L(101, 0)});
  const std::vector<std::tuple<BezierPathRef, double, double, Point>> rows = {
      {line, 0.5, 0.01, {5, 0}}, {line, 1, 0.01, {10, 0}}, {line, 2, 0.01, {10, 0}},
      {line, 0, 0.01, {0, 0}}, {line, -1, 0.01, {0, 0}}, {line, kNaN, 0.01, {0, 0}}, {line, kInf, kNaN, {10, 0}},
      // A tiny fraction keeps its own place rather than a capped spacing.
      {line, 1e-9, 0.01, {1e-8, 0}},
      // Along the square to its close, which ends at the start; across subpaths.
      {unitSquare(), 0.5, 0.01, {1, 1}}, {unitSquare(), 0.625, 0.01, {0.5, 1}}, {unitSquare(), 1, 0.01, {0, 0}},
      {two, 0.75, 0.01, {100.5, 0}},
      // Zero length: the point of the last element (a close carries its subpath's start).
      {nullptr, 0.5, 0.01, {0, 0}}, {pathOf({M(3, 4)}), 0.5, 0.01, {3, 4}}, {pathOf({M(3, 4), Z(), Z()}), 0.5, 0.01, {3, 4}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& [path, t, flatness, expected] = rows[i];
    const Point p = pointOn(path, t, flatness);
    EXPECT_NEAR(p.x, expected.x, 1e-12 * std::max(1.0, std::abs(expected.x))) << i;
    EXPECT_EQ(p.y, expected.y) << i;
  }
}

TEST(ContainsPoint, FillRulesOpenSubpathsAndPointsThatCannotBeInside) {
  auto ring = BezierPath::bezierPathWithOvalInRect({{-10, -10}, {20, 20}});
  ring->appendBezierPathWithOvalInRect({{-5, -5}, {10, 10}});
  // Path, fill rule, point, inside. In the band between the circles both rules agree; an open
  // subpath counts as closed.
  const std::vector<std::tuple<BezierPathRef, uint64_t, Point, bool>> rows = {
      {ring, 0, {0, 0}, true}, {ring, 1, {0, 0}, false}, {ring, 1, {7, 0}, true}, {ring, 1, {11, 0}, false},
      {pathOf({M(0, 0), L(4, 0), L(4, 4)}), 1, {3, 1}, true}, {nullptr, 0, {0, 0}, false}, {unitSquare(), 0, {kNaN, 0.5}, false},
  };
  V2DBezierPathContainsPointPatch patch("c");
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& [path, rule, point, inside] = rows[i];
    patch.outputContains.setBooleanValue(!inside);
    patch.inputBezierPath.setBezierPathValue(path);
    setInputs(patch, {{"inputFillRule", rule}, {"inputX", point.x}, {"inputY", point.y}});
    ASSERT_TRUE(patch.execute(nullptr, 0, {}));
    EXPECT_EQ(patch.outputContains.booleanValue(), inside) << i;
  }
}
