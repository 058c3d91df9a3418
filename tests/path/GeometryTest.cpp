// Bounds and containment.
#include <gtest/gtest.h>

#include <cmath>

#include "path/AffineTransform.h"
#include "path/BezierPath.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

// Every move counts, and a curve by its extent, not its control points.
TEST(BezierPathBounds, MovesAndCurveExtents) {
  EXPECT_EQ(BezierPath().bounds(), Rect{});
  EXPECT_EQ(pathOf({M(3, 4)})->bounds(), (Rect{{3, 4}, {0, 0}}));
  EXPECT_EQ(pathOf({M(-5, -5), M(0, 0), L(1, 1)})->bounds(), (Rect{{-5, -5}, {6, 6}}));
  auto hump = pathOf({M(0, 0), C({0, 100}, {10, 100}, {10, 0})});
  EXPECT_EQ(hump->bounds(), (Rect{{0, 0}, {10, 75}}));
  EXPECT_EQ(hump->controlPointBounds(), (Rect{{0, 0}, {10, 100}}));

  // An S-curve overshooting in x on both sides: extrema at t = 1/2 -+ sqrt(3)/6.
  const Rect b = pathOf({M(0, 0), C({-60, 10}, {60, 20}, {0, 30})})->bounds();
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

// Same-direction rings nest under the nonzero rule only; a reversed inner ring is a hole under
// both. Open subpaths count as closed; curves are followed exactly, not flattened.
TEST(BezierPathContains, WindingRulesOpenSubpathsAndCurves) {
  auto rings = pathOf({M(0, 0), L(10, 0), L(10, 10), L(0, 10), Z(), M(2, 2), L(8, 2), L(8, 8), L(2, 8), Z()});
  auto hole = pathOf({M(0, 0), L(10, 0), L(10, 10), L(0, 10), Z(), M(2, 2), L(2, 8), L(8, 8), L(8, 2), Z()});
  auto open = pathOf({M(0, 0), L(10, 0), L(10, 10)});
  auto hump = pathOf({M(0, 0), C({0, 100}, {10, 100}, {10, 0}), Z()});  // y(x) = 75 at x = 5
  struct Row {
    BezierPath* path;
    bool evenOdd;
    Point p;
    bool inside;
  };
  const Row rows[] = {
      {rings.get(), false, {5, 5}, true},      {rings.get(), false, {1, 5}, true}, {rings.get(), false, {11, 5}, false},
      {rings.get(), true, {5, 5}, false},      {rings.get(), true, {1, 5}, true},  {hole.get(), false, {5, 5}, false},
      {hole.get(), false, {1, 5}, true},       {hole.get(), true, {5, 5}, false},  {open.get(), false, {8, 2}, true},
      {open.get(), false, {2, 8}, false},      {hump.get(), false, {5, 74.999}, true},
      {hump.get(), false, {5, 75.001}, false}, {hump.get(), false, {5, -0.001}, false},
      {hump.get(), false, {NAN, 3}, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    rows[i].path->setWindingRule(rows[i].evenOdd ? EvenOddWindingRule : NonZeroWindingRule);
    EXPECT_EQ(rows[i].path->containsPoint(rows[i].p), rows[i].inside) << "row " << i;
  }
}

