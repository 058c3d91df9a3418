#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "path/BezierPath.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

struct Cubic {
  Point p0, p1, p2, p3;
  Point at(double t) const {
    const double u = 1 - t, a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    return {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y};
  }
};

double segDist(Point p, Point a, Point b) {
  const double dx = b.x - a.x, dy = b.y - a.y, l = dx * dx + dy * dy;
  const double t = l > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / l, 0.0, 1.0) : 0;
  return std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

std::vector<Point> polyline(const BezierPath& flat) {
  std::vector<Point> pl;
  for (size_t i = 0; i < flat.elementCount(); ++i) {
    EXPECT_NE(flat.elementAtIndex(i), BezierPathElement::CurveTo);
    const auto pts = flat.associatedPoints(i);
    if (!pts.empty()) pl.push_back(pts[0]);
  }
  return pl;
}

// Largest distance from the true curve (densely sampled) to the polyline.
double deviation(const Cubic& c, const std::vector<Point>& pl) {
  double worst = 0;
  for (int i = 0; i <= 20000; ++i) {
    const Point p = c.at(i / 20000.0);
    double best = INFINITY;
    for (size_t j = 1; j < pl.size(); ++j) best = std::min(best, segDist(p, pl[j - 1], pl[j]));
    worst = std::max(worst, best);
  }
  return worst;
}

std::shared_ptr<BezierPath> curvePath(const Cubic& c) { return pathOf({M(c.p0.x, c.p0.y), C(c.p1, c.p2, c.p3)}); }

// Wang's uniform count: a strict upper bound that near-minimal flattening must not exceed.
double wangCount(const Cubic& c, double f) {
  const double a = std::hypot(c.p0.x - 2 * c.p1.x + c.p2.x, c.p0.y - 2 * c.p1.y + c.p2.y);
  const double b = std::hypot(c.p1.x - 2 * c.p2.x + c.p3.x, c.p1.y - 2 * c.p2.y + c.p3.y);
  return std::ceil(std::sqrt(0.75 * std::max(a, b) / f));
}

}  // namespace

TEST(Flatten, WithinFlatnessEndsAtEndPointNoMoreThanWang) {
  const Cubic curves[] = {{{0, 0}, {0, 100}, {100, 100}, {100, 0}},
                          {{0, 0}, {300, 40}, {-200, 40}, {100, 0}},  // loop
                          {{10, 10}, {90, 10}, {10, 90}, {90, 90}},   // inflection
                          {{0, 0}, {1, 1}, {2, 2}, {50, 50}}};        // straight, uneven speed
  for (const Cubic& c : curves) {
    size_t previous = SIZE_MAX;
    for (double f : {0.001, 0.01, 0.1, 1.0, 10.0}) {
      auto flat = curvePath(c)->bezierPathByFlatteningPathWithFlatness(f);
      const auto pl = polyline(*flat);
      ASSERT_GE(pl.size(), 2u);
      EXPECT_EQ(flat->elementAtIndex(0), BezierPathElement::MoveTo);
      EXPECT_EQ(pl.front(), c.p0);
      EXPECT_EQ(pl.back(), c.p3);
      EXPECT_LE(deviation(c, pl), f) << "flatness " << f;
      const size_t segments = pl.size() - 1;
      EXPECT_LE(segments, std::max(1.0, wangCount(c, f))) << "flatness " << f;
      EXPECT_GE(previous, segments);
      previous = segments;
    }
  }
  // A straight curve is one line whatever the flatness.
  EXPECT_EQ(curvePath(curves[3])->bezierPathByFlatteningPathWithFlatness(1e-6)->elementCount(), 2u);
}

// Moves, lines and closes are copied, curves become lines to their end; the attributes are kept
// and the receiver is left alone.
TEST(Flatten, OtherElementsCopiedAttributesKept) {
  auto p = pathOf({M(0, 0), L(5, 0), C({9, 0}, {9, 10}, {5, 10}), Z(), M(20, 20)});
  p->setLineWidth(6);
  const auto e = elementsOf(*p->bezierPathByFlatteningPathWithFlatness(0.1));
  ASSERT_GT(e.size(), 6u);
  EXPECT_EQ(std::vector(e.begin(), e.begin() + 2), (std::vector{M(0, 0), L(5, 0)}));
  EXPECT_EQ(std::vector(e.end() - 3, e.end()), (std::vector{L(5, 10), Z(), M(20, 20)}));
  EXPECT_EQ(p->bezierPathByFlatteningPathWithFlatness(0.1)->lineWidth(), 6);
  EXPECT_EQ(p->elementCount(), 5u);
}

TEST(Flatten, DefaultFlatnessGovernsPlainFlatteningAndIsLeftAlone) {
  auto p = curvePath({{0, 0}, {0, 100}, {100, 100}, {100, 0}});
  p->bezierPathByFlatteningPathWithFlatness(0.01);
  p->structureRepresentationFlattened(true, 0.02);
  EXPECT_TRUE(p->bezierPathByFlatteningPath()->isEqualToBezierPath(*p->bezierPathByFlatteningPathWithFlatness(0.6)));
  BezierPath::setDefaultFlatness(0.05);
  EXPECT_TRUE(p->bezierPathByFlatteningPath()->isEqualToBezierPath(*p->bezierPathByFlatteningPathWithFlatness(0.05)));
  BezierPath::setDefaultFlatness(0.6);
}

// A flatness not positive or no number means the smallest; the work per curve is capped.
TEST(FlattenBadInput, FlatnessAndCoordinatesOutOfRange) {
  auto p = curvePath({{0, 0}, {0, 100}, {100, 100}, {100, 0}});
  auto finest = p->bezierPathByFlatteningPathWithFlatness(1e-4);
  for (double f : {0.0, -1.0, double(NAN), -double(INFINITY)})
    EXPECT_TRUE(p->bezierPathByFlatteningPathWithFlatness(f)->isEqualToBezierPath(*finest)) << f;
  EXPECT_EQ(p->bezierPathByFlatteningPathWithFlatness(INFINITY)->elementCount(), 2u);
  EXPECT_EQ(BezierPath().bezierPathByFlatteningPathWithFlatness(0.01)->elementCount(), 0u);

  auto tiny = p->bezierPathByFlatteningPathWithFlatness(1e-300);
  EXPECT_EQ(tiny->elementCount(), 1 + detail::kMaxSegmentsPerCurve);
  EXPECT_EQ(tiny->currentPoint(), (Point{100, 0}));

  auto huge = curvePath({{0, 0}, {0, 1e300}, {1e300, 1e300}, {1e300, 0}})->bezierPathByFlatteningPathWithFlatness(0.01);
  EXPECT_EQ(huge->elementCount(), 1 + detail::kMaxSegmentsPerCurve);
  EXPECT_EQ(huge->currentPoint(), (Point{1e300, 0}));

  // Not a number anywhere in a curve: one line to its end.
  auto nan = curvePath({{0, 0}, {NAN, 5}, {3, 3}, {4, 0}})->bezierPathByFlatteningPathWithFlatness(0.01);
  EXPECT_EQ(nan->elementCount(), 2u);
  EXPECT_EQ(nan->currentPoint(), (Point{4, 0}));
}
