#include <gtest/gtest.h>

#include <cmath>

#include "patches/geometry/V2DLineStructurePatch.h"
#include "tests/solids/SolidsTestSupport.h"

namespace vellum {
namespace {

using namespace vellum::test;
using Members = std::vector<std::vector<double>>;

Members members(const Structure& s) {
  Members out;
  for (const auto& m : s) {
    EXPECT_FALSE(m.keyed());
    std::vector<double> xyz;
    for (const auto& n : *m.value.structure()) xyz.push_back(n.value.doubleValue());
    out.push_back(xyz);
  }
  return out;
}

// The patch's output; a missing structure fails the test.
Structure run(std::shared_ptr<const BezierPath> path, double flatness = 0.01) {
  V2DLineStructurePatch patch("id");
  patch.inputBezierPath.setBezierPathValue(std::move(path));
  patch.inputFlatness.setDoubleValue(flatness);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputLines.structureValue());
  return patch.outputLines.structureValue() ? *patch.outputLines.structureValue() : Structure();
}

TEST(LineStructure, RectangleGivesEightMembers) {
  EXPECT_EQ(members(run(BezierPath::bezierPathWithRect({{0, 0}, {1, 1}}))),
            (Members{{0, 0, 0}, {1, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 0}, {0, 1, 0}, {0, 1, 0}, {0, 0, 0}}));
}

TEST(LineStructure, TwoSeparateTrianglesGiveTwelveAndNoJoin) {
  EXPECT_EQ(members(run(polyline({{{0, 0}, {2, 0}, {0, 2}}, {{5, 5}, {6, 5}, {5, 6}}}))),
            (Members{{0, 0, 0}, {2, 0, 0}, {2, 0, 0}, {0, 2, 0}, {0, 2, 0}, {0, 0, 0},
                     {5, 5, 0}, {6, 5, 0}, {6, 5, 0}, {5, 6, 0}, {5, 6, 0}, {5, 5, 0}}));
}

TEST(LineStructure, CloseAfterStackedMovesEndsAtItsOwnMove) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({9, 9});
  path->moveToPoint({0, 0});
  path->lineToPoint({4, 0});
  path->lineToPoint({0, 4});
  path->closePath();
  EXPECT_EQ(members(run(path)), (Members{{0, 0, 0}, {4, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 4, 0}, {0, 0, 0}}));
}

TEST(LineStructure, OpenPolylineAndZeroLengthSegment) {
  EXPECT_EQ(members(run(polyline({{{0, 0}, {3, 0}, {3, 4}, {3, 4}}}, false))),
            (Members{{0, 0, 0}, {3, 0, 0}, {3, 0, 0}, {3, 4, 0}, {3, 4, 0}, {3, 4, 0}}));
}

TEST(LineStructure, NothingToDrawGivesAnEmptyStructure) {
  EXPECT_EQ(run(nullptr).count(), 0u);
  EXPECT_EQ(run(polyline({{{1, 1}}, {{2, 2}}}, false)).count(), 0u);
}

TEST(LineStructure, CurvesAreFlattenedFinerWithSmallerFlatness) {
  auto oval = BezierPath::bezierPathWithOvalInRect({{0, 0}, {100, 50}});
  const size_t coarse = run(oval, 1).count(), fine = run(oval, 0.001).count();
  EXPECT_GT(coarse, 8u);
  EXPECT_GT(fine, coarse);
  EXPECT_EQ(fine % 2, 0u);
}

TEST(LineStructure, SegmentsWithNonFiniteEndsAreLeftOut) {
  const Structure s = run(polyline({{{0, 0}, {NAN, 1}, {2, 2}, {3, 3}, {INFINITY, 0}}}, false));
  EXPECT_EQ(members(s), (Members{{2, 2, 0}, {3, 3, 0}}));
}

}  // namespace
}  // namespace vellum
