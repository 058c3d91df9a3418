// Vector Transform, Reverse, Close, Flatten and Bounds.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "patches/operators/PathOperatorPatches.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

TEST(Transform, RotatesThenScalesThenTranslatesControlPointsToo) {
  V2DBezierPathTransformPatch patch("t");
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  patch.inputScaleX.setDoubleValue(2);
  patch.inputRotateDegrees.setDoubleValue(90);
  patch.inputTranslateX.setDoubleValue(10);
  // (x, y) -> (2 * -y + 10, x): (1, 0) -> (10, 1), (0, 1) -> (8, 0).
  expectElements(*run(patch), {M(10, 0), L(10, 1), L(8, 1), L(8, 0), Z()}, 1e-12);
  auto in = pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8})});
  patch.inputBezierPath.setBezierPathValue(in);
  patch.inputRotateDegrees.setDoubleValue(0);
  patch.inputTranslateX.setDoubleValue(1);
  patch.inputTranslateY.setDoubleValue(-1);
  patch.inputScaleX.setDoubleValue(3);
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
  EXPECT_NE(out.get(), in.get());
  EXPECT_TRUE(out->isEqualToBezierPath(*in));
  EXPECT_EQ(out->lineWidth(), 3);
  // Numbers that are not finite still give a path of the same elements.
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  patch.inputRotateDegrees.setDoubleValue(kNaN);
  patch.inputScaleX.setDoubleValue(kInf);
  ASSERT_NE(run(patch), nullptr);
  EXPECT_EQ(run(patch)->elementCount(), 5u);
}

TEST(Reverse, OpenAndClosedSubpathsAreTracedBackwards) {
  V2DBezierPathReversePatch patch("r");
  auto in = pathOf({M(0, 0), L(1, 0), C({2, 0}, {3, 1}, {3, 2})});
  patch.inputBezierPath.setBezierPathValue(in);
  expectElements(*run(patch), {M(3, 2), C({3, 1}, {2, 0}, {1, 0}), L(0, 0)});
  expectElements(*in, {M(0, 0), L(1, 0), C({2, 0}, {3, 1}, {3, 2})});
  patch.inputBezierPath.setBezierPathValue(unitSquare());
  ASSERT_NE(run(patch), nullptr);
  expectElements(*run(patch), {M(0, 1), L(1, 1), L(1, 0), L(0, 0), Z()});  // a closed subpath starts at its last point
}

TEST(Close, ClosesOnlyTheLastOfTwoOpenSubpaths) {
  V2DBezierPathClosePatch patch("c");
  auto in = pathOf({M(0, 0), L(1, 0), M(5, 5), L(6, 5), L(6, 6)});
  patch.inputBezierPath.setBezierPathValue(in);
  expectElements(*run(patch), {M(0, 0), L(1, 0), M(5, 5), L(6, 5), L(6, 6), Z()});
  EXPECT_EQ(in->elementCount(), 5u);
  patch.inputBezierPath.setBezierPathValue(BezierPath::bezierPath());
  ASSERT_NE(run(patch), nullptr);
  EXPECT_TRUE(run(patch)->isEmpty());
  patch.inputBezierPath.setBezierPathValue(nullptr);
  EXPECT_EQ(run(patch), nullptr);
}

TEST(Flatten, CurvesBecomeLinesEndingAtTheCurveEnd) {
  V2DBezierPathFlattenPatch patch("f");
  EXPECT_EQ(run(patch), nullptr);
  patch.inputBezierPath.setBezierPathValue(pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0}), Z()}));
  auto fine = run(patch);
  ASSERT_NE(fine, nullptr);
  ASSERT_GT(fine->elementCount(), 10u);
  for (size_t i = 1; i + 1 < fine->elementCount(); ++i) EXPECT_EQ(fine->elementAtIndex(i), K::LineTo);
  EXPECT_EQ(fine->elementAtIndex(fine->elementCount() - 1), K::ClosePath);
  EXPECT_EQ(fine->associatedPoints(fine->elementCount() - 2)[0], (Point{10, 0}));
  patch.inputFlatness.setDoubleValue(10);
  EXPECT_LT(run(patch)->elementCount(), fine->elementCount());
  // Flatness that is not finite stays bounded.
  for (double f : {kNaN, kInf}) {
    patch.inputFlatness.setDoubleValue(f);
    auto out = run(patch);
    ASSERT_NE(out, nullptr);
    EXPECT_GE(out->elementCount(), 3u);
    EXPECT_LE(out->elementCount(), 2u + detail::kMaxSegmentsPerCurve);
  }
}

// x, y, width, height of the rectangle enclosing the path.
TEST(Bounds, WorkedRectangles) {
  const std::vector<std::pair<BezierPathRef, Rect>> rows = {
      // The curve, not its control points: the highest point is at t = 1/2, y = 3/4 * 10.
      {pathOf({M(0, 0), C({0, 10}, {2, 10}, {2, 0})}), {{0, 0}, {2, 7.5}}},
      {pathOf({M(3, -4)}), {{3, -4}, {0, 0}}},  // one move: a zero-size rectangle there
      {pathOf({M(1, 1), Z(), Z(), M(4, 3), Z()}), {{1, 1}, {3, 2}}},  // closes only: the move points
      {BezierPath::bezierPath(), {}},  // empty and absent paths: four zeros
      {nullptr, {}},
  };
  for (const auto& [path, r] : rows) {
    V2DBezierPathBoundsPatch patch("b");
    for (auto* port : {&patch.outputX, &patch.outputY, &patch.outputWidth, &patch.outputHeight}) port->setDoubleValue(9);
    patch.inputBezierPath.setBezierPathValue(path);
    ASSERT_TRUE(patch.execute(nullptr, 0, {}));
    EXPECT_DOUBLE_EQ(patch.outputX.doubleValue(), r.origin.x);
    EXPECT_DOUBLE_EQ(patch.outputY.doubleValue(), r.origin.y);
    EXPECT_DOUBLE_EQ(patch.outputWidth.doubleValue(), r.size.width);
    EXPECT_DOUBLE_EQ(patch.outputHeight.doubleValue(), r.size.height);
  }
}
