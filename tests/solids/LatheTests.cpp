#include <gtest/gtest.h>

#include <cmath>

#include "patches/geometry/V2DLatheTriangleStructurePatch.h"
#include "tests/solids/SolidsTestSupport.h"
#include "tests/support/CapturedLog.h"

namespace vellum {
namespace {

using namespace vellum::test;

struct Lathe {
  double begin = 0, end = 90;
  uint64_t steps = 2;
  bool top = false, bottom = false;
  uint64_t smooth = 0;
};

void setUp(V2DLatheTriangleStructurePatch& patch, std::shared_ptr<const BezierPath> path, const Lathe& o) {
  patch.inputBezierPath.setBezierPathValue(std::move(path));
  patch.inputAngleBegin.setDoubleValue(o.begin);
  patch.inputAngleEnd.setDoubleValue(o.end);
  patch.inputAngleSteps.setIndexValue(o.steps);
  patch.inputTopCap.setBooleanValue(o.top);
  patch.inputBottomCap.setBooleanValue(o.bottom);
  patch.inputSmooth.setIndexValue(o.smooth);
}

Structure lathe(std::shared_ptr<const BezierPath> path, Lathe o = {}) {
  V2DLatheTriangleStructurePatch patch("id");
  setUp(patch, std::move(path), o);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputTriangles.structureValue());
  return patch.outputTriangles.structureValue() ? *patch.outputTriangles.structureValue() : Structure();
}

// (1, 1) down to (1, 0): a cylinder wall at distance 1 from the axis.
std::shared_ptr<BezierPath> wall() { return polyline({{{1, 1}, {1, 0}}}, false); }

// 0.92388, 0, 0.38268 as stored: rounded to thousandths.
const V2DVector3 kFirstStepNormal{0.924f, 0, 0.383f};

TEST(Lathe, QuarterTurnInTwoStepsWithoutCaps) {
  const Structure mesh = lathe(wall());
  ASSERT_EQ(mesh.count(), 12u);
  // Step 1: P0, C1, C0 then P1, C1, P0.
  const float r = float(1 * std::cos(45 * 3.141592653589793 / 180));
  EXPECT_EQ(positionOf(mesh, 0), (V2DVector3{1, 1, 0}));
  EXPECT_EQ(positionOf(mesh, 1), V2DVector3Rounded({r, 0, r}));
  EXPECT_EQ(positionOf(mesh, 2), (V2DVector3{1, 0, 0}));
  for (size_t k = 0; k < 6; ++k) EXPECT_EQ(normalOf(mesh, k), kFirstStepNormal);
  // Step 2 faces away from the axis at 67.5 degrees.
  EXPECT_EQ(normalOf(mesh, 6), (V2DVector3{0.383f, 0, 0.924f}));
  EXPECT_EQ(positionOf(mesh, 10), (V2DVector3{0, 0, 1}));
}

TEST(Lathe, CapsAroundTheAxisPerStep) {
  const Structure mesh = lathe(wall(), {.top = true, .bottom = true});
  ASSERT_EQ(mesh.count(), 24u);
  // Per step: top cap, two band triangles, bottom cap.
  EXPECT_EQ(positionOf(mesh, 0), (V2DVector3{0, 1, 0}));
  for (size_t k : {0u, 1u, 2u, 12u}) EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, 1, 0}));
  EXPECT_EQ(normalOf(mesh, 3), kFirstStepNormal);
  EXPECT_EQ(positionOf(mesh, 10), (V2DVector3{0, 0, 0}));
  for (size_t k : {9u, 10u, 11u, 23u}) EXPECT_EQ(normalOf(mesh, k), (V2DVector3{0, -1, 0}));
}

TEST(Lathe, SmoothedCapRimsBlendButTheAxisKeepsItsNormal) {
  const Structure mesh = lathe(wall(), {.end = 360, .steps = 8, .top = true, .bottom = true, .smooth = 1});
  ASSERT_EQ(mesh.count(), 8u * 4 * 3);
  EXPECT_EQ(normalOf(mesh, 0), (V2DVector3{0, 1, 0}));  // the axis point (0, 1, 0)
  const V2DVector3 rim = normalOf(mesh, 2);            // (1, 1, 0): cap and band meet
  EXPECT_GT(rim.x, 0.5f);
  EXPECT_GT(rim.y, 0.5f);
}

TEST(Lathe, FullTurnSeamIsShadedLikeAnyOtherStep) {
  const Structure mesh = lathe(wall(), {.end = 360, .steps = 8, .smooth = 1});
  ASSERT_EQ(mesh.count(), 48u);
  // (1, 1, 0) is listed under both triangles of step 1 and, through the seam, under the second
  // triangle of step 8 (its P1 at 360 degrees rounds to the same position): the sum of
  // 2 (0.92388, 0, 0.38268) and (0.92388, 0, -0.38268), normalized.
  ASSERT_EQ(positionOf(mesh, 45), (V2DVector3{1, 1, 0}));
  EXPECT_NEAR(normalOf(mesh, 0).x, 0.99060f, 1e-4);
  EXPECT_NEAR(normalOf(mesh, 0).z, 0.13677f, 1e-4);
  EXPECT_EQ(normalOf(mesh, 45), V2DVector3Rounded(normalOf(mesh, 0)));
  // The ring at 180 degrees has the same blend, turned half way round.
  ASSERT_EQ(positionOf(mesh, 24), (V2DVector3{-1, 1, 0}));
  EXPECT_NEAR(normalOf(mesh, 24).x, -0.99060f, 1e-3);
  EXPECT_NEAR(normalOf(mesh, 24).z, -0.13677f, 1e-3);
}

TEST(Lathe, ReversedAngleRangeTurnsTheNormalsInwards) {
  const Structure mesh = lathe(wall(), {.begin = 90, .end = 0});
  ASSERT_EQ(mesh.count(), 12u);
  EXPECT_EQ(normalOf(mesh, 0), (V2DVector3{-0.383f, 0, -0.924f}));
}

TEST(Lathe, PointsOnTheAxisDropDegenerateTriangles) {
  // A cone from the apex (0, 1) to (1, 0): one band triangle per step, and the top cap around the
  // apex has no area.
  const Structure mesh = lathe(polyline({{{0, 1}, {1, 0}}}, false), {.steps = 3, .top = true, .bottom = true});
  EXPECT_EQ(mesh.count(), 3u * 2 * 3);
  EXPECT_TRUE(allFinite(mesh));
}

TEST(Lathe, BottomCapFollowsTheSegmentNumberedEMinusTwo) {
  auto count = [](std::shared_ptr<BezierPath> p) {
    return lathe(p, {.steps = 1, .bottom = true}).count() / 3;
  };
  // Open profile, 3 elements: the cap is at segment 1, its last.
  EXPECT_EQ(count(polyline({{{1, 2}, {1, 1}, {2, 0}}}, false)), 4u + 1);
  // Closed triangle, 4 elements: at the close segment, around the profile's first point (1, 2).
  const Structure closed = lathe(polyline({{{1, 2}, {1, 1}, {2, 0}}}), {.steps = 1, .bottom = true});
  ASSERT_EQ(closed.count(), (6u + 1) * 3);
  EXPECT_EQ(positionOf(closed, 19), (V2DVector3{0, 2, 0}));
  // Two subpaths: E - 2 is past the last segment, so no bottom cap.
  EXPECT_EQ(count(polyline({{{1, 2}, {1, 1}}, {{3, 2}, {3, 1}}}, false)), 4u);
}

TEST(Lathe, StepCountsAndAnglesThatCannotWork) {
  EXPECT_EQ(lathe(wall(), {.steps = 0}).count(), 0u);
  EXPECT_EQ(lathe(wall(), {.begin = NAN}).count(), 0u);
  EXPECT_EQ(lathe(wall(), {.end = INFINITY}).count(), 0u);
  EXPECT_EQ(lathe(wall(), {.begin = -1e308, .end = 1e308}).count(), 0u);  // the step overflows
  EXPECT_EQ(lathe(wall(), {.begin = 30, .end = 30}).count(), 0u);          // no area
  EXPECT_EQ(lathe(nullptr).count(), 0u);
}

// With its initial inputs (no steps, no angle) the lathe of a profile is empty: the log says
// which input, once however many frames run; with no profile, or a usable one, it says nothing.
TEST(Lathe, ZeroStepsOrZeroAngleAreNamedOnceInTheLog) {
  const std::string prefix = "[V2DLatheTriangleStructurePatch execute:time:arguments:]  ";
  const std::vector<std::pair<Lathe, std::string>> rows = {
      {{.end = 0, .steps = 0}, "inputAngleSteps is 0, so the lathe makes no triangles; give it 1 or more steps."},
      {{.begin = 30, .end = 30}, "inputAngleBegin and inputAngleEnd are both 30, so the lathe sweeps no angle; set "
                                 "inputAngleEnd to 360 for a full turn."},
      {{}, ""},
  };
  for (const auto& [inputs, line] : rows) {
    for (auto path : {std::shared_ptr<BezierPath>(), wall()}) {
      testing::CapturedLog log;
      V2DLatheTriangleStructurePatch patch("id");
      setUp(patch, path, inputs);
      for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(patch.execute(nullptr, frame, {}));
      EXPECT_EQ(log.lines, line.empty() || !path ? std::vector<std::string>{} : std::vector<std::string>{prefix + line});
    }
  }
}

TEST(Lathe, HugeStepCountsAreLoweredToCoverTheRange) {
  V2DLatheTriangleStructurePatch patch("id");
  setUp(patch, wall(), {.end = 360, .steps = 4000000000u, .top = true, .bottom = true});
  V2DTriangleList triangles;
  V2DTriangleIndexMap map;
  patch._latheStructureForBezierPath(wall().get(), triangles, map);
  // Four triangles per step: the budget divided by four steps.
  EXPECT_EQ(triangles.size(), V2DLatheTriangleStructurePatch::kMaxTriangles);
  EXPECT_TRUE(map.empty());
  // The last step still ends at 360 degrees: its band's C1 is (1, 0, 0).
  EXPECT_EQ(triangles[triangles.size() - 3].corners[1], (V2DVector3{1, 0, 0}));
}

TEST(Lathe, FarPointsAreLeftOutNotWrittenAsInfinity) {
  const Structure mesh = lathe(polyline({{{1, 1}, {1e300, 0}, {1, -1}}}, false), {.top = true, .bottom = true, .smooth = 1});
  EXPECT_TRUE(allFinite(mesh));
  // Only the caps survive; every band touches the far point.
  EXPECT_EQ(mesh.count(), 4u * 3);
}

}  // namespace
}  // namespace vellum
