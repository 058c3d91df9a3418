// Arc, Curve, Line, Oval, Rectangle and Rounded Rectangle, element by element.
#include <gtest/gtest.h>

#include <cmath>

#include "patches/sources/PrimitiveShapePatches.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

template <class T>
BezierPathRef runDefault() {
  T patch("p");
  return run(patch);
}

}  // namespace

// Every shape from its initial inputs, and the arc with the inputs that change its course.
TEST(PrimitiveShapes, WorkedPaths) {
  const double k = 1 - kK, h = 10 / std::sqrt(2.0);
  V2DBezierPathWithArcPatch clockwise("a"), equal("e");
  clockwise.inputClockwise.setBooleanValue(true);
  equal.inputStartDegrees.setDoubleValue(45);
  equal.inputEndDegrees.setDoubleValue(45);
  const std::vector<std::pair<BezierPathRef, std::vector<El>>> rows = {
      {runDefault<V2DBezierPathWithArcPatch>(), {M(10, 0), C({10, 10 * kK}, {10 * kK, 10}, {0, 10})}},
      // Clockwise sweeps the other three quarters.
      {run(clockwise),
       {M(10, 0), C({10, -10 * kK}, {10 * kK, -10}, {0, -10}), C({-10 * kK, -10}, {-10, -10 * kK}, {-10, 0}),
        C({-10, 10 * kK}, {-10 * kK, 10}, {0, 10})}},
      {run(equal), {M(h, h)}},  // equal angles: only the start point
      {runDefault<V2DBezierPathWithCurvePatch>(), {M(0, 0), C({2, 12}, {9, 4}, {10, 10})}},
      {runDefault<V2DBezierPathWithLinePatch>(), {M(0, 0), L(10, 10)}},
      {runDefault<V2DBezierPathWithRectanglePatch>(), {M(0, 0), L(10, 0), L(10, 10), L(0, 10), Z()}},
      {runDefault<V2DBezierPathWithRoundedRectanglePatch>(),
       {M(1, 10), C({k, 10}, {0, 10 - k}, {0, 9}), L(0, 1), C({0, k}, {k, 0}, {1, 0}), L(9, 0),
        C({10 - k, 0}, {10, k}, {10, 1}), L(10, 9), C({10, 10 - k}, {10 - k, 10}, {9, 10}), Z()}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(rows[i].first);
    expectElements(*rows[i].first, rows[i].second, 1e-12);
  }
}

TEST(PrimitiveShapes, DefaultOvalIsClosedAndStartsAtMinus45Degrees) {
  V2DBezierPathWithOvalPatch oval("o");
  auto path = run(oval);
  ASSERT_EQ(path->elementCount(), 6u);
  const double c = 5 * std::cos(M_PI / 4);
  const double s = 5 * kK * std::sin(M_PI / 4);
  auto controls = [&](size_t i) { return std::pair{path->associatedPoints(i)[0], path->associatedPoints(i)[1]}; };
  expectElements(*path, {M(5 + c, 5 - c), C({5 + c + s, 5 - c + s}, {5 + c + s, 5 + c - s}, {5 + c, 5 + c}),
                         C(controls(2).first, controls(2).second, {5 - c, 5 + c}),
                         C(controls(3).first, controls(3).second, {5 - c, 5 - c}),
                         C(controls(4).first, controls(4).second, {5 + c, 5 - c}), Z()},
                 1e-9);
  EXPECT_NEAR(path->bounds().origin.x, 0, 1e-3);
  EXPECT_NEAR(path->bounds().size.width, 10, 1e-3);
  // Zero sizes give degenerate but valid paths.
  oval.inputWidth.setDoubleValue(0);
  EXPECT_EQ(run(oval)->elementCount(), 6u);
  EXPECT_EQ(run(oval)->bounds().size.width, 0);
  V2DBezierPathWithRectanglePatch rect("r");
  rect.inputWidth.setDoubleValue(0);
  rect.inputHeight.setDoubleValue(0);
  EXPECT_EQ(run(rect)->elementCount(), 5u);
}

TEST(PrimitiveShapes, EachExecutionMakesANewEqualPath) {
  V2DBezierPathWithRoundedRectanglePatch rounded("rr");
  auto first = run(rounded);
  auto second = run(rounded);
  EXPECT_NE(first.get(), second.get());
  EXPECT_TRUE(first->isEqualToBezierPath(*second));
  EXPECT_TRUE(rounded.outputBezierPath.wasUpdated());
}
