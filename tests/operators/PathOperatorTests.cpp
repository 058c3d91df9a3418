#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "patches/operators/PathOperatorPatches.h"
#include "plugin/Vellum2DPrincipal.h"
#include "tests/operators/OperatorTestSupport.h"

using namespace vellum;
using namespace vellum::test;

namespace {

template <class T>
BezierPathRef run(T& patch) {
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputBezierPath.bezierPathValue();
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(Transform, UnitSquareRotatesThenScalesThenTranslates) {
  V2DBezierPathTransformPatch patch("t");
  EXPECT_EQ(patch.userInfo().memberForKey("name").stringValue(), "Vellum Vector Transform");
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  patch.inputScaleX.setDoubleValue(2);
  patch.inputScaleY.setDoubleValue(1);
  patch.inputRotateDegrees.setDoubleValue(90);
  patch.inputTranslateX.setDoubleValue(10);
  // (x, y) -> (2 * -y + 10, x): (1, 0) -> (10, 1), (0, 1) -> (8, 0).
  expectElements(*run(patch), {M(10, 0), L(10, 1), L(8, 1), L(8, 0), Z()}, 1e-12);
}

TEST(Transform, InitialValuesGiveAnEqualPathThatIsANewObject) {
  V2DBezierPathTransformPatch patch("t");
  EXPECT_EQ(patch.inputScaleX.doubleValue(), 1);
  EXPECT_EQ(patch.inputScaleY.doubleValue(), 1);
  EXPECT_EQ(patch.inputTranslateX.doubleValue(), 0);
  auto in = pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8}), Z()});
  in->setLineWidth(3);
  patch.inputBezierPath.setBezierPathValue(in);
  auto out = run(patch);
  ASSERT_NE(out, nullptr);
  EXPECT_NE(out.get(), in.get());
  EXPECT_TRUE(out->isEqualToBezierPath(*in));
  EXPECT_EQ(out->lineWidth(), 3);
}

TEST(Transform, ControlPointsAreMappedAndTheInputIsLeftAlone) {
  V2DBezierPathTransformPatch patch("t");
  auto in = pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8})});
  patch.inputBezierPath.setBezierPathValue(in);
  patch.inputTranslateX.setDoubleValue(1);
  patch.inputTranslateY.setDoubleValue(-1);
  patch.inputScaleX.setDoubleValue(3);
  expectElements(*run(patch), {M(4, 1), C({10, 3}, {16, 5}, {22, 7})});
  expectElements(*in, {M(1, 2), C({3, 4}, {5, 6}, {7, 8})});
}

TEST(Transform, BadNumbersStayBounded) {
  V2DBezierPathTransformPatch patch("t");
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  patch.inputRotateDegrees.setDoubleValue(kNaN);
  patch.inputScaleX.setDoubleValue(kInf);
  auto out = run(patch);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->elementCount(), 5u);
}

TEST(Reverse, OpenAndClosedSubpathsAreTracedBackwards) {
  V2DBezierPathReversePatch patch("r");
  EXPECT_EQ(patch.userInfo().memberForKey("name").stringValue(), "Vellum Vector Reverse");
  auto in = pathOf({M(0, 0), L(1, 0), C({2, 0}, {3, 1}, {3, 2})});
  patch.inputBezierPath.setBezierPathValue(in);
  expectElements(*run(patch), {M(3, 2), C({3, 1}, {2, 0}, {1, 0}), L(0, 0)});
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  auto out = run(patch);
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(out->elementCount(), 5u);
  EXPECT_EQ(out->elementAtIndex(4), K::ClosePath);
  expectElements(*in, {M(0, 0), L(1, 0), C({2, 0}, {3, 1}, {3, 2})});
}

TEST(Close, ClosesOnlyTheLastOfTwoOpenSubpaths) {
  V2DBezierPathClosePatch patch("c");
  EXPECT_EQ(patch.userInfo().memberForKey("name").stringValue(), "Vellum Vector Close");
  auto in = pathOf({M(0, 0), L(1, 0), M(5, 5), L(6, 5), L(6, 6)});
  patch.inputBezierPath.setBezierPathValue(in);
  expectElements(*run(patch), {M(0, 0), L(1, 0), M(5, 5), L(6, 5), L(6, 6), Z()});
  EXPECT_EQ(in->elementCount(), 5u);
}

TEST(Close, EmptyPathStaysEmptyAndAbsentGivesNothing) {
  V2DBezierPathClosePatch patch("c");
  patch.inputBezierPath.setBezierPathValue(BezierPath::bezierPath());
  auto out = run(patch);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->isEmpty());
  patch.inputBezierPath.setBezierPathValue(nullptr);
  EXPECT_EQ(run(patch), nullptr);
}

TEST(Flatten, CurvesBecomeLinesEndingAtTheCurveEnd) {
  V2DBezierPathFlattenPatch patch("f");
  EXPECT_EQ(patch.userInfo().memberForKey("name").stringValue(), "Vellum Vector Flatten");
  EXPECT_EQ(patch.inputFlatness.doubleValue(), 0.01);
  patch.inputFlatness.setDoubleValue(0);
  EXPECT_EQ(patch.inputFlatness.doubleValue(), 0.0001);
  patch.inputFlatness.setDoubleValue(0.01);
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0}), Z()}));
  auto fine = run(patch);
  ASSERT_NE(fine, nullptr);
  ASSERT_GT(fine->elementCount(), 10u);
  for (size_t i = 1; i + 1 < fine->elementCount(); ++i) EXPECT_EQ(fine->elementAtIndex(i), K::LineTo);
  EXPECT_EQ(fine->elementAtIndex(fine->elementCount() - 1), K::ClosePath);
  EXPECT_EQ(fine->associatedPoints(fine->elementCount() - 2)[0], (Point{10, 0}));
  patch.inputFlatness.setDoubleValue(10);
  auto coarse = run(patch);
  EXPECT_LT(coarse->elementCount(), fine->elementCount());
}

TEST(Flatten, AbsentGivesNothingAndNaNFlatnessIsBounded) {
  V2DBezierPathFlattenPatch patch("f");
  EXPECT_EQ(run(patch), nullptr);
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0})}));
  for (double f : {kNaN, kInf}) {
    patch.inputFlatness.setDoubleValue(f);
    auto out = run(patch);
    ASSERT_NE(out, nullptr);
    EXPECT_GE(out->elementCount(), 2u);
    EXPECT_LE(out->elementCount(), 1u + detail::kMaxSegmentsPerCurve);
  }
}

TEST(Bounds, EnclosesTheCurveNotItsControlPoints) {
  V2DBezierPathBoundsPatch patch("b");
  EXPECT_EQ(patch.userInfo().memberForKey("name").stringValue(), "Vellum Vector Bounds");
  // The curve's highest point is at t = 1/2: y = 3/4 * 10.
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), C({0, 10}, {2, 10}, {2, 0})}));
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_DOUBLE_EQ(patch.outputX.doubleValue(), 0);
  EXPECT_DOUBLE_EQ(patch.outputY.doubleValue(), 0);
  EXPECT_DOUBLE_EQ(patch.outputWidth.doubleValue(), 2);
  EXPECT_DOUBLE_EQ(patch.outputHeight.doubleValue(), 7.5);
}

TEST(Bounds, OneMoveIsAZeroSizeRectangleAtThatPoint) {
  V2DBezierPathBoundsPatch patch("b");
  patch.inputBezierPath.setBezierPathValue(pathOf({M(3, -4)}));
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_EQ(patch.outputX.doubleValue(), 3);
  EXPECT_EQ(patch.outputY.doubleValue(), -4);
  EXPECT_EQ(patch.outputWidth.doubleValue(), 0);
  EXPECT_EQ(patch.outputHeight.doubleValue(), 0);
}

TEST(Bounds, EmptyAndAbsentPathsGiveFourZeros) {
  V2DBezierPathBoundsPatch patch("b");
  patch.outputX.setDoubleValue(9);
  patch.outputHeight.setDoubleValue(9);
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_EQ(patch.outputX.doubleValue(), 0);
  EXPECT_EQ(patch.outputHeight.doubleValue(), 0);
  patch.outputWidth.setDoubleValue(9);
  patch.inputBezierPath.setBezierPathValue(BezierPath::bezierPath());
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_EQ(patch.outputWidth.doubleValue(), 0);
}

TEST(Bounds, CloseOnlySubpathsAreTheirMovePoints) {
  V2DBezierPathBoundsPatch patch("b");
  patch.inputBezierPath.setBezierPathValue(pathOf({M(1, 1), Z(), Z(), M(4, 3), Z()}));
  ASSERT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_EQ(patch.outputX.doubleValue(), 1);
  EXPECT_EQ(patch.outputY.doubleValue(), 1);
  EXPECT_EQ(patch.outputWidth.doubleValue(), 3);
  EXPECT_EQ(patch.outputHeight.doubleValue(), 2);
}

TEST(OperatorCatalogue, ElevenOperatorRowsMakeTheirPatches) {
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"V2DBezierPathContainsPointPatch", "Vellum Vector Contains Point"},
      {"V2DBezierPathCombinePatch", "Vellum Vector Combine"},
      {"V2DBezierPathReversePatch", "Vellum Vector Reverse"},
      {"V2DBezierPathTransformPatch", "Vellum Vector Transform"},
      {"V2DBezierPathBoundsPatch", "Vellum Vector Bounds"},
      {"V2DBezierPathClosePatch", "Vellum Vector Close"},
      {"V2DBezierPathNoisePatch", "Vellum Vector Noise"},
      {"V2DBezierPathFlattenPatch", "Vellum Vector Flatten"},
      {"V2DBezierPathMorphPatch", "Vellum Vector Morph"},
      {"V2DBezierPathPointPatch", "Vellum Vector Intermediate Point"},
      {"V2DBezierPathResamplePatch", "Vellum Vector Resample"},
  };
  for (const auto& [name, display] : expected) {
    const PatchClass* found = nullptr;
    for (const PatchClass* c : patchClasses())
      if (c->name == name) found = c;
    ASSERT_NE(found, nullptr) << name;
    auto patch = found->create("id");
    ASSERT_NE(patch, nullptr) << name;
    EXPECT_EQ(patch->userInfo().memberForKey("name").stringValue(), display);
    EXPECT_EQ(found->effectiveTimeMode(), name == "V2DBezierPathMorphPatch" ? 1u : 0u) << name;
  }
}
