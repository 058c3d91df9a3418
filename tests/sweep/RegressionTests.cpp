// Inputs the fuzzers found, kept as tests.
#include <cmath>
#include <limits>

#include "patches/geometry/V2DTriangleStructurePatch.h"
#include "tests/sweep/SweepSupport.h"

namespace vellum::sweep {
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
  Watchdog watchdog(std::chrono::seconds(60));
  watchdog.begin("collecting 200 000 NaN points");
  const V2DTriangulationInput input = V2DCollectTriangulationInput(path);
  watchdog.end();
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

}  // namespace
}  // namespace vellum::sweep
