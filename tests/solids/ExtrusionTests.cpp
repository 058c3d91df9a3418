#include <gtest/gtest.h>

#include <cmath>

#include "patches/geometry/V2DExtrusionTriangleStructurePatch.h"
#include "patches/geometry/V2DTriangleStructurePatch.h"
#include "patches/sources/V2DBezierPathWithStringPatch.h"
#include "tests/solids/SolidsTestSupport.h"

namespace vellum {
namespace {

using namespace vellum::test;

struct Extrude {
  double depth = 1;
  bool front = true, back = true;
  uint64_t smooth = 0;
};

Structure extrude(std::shared_ptr<const BezierPath> path, Extrude o = {}) {
  V2DExtrusionTriangleStructurePatch patch("id");
  patch.inputBezierPath.setBezierPathValue(std::move(path));
  patch.inputDepth.setDoubleValue(o.depth);
  patch.inputFrontCap.setBooleanValue(o.front);
  patch.inputBackCap.setBooleanValue(o.back);
  patch.inputSmooth.setIndexValue(o.smooth);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputTriangles.structureValue());
  return patch.outputTriangles.structureValue() ? *patch.outputTriangles.structureValue() : Structure();
}

TEST(Extrusion, UnitSquareFrontCapWallsBackCap) {
  const Structure mesh = extrude(polyline({kUnitSquare}));
  ASSERT_EQ(mesh.count(), 36u);
  for (size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(positionOf(mesh, k).z, 1);
    EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, 0, 1}));
    EXPECT_EQ(positionOf(mesh, 30 + k).z, 0);
    EXPECT_EQ(normalOf(mesh, 30 + k), (V2DVector3{0, 0, -1}));
  }
  // The wall of (0,0) -> (1,0): corners (P,0), (C,0), (C,d) then (C,d), (P,d), (P,0).
  const V2DVector3 wall[6] = {{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {1, 0, 1}, {0, 0, 1}, {0, 0, 0}};
  for (size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(positionOf(mesh, 6 + k), wall[k]);
    EXPECT_EQ(normalOf(mesh, 6 + k), (V2DVector3{0, -1, 0}));
  }
  // The closing wall, (0,1) -> (0,0), faces -x.
  EXPECT_EQ(normalOf(mesh, 6 + 18), (V2DVector3{-1, 0, 0}));
  EXPECT_TRUE(watertight(mesh));
}

TEST(Extrusion, CapsOffLeavesTheWalls) {
  EXPECT_EQ(extrude(polyline({kUnitSquare}), {.front = false, .back = false}).count(), 24u);
  const Structure backOnly = extrude(polyline({kUnitSquare}), {.front = false});
  ASSERT_EQ(backOnly.count(), 30u);
  EXPECT_EQ(normalOf(backOnly, 29), (V2DVector3{0, 0, -1}));
}

TEST(Extrusion, SmoothedCornersBlendTheWalls) {
  const Structure mesh = extrude(polyline({kUnitSquare}), {.smooth = 1});
  ASSERT_EQ(mesh.count(), 36u);
  EXPECT_EQ(normalOf(mesh, 0), (V2DVector3{0, 0, 1}));
  EXPECT_EQ(normalOf(mesh, 35), (V2DVector3{0, 0, -1}));
  // Corner (1,0,0) is vertex 7 (first wall, second corner); (1,0,1) is vertex 8.
  ASSERT_EQ(positionOf(mesh, 7), (V2DVector3{1, 0, 0}));
  ASSERT_EQ(positionOf(mesh, 8), (V2DVector3{1, 0, 1}));
  const V2DVector3 bottom = normalOf(mesh, 7), top = normalOf(mesh, 8);
  EXPECT_NEAR(bottom.x, 2 / std::sqrt(5.0), 1e-4);
  EXPECT_NEAR(bottom.y, -1 / std::sqrt(5.0), 1e-4);
  EXPECT_EQ(bottom.z, 0);
  EXPECT_NEAR(top.x, 1 / std::sqrt(5.0), 1e-4);
  EXPECT_NEAR(top.y, -2 / std::sqrt(5.0), 1e-4);
  // Later corners at the same positions read the cached, rounded normal.
  ASSERT_EQ(positionOf(mesh, 12), (V2DVector3{1, 0, 0}));
  EXPECT_EQ(normalOf(mesh, 12), (V2DVector3{0.894f, -0.447f, 0}));
}

TEST(Extrusion, BackCapIsTheBackFaceTriangulation) {
  auto ring = polyline({{{-2, -2}, {6, -2}, {6, 6}, {-2, 6}}, {{1, 1}, {1, 3}, {4, 3}, {3, 1.5}}});
  V2DTriangleList caps;
  const V2DTriangleList back = V2DExtrusionTriangleStructurePatch::_capsForBezierPath(ring.get(), false, 2, true, true, caps);
  V2DTriangleList expected;
  V2DTriangleIndexMap map;
  V2DTriangleStructurePatch::_triangleStructureForBezierPath(ring.get(), false, 0, true, expected, map);
  ASSERT_GT(expected.size(), 4u);
  ASSERT_EQ(back.size(), expected.size());
  ASSERT_EQ(caps.size(), expected.size());
  for (size_t i = 0; i < back.size(); ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(back[i].corners[c], expected[i].corners[c]);
    EXPECT_EQ(back[i].normal, (V2DVector3{0, 0, -1}));
    EXPECT_EQ(caps[i].corners[0].z, 2);
  }
}

TEST(Extrusion, ClosedOutlinesAreWatertight) {
  EXPECT_TRUE(watertight(extrude(polyline({{{-2, -2}, {6, -2}, {6, 6}, {-2, 6}}, {{1, 1}, {1, 3}, {4, 3}, {3, 1.5}}}))));
  auto oval = BezierPath::bezierPathWithOvalInRect({{0, 0}, {30, 20}});
  oval->closePath();
  EXPECT_TRUE(watertight(extrude(oval, {.depth = 3, .smooth = 1})));
  // A repeated point makes a wall without area, which is left out.
  EXPECT_TRUE(watertight(extrude(polyline({{{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}}))));
  // Text: a move to the baseline, then every glyph contour with its own move.
  V2DBezierPathWithStringPatch text("id");
  text.inputString.setStringValue("Ag&8");
  text.inputFontName.setStringValue("DejaVuSerif-Bold");
  text.inputFontSize.setDoubleValue(200);
  text.execute(nullptr, 0, {});
  const Structure lettering = extrude(text.outputBezierPath.bezierPathValue(), {.depth = 40, .smooth = 1});
  EXPECT_GT(lettering.count(), 3000u);
  EXPECT_TRUE(watertight(lettering));
}

TEST(Extrusion, StackedMovesCloseToTheirOwnSubpath) {
  auto path = polyline({kUnitSquare});
  auto stacked = BezierPath::bezierPath();
  stacked->moveToPoint({9, 9});
  stacked->appendBezierPath(*path);
  const Structure mesh = extrude(stacked);
  ASSERT_EQ(mesh.count(), 36u);
  EXPECT_TRUE(watertight(mesh));
  EXPECT_EQ(positionOf(mesh, 6 + 19), (V2DVector3{0, 0, 0}));  // the closing wall's C
}

TEST(Extrusion, OpenPolylineMakesARibbon) {
  const Structure mesh = extrude(polyline({{{0, 0}, {1, 0}, {1, 1}}}, false));
  EXPECT_EQ(mesh.count(), 12u);
}

TEST(Extrusion, BadDepths) {
  // Not a number counts as 0: no walls, and the two caps make a closed double-sided sheet.
  const Structure nan = extrude(polyline({kUnitSquare}), {.depth = NAN});
  EXPECT_EQ(nan.count(), 12u);
  EXPECT_EQ(positionOf(nan, 0).z, 0);
  EXPECT_EQ(normalOf(nan, 0), (V2DVector3{0, 0, 1}));
  EXPECT_EQ(normalOf(nan, 11), (V2DVector3{0, 0, -1}));
  EXPECT_EQ(extrude(polyline({kUnitSquare}), {.depth = 0}).count(), 12u);
  // 0.0004 rounds to 0 when written: walls without area are left out.
  EXPECT_EQ(extrude(polyline({kUnitSquare}), {.depth = 0.0004}).count(), 12u);
  EXPECT_EQ(extrude(polyline({kUnitSquare}), {.depth = -5}).count(), 12u);
  // Huge depths are limited to 1e30; the walls keep their unit normals.
  for (double depth : {1e300, double(INFINITY)}) {
    const Structure deep = extrude(polyline({kUnitSquare}), {.depth = depth});
    ASSERT_EQ(deep.count(), 36u);
    EXPECT_TRUE(allFinite(deep));
    EXPECT_EQ(positionOf(deep, 0).z, V2DVector3Rounded({0, 0, 1e30f}).z);
    EXPECT_EQ(normalOf(deep, 6), (V2DVector3{0, -1, 0}));
  }
}

TEST(Extrusion, NonFinitePointsWriteNoNaN) {
  const Structure mesh = extrude(polyline({{{0, 0}, {NAN, 0}, {1, 1}, {1e300, 2}, {0, 1}}}), {.smooth = 1});
  EXPECT_TRUE(allFinite(mesh));
  EXPECT_EQ(mesh.count(), 6u);  // only the wall (0,1) -> (0,0); no cap for a path it cannot hold
  EXPECT_EQ(extrude(nullptr).count(), 0u);
}

}  // namespace
}  // namespace vellum
