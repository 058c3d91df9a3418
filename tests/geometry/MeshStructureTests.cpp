#include <gtest/gtest.h>

#include <cmath>

#include "mesh/V2DMeshStructure.h"

namespace vellum {
namespace {

V2DVector3 normalOf(const Structure& mesh, unsigned k) {
  auto v = mesh.memberForKey(std::to_string(k)).structure();
  if (!v) return {NAN, NAN, NAN};
  return {float(v->memberForKey("NX").doubleValue()), float(v->memberForKey("NY").doubleValue()),
          float(v->memberForKey("NZ").doubleValue())};
}

V2DVector3 positionOf(const Structure& mesh, unsigned k) {
  auto v = mesh.memberForKey(std::to_string(k)).structure();
  if (!v) return {NAN, NAN, NAN};
  return {float(v->memberForKey("X").doubleValue()), float(v->memberForKey("Y").doubleValue()),
          float(v->memberForKey("Z").doubleValue())};
}

TEST(MeshStructure, EmptyListGivesEmptyStructure) {
  EXPECT_EQ(V2DMeshStructureFromTriangles({}, {}, true).count(), 0u);
}

TEST(MeshStructure, OneRecordGivesThreeKeyedVertices) {
  V2DTriangleList list;
  V2DAppendTriangle(list, nullptr, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {0, 0, 1}, false);
  const Structure mesh = V2DMeshStructureFromTriangles(list, {}, false);
  ASSERT_EQ(mesh.count(), 3u);
  EXPECT_EQ(*mesh.keyAtIndex(0), "0");
  EXPECT_EQ(*mesh.keyAtIndex(2), "2");
  for (unsigned k = 0; k < 3; ++k) {
    EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, 0, 1}));
    auto v = mesh.memberForKey(std::to_string(k)).structure();
    EXPECT_EQ(v->count(), 6u);
  }
  EXPECT_EQ(positionOf(mesh, 1), (V2DVector3{4, 5, 6}));
}

TEST(MeshStructure, SmoothFlagOffKeepsFaceNormals) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  V2DAppendTriangle(list, &map, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, true);
  V2DAppendTriangle(list, &map, {0, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 0}, true);
  const Structure mesh = V2DMeshStructureFromTriangles(list, map, false);
  for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, 0, 1}));
  for (unsigned k = 3; k < 6; ++k) EXPECT_EQ(normalOf(mesh, k), (V2DVector3{1, 0, 0}));
}

TEST(MeshStructure, SharedEdgeIsSmoothed) {
  // Shared corners (0,0,0) and (0,1,0); unshared (1,0,0) and (0,0,-1).
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  V2DAppendTriangle(list, &map, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, true);
  V2DAppendTriangle(list, &map, {0, 0, 0}, {0, 1, 0}, {0, 0, -1}, {1, 0, 0}, true);
  EXPECT_EQ(map.size(), 4u);
  EXPECT_EQ(map[(V2DVector3{0, 0, 0})], (std::vector<uint32_t>{0, 1}));
  const Structure mesh = V2DMeshStructureFromTriangles(list, map, true);
  for (unsigned k : {0u, 2u, 3u, 4u}) {
    const V2DVector3 n = normalOf(mesh, k);
    EXPECT_NEAR(n.x, 0.7071, 1e-3) << k;
    EXPECT_EQ(n.y, 0) << k;
    EXPECT_NEAR(n.z, 0.7071, 1e-3) << k;
  }
  EXPECT_EQ(normalOf(mesh, 1), (V2DVector3{0, 0, 1}));
  EXPECT_EQ(normalOf(mesh, 5), (V2DVector3{1, 0, 0}));
  // The first occurrence uses the unrounded result, later ones the cached (rounded) one.
  EXPECT_NEAR(normalOf(mesh, 3).x, 0.707f, 1e-6);
  EXPECT_NEAR(normalOf(mesh, 0).x, 1 / std::sqrt(2.0), 1e-4);
}

TEST(MeshStructure, NonSmoothableRecordsKeepTheirNormalWhenSmoothing) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  V2DAppendTriangle(list, &map, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, true);
  V2DAppendTriangle(list, &map, {0, 0, 0}, {0, 1, 0}, {0, 0, -1}, {1, 0, 0}, false);
  EXPECT_EQ(map[(V2DVector3{0, 0, 0})], (std::vector<uint32_t>{0}));
  const Structure mesh = V2DMeshStructureFromTriangles(list, map, true);
  EXPECT_EQ(normalOf(mesh, 0), (V2DVector3{0, 0, 1}));
  EXPECT_EQ(normalOf(mesh, 3), (V2DVector3{1, 0, 0}));
}

TEST(MeshStructure, CornersWithinARoundingStepShareANormal) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  V2DAppendTriangle(list, &map, {0.0001f, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, true);
  V2DAppendTriangle(list, &map, {-0.0002f, 0.0003f, 0}, {0, 0, 1}, {0, 1, 1}, {1, 0, 0}, true);
  const Structure mesh = V2DMeshStructureFromTriangles(list, map, true);
  // The second corner reads the first one's cached (rounded) normal: the two positions round
  // to the same thousandths.
  EXPECT_NEAR(normalOf(mesh, 0).x, 1 / std::sqrt(2.0), 1e-4);
  EXPECT_EQ(normalOf(mesh, 3), (V2DVector3{0.707f, 0, 0.707f}));
}

TEST(MeshStructure, NegativeZeroIsWrittenAsZero) {
  V2DTriangleList list;
  V2DAppendTriangle(list, nullptr, {-0.0f, -0.0001f, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, false);
  const Structure mesh = V2DMeshStructureFromTriangles(list, {}, false);
  auto v = mesh.memberForKey("0").structure();
  EXPECT_FALSE(std::signbit(v->memberForKey("X").doubleValue()));
  EXPECT_FALSE(std::signbit(v->memberForKey("Y").doubleValue()));
}

TEST(MeshStructure, OppositeNormalsFallBackToEachFaceNormal) {
  // A sheet seen from both sides: the sum at every corner is zero. No NaN; each corner keeps
  // its own face's normal.
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  V2DAppendTriangle(list, &map, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, true);
  V2DAppendTriangle(list, &map, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1}, true);
  const Structure mesh = V2DMeshStructureFromTriangles(list, map, true);
  for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, 0, 1}));
  for (unsigned k = 3; k < 6; ++k) EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, 0, -1}));
}

TEST(MeshStructure, NonFiniteFaceNormalIsWrittenAsZero) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  V2DAppendTriangle(list, &map, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {NAN, 0, 1}, true);
  for (bool smooth : {false, true}) {
    const Structure mesh = V2DMeshStructureFromTriangles(list, map, smooth);
    for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, 0, 0}));
  }
}

TEST(MeshStructure, FastNormalizeIsWithinItsBound) {
  V2DVector3 out;
  ASSERT_TRUE(V2DFastNormalize({3, 4, 12}, out));
  EXPECT_NEAR(out.x, 3.0 / 13, 1.5 * std::ldexp(1.0, -12));
  EXPECT_NEAR(out.z, 12.0 / 13, 1.5 * std::ldexp(1.0, -12));
  EXPECT_FALSE(V2DFastNormalize({0, 0, 0}, out));
  EXPECT_FALSE(V2DFastNormalize({1e30f, 1e30f, 0}, out));  // the squared length overflows
  EXPECT_FALSE(V2DFastNormalize({NAN, 0, 0}, out));
}

}  // namespace
}  // namespace vellum
