#include "path/AffineTransform.h"

#include <gtest/gtest.h>

#include "path/BezierPath.h"

using namespace vellum;

// The Transform patch's order: translate, scale, rotate. Each operation acts before the ones
// already in the transform, so a point is rotated, then scaled, then translated.
TEST(AffineTransform, OperationsActNewestFirst) {
  AffineTransform t;
  t.translateXBy(10, 0);
  t.scaleXBy(2, 1);
  t.rotateByDegrees(90);
  for (auto [in, out] : {std::pair{Point{1, 0}, Point{10, 1}}, {Point{0, 1}, Point{8, 0}}, {Point{1, 1}, Point{8, 1}}})
    EXPECT_EQ(t.transformPoint(in), out);
  auto square = BezierPath::bezierPathWithRect({{0, 0}, {1, 1}});
  square->transformUsingAffineTransform(t);
  EXPECT_EQ(square->associatedPoints(1)[0], (Point{10, 1}));
  EXPECT_EQ(square->associatedPoints(3)[0], (Point{8, 0}));
  AffineTransform m;  // (m11 x + m21 y + tX, m12 x + m22 y + tY)
  m.setTransformStruct(1, 2, 3, 4, 5, 6);
  EXPECT_EQ(m.transformPoint({1, 10}), (Point{36, 48}));
}

TEST(AffineTransform, PrependActsBeforeAppendActsAfterInvertUndoes) {
  AffineTransform scale, shift;
  scale.scaleXBy(3, 3);
  shift.translateXBy(1, 0);
  AffineTransform a = shift, b = shift;
  a.prependTransform(scale);  // scale, then shift
  b.appendTransform(scale);   // shift, then scale
  EXPECT_EQ(a.transformPoint({1, 1}), (Point{4, 3}));
  EXPECT_EQ(b.transformPoint({1, 1}), (Point{6, 3}));
  // Inverting undoes; a singular transform is refused and left alone.
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
