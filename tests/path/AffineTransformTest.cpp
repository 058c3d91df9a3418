#include "path/AffineTransform.h"

#include <gtest/gtest.h>

#include <functional>

#include "path/BezierPath.h"

using namespace vellum;

// Each operation acts before the ones already in the transform: the newest first.
TEST(AffineTransform, OperationsActNewestFirst) {
  struct Row {
    const char* what;
    std::function<void(AffineTransform&)> build;
    Point in, out;
  };
  auto shiftThenScale = [](AffineTransform& t) { t.translateXBy(10, 0), t.scaleXBy(2, 2); };
  // The Transform patch's order: a point is rotated, then scaled, then translated.
  auto patchOrder = [](AffineTransform& t) { t.translateXBy(10, 0), t.scaleXBy(2, 1), t.rotateByDegrees(90); };
  const Row rows[] = {
      {"identity", [](AffineTransform&) {}, {3.5, -2}, {3.5, -2}},
      {"translate, scale", shiftThenScale, {1, 0}, {12, 0}},
      {"translate, scale, rotate", patchOrder, {1, 0}, {10, 1}},
      {"translate, scale, rotate", patchOrder, {0, 1}, {8, 0}},
      {"translate, scale, rotate", patchOrder, {1, 1}, {8, 1}},
      // (m11 x + m21 y + tX, m12 x + m22 y + tY)
      {"struct", [](AffineTransform& t) { t.setTransformStruct(1, 2, 3, 4, 5, 6); }, {1, 10}, {36, 48}},
  };
  for (const Row& row : rows) {
    AffineTransform t;
    row.build(t);
    EXPECT_EQ(t.transformPoint(row.in), row.out) << row.what;
  }
  AffineTransform t;
  patchOrder(t);
  auto square = BezierPath::bezierPathWithRect({{0, 0}, {1, 1}});
  square->transformUsingAffineTransform(t);
  EXPECT_EQ(square->associatedPoints(1)[0], (Point{10, 1}));
  EXPECT_EQ(square->associatedPoints(3)[0], (Point{8, 0}));
}

TEST(AffineTransform, PrependActsBeforeAppendActsAfter) {
  AffineTransform scale, shift;
  scale.scaleXBy(3, 3);
  shift.translateXBy(1, 0);
  AffineTransform a = shift, b = shift;
  a.prependTransform(scale);  // scale, then shift
  b.appendTransform(scale);   // shift, then scale
  EXPECT_EQ(a.transformPoint({1, 1}), (Point{4, 3}));
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
