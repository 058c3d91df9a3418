// Inputs the fuzzers found, kept as tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <future>
#include <limits>

#include "patches/geometry/V2DExtrusionTriangleStructurePatch.h"
#include "patches/geometry/V2DTriangleStructurePatch.h"

namespace vellum {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// fuzz_triangulation: a curve with a NaN control point flattens into thousands of NaN points;
// each was a new hash key in one bucket, so collecting them took quadratic time (28 s for 40
// such curves). They are kept as vertices without hashing; the path still gives no triangles.
TEST(FuzzRegressions, ManyNaNPointsAreCollectedInLinearTime) {
  BezierPath path;
  path.moveToPoint({0, 0});
  for (int i = 0; i < 200000; ++i) path.lineToPoint({i % 2 ? kNaN : double(i), kNaN});
  path.closePath();
  // A hang guard, not a time target: collecting in quadratic time took minutes.
  auto collecting = std::async(std::launch::async, [&] { return V2DCollectTriangulationInput(path); });
  if (collecting.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "collecting 200 000 NaN points ran longer than 60 s";
    std::_Exit(3);
  }
  const V2DTriangulationInput input = collecting.get();
  EXPECT_GE(input.vertices.size(), 200000u);
  for (const auto& c : input.constraints) {
    EXPECT_FALSE(std::isnan(input.vertices[c.a].x) || std::isnan(input.vertices[c.a].y));
    EXPECT_FALSE(std::isnan(input.vertices[c.b].x) || std::isnan(input.vertices[c.b].y));
  }
  const V2DTriangulation result = triangulateWithConstraints(input, false, false);
  EXPECT_TRUE(result.triangles.empty());
}

// Sweep (Vellum Vector Flatten, Morph, Resample): a curve through +-1e308 flattened into NaN
// points, its power-basis coefficients overflowing to inf - inf. Finite points in, finite out.
TEST(SweepRegressions, CurvesNearTheDoubleRangeFlattenWithoutNaN) {
  BezierPath path;
  path.moveToPoint({1e308, -1e308});
  path.curveToPoint({1e308, 1e308}, {-1e308, 1e308}, {1e308, 1e308});
  path.curveToPoint({-1e308, -1e308}, {1e308, -1e308}, {-1e308, 1e308});
  const auto flat = path.bezierPathByFlatteningPath();
  ASSERT_GT(flat->elementCount(), 3u);
  for (size_t i = 0; i < flat->elementCount(); ++i)
    for (const Point& p : flat->associatedPoints(i)) {
      EXPECT_FALSE(std::isnan(p.x) || std::isnan(p.y)) << "element " << i;
      EXPECT_LE(std::abs(p.x), 1e308) << "element " << i;
    }
  const auto last = flat->associatedPoints(flat->elementCount() - 1);
  EXPECT_EQ(last[0], (Point{-1e308, -1e308}));
}

// Sweep (Triangle Structure, Extrusion): a million-segment path once took 3.7 GB and 70 s to
// triangulate and 12 GB to extrude. Beyond 2^20 segments both answer an empty mesh.
TEST(SweepRegressions, PathsBeyondTheLimitsGiveEmptyMeshes) {
  auto polygon = [](size_t segments) {
    auto p = BezierPath::bezierPath();
    p->moveToPoint({100, 0});
    for (size_t i = 1; i < segments; ++i) {
      const double a = 2 * M_PI * double(i) / double(segments);
      p->lineToPoint({100 * std::cos(a), 100 * std::sin(a)});
    }
    p->closePath();
    return p;
  };
  // The mesh's vertex count; an absent mesh fails.
  auto count = [](Patch& patch, StructurePort& mesh, BezierPathRef path) {
    static_cast<V2DBezierPathPort*>(patch.portForKey("inputBezierPath"))->setBezierPathValue(std::move(path));
    EXPECT_TRUE(patch.execute(nullptr, 0, {}));
    EXPECT_TRUE(mesh.structureValue());
    return mesh.structureValue() ? mesh.structureValue()->count() : 0;
  };
  auto over = polygon(kMaxTriangulatedSegments + 1);
  ASSERT_EQ(V2DLineSegmentCount(*over), kMaxTriangulatedSegments + 1);
  V2DTriangleStructurePatch triangles("t");
  V2DExtrusionTriangleStructurePatch extrusion("e");
  EXPECT_EQ(count(triangles, triangles.outputLines, over), 0u);
  EXPECT_EQ(count(extrusion, extrusion.outputTriangles, over), 0u);
  // A small polygon still gives its triangles and walls.
  EXPECT_GT(count(triangles, triangles.outputLines, polygon(12)), 0u);
  EXPECT_GT(count(extrusion, extrusion.outputTriangles, polygon(12)), 0u);
  // The walls alone have their own limit.
  extrusion.inputFrontCap.setBooleanValue(false);
  extrusion.inputBackCap.setBooleanValue(false);
  EXPECT_EQ(count(extrusion, extrusion.outputTriangles, polygon(V2DExtrusionTriangleStructurePatch::kMaxExtrudedSegments + 1)), 0u);
}

}  // namespace
}  // namespace vellum
