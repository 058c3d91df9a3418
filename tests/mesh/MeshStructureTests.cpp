// The mesh writer (mesh/V2DMeshStructure.h): keyed vertices, face normals, smoothing across
// shared corners, and no NaN ever written; and the grid's rows and vertex structure.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/Solids.h"
#include "mesh/V2DMeshStructure.h"
#include "tests/support/MeshVertices.h"
#include "tests/support/Polylines.h"

namespace vellum {
namespace {

struct Face {
  V2DVector3 a, b, c, normal;
  bool smoothable = true;
};

// The mesh of the faces, with the index map the mesh patches build.
Structure meshOf(const std::vector<Face>& faces, bool smooth) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  for (const Face& f : faces) V2DAppendTriangle(list, &map, f.a, f.b, f.c, f.normal, f.smoothable);
  return V2DMeshStructureFromTriangles(list, map, smooth);
}

using test::normalOf;

const V2DVector3 kUp{0, 0, 1}, kDown{0, 0, -1}, kRight{1, 0, 0};

TEST(MeshStructure, EachRecordGivesThreeKeyedVertices) {
  EXPECT_EQ(V2DMeshStructureFromTriangles({}, {}, true).count(), 0u);
  const Structure mesh = meshOf({{{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, kUp, false}}, false);
  ASSERT_EQ(mesh.count(), 3u);
  // The keys and members of each vertex are pinned by the golden mesh files.
  for (unsigned k = 0; k < 3; ++k) EXPECT_EQ(normalOf(mesh, k), kUp);
  EXPECT_EQ(test::positionOf(mesh, 1), (V2DVector3{4, 5, 6}));
  // Negative zero, also from rounding, is written as zero.
  const Structure zero = meshOf({{{-0.0f, -0.0001f, 0}, {1, 0, 0}, {0, 1, 0}, kUp}}, false);
  EXPECT_FALSE(std::signbit(zero.memberForKey("0").structure()->memberForKey("X").doubleValue()));
  EXPECT_FALSE(std::signbit(zero.memberForKey("0").structure()->memberForKey("Y").doubleValue()));
}

TEST(MeshStructure, SmoothingAveragesOnlySmoothableFacesAtSharedCorners) {
  // Shared corners (0,0,0) and (0,1,0); unshared (1,0,0) and (0,0,-1).
  const std::vector<Face> faces = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, kUp}, {{0, 0, 0}, {0, 1, 0}, {0, 0, -1}, kRight}};
  const Structure flat = meshOf(faces, false);
  for (unsigned k = 0; k < 6; ++k) EXPECT_EQ(normalOf(flat, k), k < 3 ? kUp : kRight);
  const Structure smooth = meshOf(faces, true);
  for (unsigned k : {0u, 2u, 3u, 4u}) {
    EXPECT_NEAR(normalOf(smooth, k).x, 0.7071, 1e-3) << k;
    EXPECT_EQ(normalOf(smooth, k).y, 0) << k;
    EXPECT_NEAR(normalOf(smooth, k).z, 0.7071, 1e-3) << k;
  }
  EXPECT_EQ(normalOf(smooth, 1), kUp);
  EXPECT_EQ(normalOf(smooth, 5), kRight);
  // The first occurrence uses the unrounded result, later ones the cached (rounded) one.
  EXPECT_NEAR(normalOf(smooth, 0).x, 1 / std::sqrt(2.0), 1e-4);
  EXPECT_NEAR(normalOf(smooth, 3).x, 0.707f, 1e-6);
  // A record that is not smoothable keeps its face normal, and is no neighbour of the others.
  const Structure mixed = meshOf({faces[0], {faces[1].a, faces[1].b, faces[1].c, kRight, false}}, true);
  EXPECT_EQ(normalOf(mixed, 0), kUp);
  EXPECT_EQ(normalOf(mixed, 3), kRight);
}

TEST(MeshStructure, CornersWithinARoundingStepShareANormal) {
  const Structure mesh = meshOf(
      {{{0.0001f, 0, 0}, {1, 0, 0}, {0, 1, 0}, kUp}, {{-0.0002f, 0.0003f, 0}, {0, 0, 1}, {0, 1, 1}, kRight}}, true);
  // The second corner reads the first one's cached (rounded) normal: the two positions round
  // to the same thousandths.
  EXPECT_NEAR(normalOf(mesh, 0).x, 1 / std::sqrt(2.0), 1e-4);
  EXPECT_EQ(normalOf(mesh, 3), (V2DVector3{0.707f, 0, 0.707f}));
}

TEST(MeshStructure, NormalsWithoutADirectionNeverGiveNaN) {
  // A sheet seen from both sides: the sum at every corner is zero, so each corner keeps its own
  // face's normal.
  const Structure sheet = meshOf({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, kUp}, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, kDown}}, true);
  for (unsigned k = 0; k < 6; ++k) EXPECT_EQ(normalOf(sheet, k), k < 3 ? kUp : kDown);
  // A face normal that is not finite is written as zero, smoothed or not.
  for (bool smooth : {false, true}) {
    const Structure mesh = meshOf({{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {NAN, 0, 1}}}, smooth);
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

BezierPathRef line(Point a, Point b) { return test::polyline({{a, b}}, false); }
double member(const Structure& g, int vertex, const char* key) {
  return g.memberForKey("vertex_" + std::to_string(vertex)).structure()->memberForKey(key).doubleValue();
}

// Each path resampled at `width` equal steps: a closed path's row ends at its first point, a path
// starting at NaN gives an empty row, one of infinite length only its start.
TEST(Grid, RowsSampleEachPathAtEqualSteps) {
  const auto rows = gridRowsForBezierPaths({test::polyline({{{0, 0}, {1, 0}, {1, 1}, {0, 1}}}), line({NAN, 0}, {1, 0}),
                                            line({0, 1}, {10, 1}), line({0, 2}, {INFINITY, 2})},
                                           4, 0.01);
  EXPECT_EQ(rows, (std::vector<std::vector<Point>>{
                      {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, {}, {{0, 1}, {2.5, 1}, {5, 1}, {7.5, 1}, {10, 1}}, {{0, 2}}}));
}

// Vertices row by row: u = j / (width + 1), v = i / (number of rows); a short row shifts the
// vertices after it.
TEST(Grid, VerticesRowByRowWithExactTextureCoordinates) {
  const Structure g = gridStructureFromRows({{{0, 0}, {5, 0}, {10, 0}}, {{0, 1}, {5, 1}, {10, 1}}}, 2);
  ASSERT_EQ(g.count(), 8u);
  using Members = std::vector<std::pair<std::string, double>>;
  for (int n = 0; n < 6; ++n) {
    const double i = n / 3, j = n % 3;
    EXPECT_EQ(*g.keyAtIndex(n), "vertex_" + std::to_string(n));
    Members got;
    for (const auto& m : *g.memberAtIndex(n).structure()) got.emplace_back(*m.key(), m.value.doubleValue());
    EXPECT_EQ(got, (Members{{"x", 5 * j}, {"y", i}, {"z", 0}, {"u", j / 3}, {"v", i / 2}, {"r", 1}, {"g", 1}, {"b", 1}, {"a", 1}}));
  }
  EXPECT_EQ(g.memberForKey("width"), Value(2));
  EXPECT_EQ(g.memberForKey("height"), Value(1));
  const Structure shortRows = gridStructureFromRows({{}, {{0, 1}, {5, 1}, {10, 1}}, {{0, 2}}}, 2);
  ASSERT_EQ(shortRows.count(), 6u);
  EXPECT_EQ(member(shortRows, 0, "v"), 1.0 / 3);
  EXPECT_EQ(member(shortRows, 3, "y"), 2);
  EXPECT_EQ(member(shortRows, 3, "v"), 2.0 / 3);
  EXPECT_EQ(shortRows.memberForKey("height"), Value(2));
}

TEST(Grid, HugeWidthsAreLoweredToTheVertexBudget) {
  EXPECT_EQ(gridEffectiveWidth(4000000000u, 2), kMaxGridVertices / 2 - 1);
  EXPECT_EQ(gridEffectiveWidth(7, 2), 7u);
  EXPECT_EQ(gridEffectiveWidth(7, kMaxGridVertices / 2), 1u);
  EXPECT_EQ(gridEffectiveWidth(7, kMaxGridVertices / 2 + 1), 0u);
  EXPECT_EQ(gridEffectiveWidth(7, 0), 0u);
  // Rows of a lowered width hold width + 1 points.
  const auto rows = gridRowsForBezierPaths({line({0, 0}, {1, 0})}, kMaxGridVertices / 2 - 1, 0.01);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].size(), kMaxGridVertices / 2);
  EXPECT_EQ(rows[0].back().x, 1);
}

}  // namespace
}  // namespace vellum
