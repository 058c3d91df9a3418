#include "path/AffineTransform.h"

#include <gtest/gtest.h>

#include "path/BezierPath.h"

using namespace vellum;

TEST(AffineTransform, IdentityLeavesPointsAlone) {
  const AffineTransform t;
  EXPECT_EQ(t.transformPoint({3.5, -2}), (Point{3.5, -2}));
}

TEST(AffineTransform, NewestOperationActsFirst) {
  AffineTransform t;
  t.translateXBy(10, 0);
  t.scaleXBy(2, 2);
  EXPECT_EQ(t.transformPoint({1, 0}), (Point{12, 0}));
}

// The Transform patch's order: translate, scale, rotate; a point is rotated, then scaled, then
// translated.
TEST(AffineTransform, TranslateScaleRotateOnUnitSquare) {
  AffineTransform t;
  t.translateXBy(10, 0);
  t.scaleXBy(2, 1);
  t.rotateByDegrees(90);
  EXPECT_EQ(t.transformPoint({1, 0}), (Point{10, 1}));
  EXPECT_EQ(t.transformPoint({0, 1}), (Point{8, 0}));
  EXPECT_EQ(t.transformPoint({1, 1}), (Point{8, 1}));

  auto square = BezierPath::bezierPathWithRect({{0, 0}, {1, 1}});
  square->transformUsingAffineTransform(t);
  Point p;
  square->elementAtIndex(1, &p);
  EXPECT_EQ(p, (Point{10, 1}));
  square->elementAtIndex(3, &p);
  EXPECT_EQ(p, (Point{8, 0}));
}

TEST(AffineTransform, SetTransformStructMapsAsDocumented) {
  AffineTransform t;
  t.setTransformStruct(1, 2, 3, 4, 5, 6);
  // (m11 x + m21 y + tX, m12 x + m22 y + tY)
  EXPECT_EQ(t.transformPoint({1, 10}), (Point{1 + 30 + 5, 2 + 40 + 6}));
}

TEST(AffineTransform, PrependActsBeforeAppendActsAfter) {
  AffineTransform scale;
  scale.scaleXBy(3, 3);
  AffineTransform shift;
  shift.translateXBy(1, 0);

  AffineTransform a = shift;
  a.prependTransform(scale);  // scale, then shift
  EXPECT_EQ(a.transformPoint({1, 1}), (Point{4, 3}));

  AffineTransform b = shift;
  b.appendTransform(scale);  // shift, then scale
  EXPECT_EQ(b.transformPoint({1, 1}), (Point{6, 3}));
}

TEST(AffineTransform, InvertUndoesAndRefusesSingular) {
  AffineTransform t;
  t.translateXBy(4, -2);
  t.scaleXBy(2, 8);
  AffineTransform inv = t;
  ASSERT_TRUE(inv.invert());
  EXPECT_EQ(inv.transformPoint(t.transformPoint({3, 5})), (Point{3, 5}));

  AffineTransform flat;
  flat.scaleXBy(0, 1);
  const AffineTransform before = flat;
  EXPECT_FALSE(flat.invert());
  EXPECT_EQ(flat, before);
}
