#include <gtest/gtest.h>

#include <cmath>

#include "patches/sources/PrimitiveShapePatches.h"

using namespace vellum;

namespace {

constexpr double kK = 0.55228474983079345;  // 4/3 tan(pi/8)

struct El {
  BezierPathElement kind;
  std::vector<Point> points;
};

std::vector<El> elementsOf(const BezierPath& path) {
  std::vector<El> out;
  for (size_t i = 0; i < path.elementCount(); ++i) {
    auto pts = path.associatedPoints(i);
    out.push_back({path.elementAtIndex(i), {pts.begin(), pts.end()}});
  }
  return out;
}

void expectElements(const BezierPath& path, const std::vector<El>& expected, double tolerance = 1e-12) {
  auto got = elementsOf(path);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].kind, expected[i].kind) << "element " << i;
    ASSERT_EQ(got[i].points.size(), expected[i].points.size()) << "element " << i;
    for (size_t j = 0; j < got[i].points.size(); ++j) {
      EXPECT_NEAR(got[i].points[j].x, expected[i].points[j].x, tolerance) << "element " << i << " point " << j;
      EXPECT_NEAR(got[i].points[j].y, expected[i].points[j].y, tolerance) << "element " << i << " point " << j;
    }
  }
}

template <class T>
BezierPathRef run(T& patch) {
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputBezierPath.bezierPathValue();
}

using K = BezierPathElement;

}  // namespace

TEST(PrimitiveShapes, DefaultArcIsAQuarterCircleCounterClockwise) {
  V2DBezierPathWithArcPatch arc("a");
  EXPECT_EQ(arc.userInfo().memberForKey("name").stringValue(), "Vellum Vector With Arc");
  expectElements(*run(arc), {{K::MoveTo, {{10, 0}}}, {K::CurveTo, {{10, 10 * kK}, {10 * kK, 10}, {0, 10}}}});
}

TEST(PrimitiveShapes, ClockwiseArcSweepsTheOtherThreeQuarters) {
  V2DBezierPathWithArcPatch arc("a");
  arc.inputClockwise.setBooleanValue(true);
  expectElements(*run(arc), {{K::MoveTo, {{10, 0}}},
                             {K::CurveTo, {{10, -10 * kK}, {10 * kK, -10}, {0, -10}}},
                             {K::CurveTo, {{-10 * kK, -10}, {-10, -10 * kK}, {-10, 0}}},
                             {K::CurveTo, {{-10, 10 * kK}, {-10 * kK, 10}, {0, 10}}}});
}

TEST(PrimitiveShapes, EqualAnglesGiveOnlyTheStartPoint) {
  V2DBezierPathWithArcPatch arc("a");
  arc.inputStartDegrees.setDoubleValue(45);
  arc.inputEndDegrees.setDoubleValue(45);
  const double h = 10 / std::sqrt(2.0);
  expectElements(*run(arc), {{K::MoveTo, {{h, h}}}});
}

TEST(PrimitiveShapes, RadiusHasAMinimumButConnectionsPassNegativesThrough) {
  V2DBezierPathWithArcPatch arc("a");
  arc.inputRadius.setValue(Value(-5));
  EXPECT_EQ(arc.inputRadius.doubleValue(), 0);
  V2DBezierPathWithRectanglePatch rect("r");
  rect.inputWidth.setValue(Value(-1));
  EXPECT_EQ(rect.inputWidth.doubleValue(), 0);
}

TEST(PrimitiveShapes, DefaultCurveAndLine) {
  V2DBezierPathWithCurvePatch curve("c");
  expectElements(*run(curve), {{K::MoveTo, {{0, 0}}}, {K::CurveTo, {{2, 12}, {9, 4}, {10, 10}}}}, 0);
  V2DBezierPathWithLinePatch line("l");
  expectElements(*run(line), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{10, 10}}}}, 0);
}

TEST(PrimitiveShapes, DefaultOvalIsClosedAndStartsAtMinus45Degrees) {
  V2DBezierPathWithOvalPatch oval("o");
  auto path = run(oval);
  ASSERT_EQ(path->elementCount(), 6u);
  const double c = 5 * std::cos(M_PI / 4);
  expectElements(*path, {{K::MoveTo, {{5 + c, 5 - c}}},
                         {K::CurveTo, {{5 + c + 5 * kK * std::sin(M_PI / 4), 5 - c + 5 * kK * std::cos(M_PI / 4)},
                                       {5 + c + 5 * kK * std::sin(M_PI / 4), 5 + c - 5 * kK * std::cos(M_PI / 4)},
                                       {5 + c, 5 + c}}},
                         {K::CurveTo, {path->associatedPoints(2)[0], path->associatedPoints(2)[1], {5 - c, 5 + c}}},
                         {K::CurveTo, {path->associatedPoints(3)[0], path->associatedPoints(3)[1], {5 - c, 5 - c}}},
                         {K::CurveTo, {path->associatedPoints(4)[0], path->associatedPoints(4)[1], {5 + c, 5 - c}}},
                         {K::ClosePath, {}}},
                 1e-9);
  Rect b = path->bounds();
  EXPECT_NEAR(b.origin.x, 0, 1e-3);
  EXPECT_NEAR(b.size.width, 10, 1e-3);
}

TEST(PrimitiveShapes, DefaultRectangleAndRoundedRectangle) {
  V2DBezierPathWithRectanglePatch rect("r");
  expectElements(*run(rect), {{K::MoveTo, {{0, 0}}},
                              {K::LineTo, {{10, 0}}},
                              {K::LineTo, {{10, 10}}},
                              {K::LineTo, {{0, 10}}},
                              {K::ClosePath, {}}},
                 0);
  V2DBezierPathWithRoundedRectanglePatch rounded("rr");
  const double k = 1 - kK;
  expectElements(*run(rounded), {{K::MoveTo, {{1, 10}}},
                                 {K::CurveTo, {{k, 10}, {0, 10 - k}, {0, 9}}},
                                 {K::LineTo, {{0, 1}}},
                                 {K::CurveTo, {{0, k}, {k, 0}, {1, 0}}},
                                 {K::LineTo, {{9, 0}}},
                                 {K::CurveTo, {{10 - k, 0}, {10, k}, {10, 1}}},
                                 {K::LineTo, {{10, 9}}},
                                 {K::CurveTo, {{10, 10 - k}, {10 - k, 10}, {9, 10}}},
                                 {K::ClosePath, {}}});
}

TEST(PrimitiveShapes, ZeroSizesGiveDegenerateButValidPaths) {
  V2DBezierPathWithOvalPatch oval("o");
  oval.inputWidth.setDoubleValue(0);
  auto path = run(oval);
  EXPECT_EQ(path->elementCount(), 6u);
  EXPECT_EQ(path->bounds().size.width, 0);
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
