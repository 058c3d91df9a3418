// Bounds and containment.
#include <gtest/gtest.h>

#include <cmath>

#include "path/AffineTransform.h"
#include "path/BezierPath.h"

using namespace vellum;

TEST(BezierPathBounds, EmptyLoneMoveAndEveryMoveCounts) {
  EXPECT_EQ(BezierPath().bounds(), Rect{});
  BezierPath one;
  one.moveToPoint({3, 4});
  EXPECT_EQ(one.bounds(), (Rect{{3, 4}, {0, 0}}));
  BezierPath moves;
  moves.moveToPoint({-5, -5});
  moves.moveToPoint({0, 0});
  moves.lineToPoint({1, 1});
  EXPECT_EQ(moves.bounds(), (Rect{{-5, -5}, {6, 6}}));
}

TEST(BezierPathBounds, CurveByItsExtentNotItsControlPoints) {
  BezierPath p;
  p.moveToPoint({0, 0});
  p.curveToPoint({10, 0}, {0, 100}, {10, 100});
  EXPECT_EQ(p.bounds(), (Rect{{0, 0}, {10, 75}}));
  EXPECT_EQ(p.controlPointBounds(), (Rect{{0, 0}, {10, 100}}));

  // An S-curve overshooting in x on both sides: extrema at t = 1/2 -+ sqrt(3)/6.
  BezierPath s;
  s.moveToPoint({0, 0});
  s.curveToPoint({0, 30}, {-60, 10}, {60, 20});
  const Rect b = s.bounds();
  const double t = 0.5 - std::sqrt(3.0) / 6, u = 1 - t;
  const double minX = 3 * u * u * t * -60 + 3 * u * t * t * 60;
  EXPECT_NEAR(b.origin.x, minX, 1e-12);
  EXPECT_NEAR(b.origin.x + b.size.width, -minX, 1e-12);
  EXPECT_EQ(b.origin.y, 0);
  EXPECT_EQ(b.size.height, 30);
}

// Four cubics from 45 degrees reach the oval's rect at their midpoints exactly on paper; the
// evaluated extremum is off by rounding noise (-2.8e-14 for a 210 circle flipped as SVG reading
// flips it), which must not widen the box: an image of automatic size grew a row, 210 x 211.
TEST(BezierPathBounds, OvalBoundsAreItsRectExactly) {
  const Rect rects[] = {{{0, 0}, {210, 210}}, {{-3, 2}, {6, 4}}, {{0, 0}, {1000, 1000}}, {{0, 0}, {3.5, 7}},
                        {{100, -50}, {1, 1}}};
  for (const Rect& r : rects)
    for (bool flipped : {false, true}) {
      BezierPath p;
      p.appendBezierPathWithOvalInRect(r);
      Rect expected = r;
      if (flipped) {
        AffineTransform flip;
        flip.setTransformStruct(1, 0, 0, -1, 0, r.size.height);
        p.transformUsingAffineTransform(flip);
        expected.origin.y = r.size.height - r.origin.y - r.size.height;
      }
      EXPECT_EQ(p.bounds(), expected) << r.origin.x << " " << r.origin.y << " " << r.size.width << (flipped ? " flipped" : "");
    }
}

TEST(BezierPathContains, NonZeroAndEvenOdd) {
  BezierPath p;
  p.appendBezierPathWithRect({{0, 0}, {10, 10}});
  p.appendBezierPathWithRect({{2, 2}, {6, 6}});  // same direction: winding 2 inside it
  EXPECT_TRUE(p.containsPoint({5, 5}));
  EXPECT_TRUE(p.containsPoint({1, 5}));
  EXPECT_FALSE(p.containsPoint({11, 5}));
  p.setWindingRule(EvenOddWindingRule);
  EXPECT_FALSE(p.containsPoint({5, 5}));
  EXPECT_TRUE(p.containsPoint({1, 5}));

  BezierPath hole;  // inner square reversed: a hole under either rule
  hole.appendBezierPathWithRect({{0, 0}, {10, 10}});
  hole.appendBezierPath(*BezierPath::bezierPathWithRect({{2, 2}, {6, 6}})->bezierPathByReversingPath());
  EXPECT_FALSE(hole.containsPoint({5, 5}));
  EXPECT_TRUE(hole.containsPoint({1, 5}));
}

TEST(BezierPathContains, OpenSubpathsCountAsClosed) {
  BezierPath p;
  p.moveToPoint({0, 0});
  p.lineToPoint({10, 0});
  p.lineToPoint({10, 10});
  EXPECT_TRUE(p.containsPoint({8, 2}));
  EXPECT_FALSE(p.containsPoint({2, 8}));
}

TEST(BezierPathContains, FollowsCurvesExactly) {
  BezierPath p;  // the hump of CurveByItsExtent: y(x) = 75 at x = 5
  p.moveToPoint({0, 0});
  p.curveToPoint({10, 0}, {0, 100}, {10, 100});
  p.closePath();
  EXPECT_TRUE(p.containsPoint({5, 74.999}));
  EXPECT_FALSE(p.containsPoint({5, 75.001}));
  EXPECT_FALSE(p.containsPoint({5, -0.001}));
  EXPECT_FALSE(p.containsPoint({NAN, 3}));
}

TEST(BezierPathScale, MillionElementsStayCheap) {
  auto p = BezierPath::bezierPath();
  p->moveToPoint({0, 0});
  for (int i = 1; i < 1000000; ++i) p->lineToPoint({static_cast<double>(i % 1000), static_cast<double>(i / 1000)});
  EXPECT_EQ(p->elementCount(), 1000000u);
  EXPECT_EQ(p->bounds(), (Rect{{0, 0}, {999, 999}}));
  EXPECT_EQ(p->bezierPathByFlatteningPathWithFlatness(0.01)->elementCount(), 1000000u);
  EXPECT_EQ(p->bezierPathByReversingPath()->currentPoint(), (Point{0, 0}));
  (void)p->containsPoint({500.5, 500.5});
  EXPECT_FALSE(p->containsPoint({-1, -1}));
}
