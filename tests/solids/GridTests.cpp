#include <gtest/gtest.h>

#include <cmath>

#include "patches/geometry/V2DGridPatch.h"
#include "tests/solids/SolidsTestSupport.h"

namespace vellum {
namespace {

using namespace vellum::test;

Value grid(std::vector<Value> members, uint64_t width = 2, bool structure = true) {
  V2DGridPatch patch("id");
  if (structure) patch.inputBezierPaths.setStructureValue(Structure(std::move(members)));
  patch.inputWidth.setIndexValue(width);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputGrid.value();
}

Value line(Point a, Point b) { return Value(ObjectRef(polyline({{a, b}}, false))); }

TEST(Grid, TwoLinesWithExactTextureCoordinates) {
  const Value out = grid({line({0, 0}, {10, 0}), line({0, 1}, {10, 1})});
  ASSERT_TRUE(out.structure());
  const Structure& g = *out.structure();
  ASSERT_EQ(g.count(), 8u);
  const double xs[3] = {0, 5, 10}, us[3] = {0, 1.0 / 3, 2.0 / 3};
  for (size_t i = 0; i < 2; ++i)
    for (size_t j = 0; j < 3; ++j) {
      const size_t n = i * 3 + j;
      EXPECT_EQ(*g.keyAtIndex(n), "vertex_" + std::to_string(n));
      const StructureRef vertex = g.memberAtIndex(n).structure();
      const Structure& v = *vertex;
      std::vector<std::string> keys;
      for (const auto& m : v) keys.push_back(*m.key());
      EXPECT_EQ(keys, (std::vector<std::string>{"x", "y", "z", "u", "v", "r", "g", "b", "a"}));
      EXPECT_EQ(v.memberForKey("x").doubleValue(), xs[j]);
      EXPECT_EQ(v.memberForKey("y").doubleValue(), double(i));
      EXPECT_EQ(v.memberForKey("z").doubleValue(), 0);
      EXPECT_EQ(v.memberForKey("u").doubleValue(), us[j]);
      EXPECT_EQ(v.memberForKey("v").doubleValue(), i * 0.5);
      for (const char* c : {"r", "g", "b", "a"}) EXPECT_EQ(v.memberForKey(c).doubleValue(), 1);
    }
  EXPECT_EQ(g.memberForKey("width"), Value(2));
  EXPECT_EQ(g.memberForKey("height"), Value(1));
}

TEST(Grid, FewerThanTwoPathsOrNoWidthGivesNothing) {
  EXPECT_TRUE(grid({line({0, 0}, {1, 0})}).isNothing());
  EXPECT_TRUE(grid({}).isNothing());
  EXPECT_TRUE(grid({}, 2, false).isNothing());
  EXPECT_TRUE(grid({line({0, 0}, {1, 0}), line({0, 1}, {1, 1})}, 0).isNothing());
  // A member that is not a path is skipped: one path is left.
  EXPECT_TRUE(grid({line({0, 0}, {1, 0}), Value(3.5)}).isNothing());
}

TEST(Grid, ClosedPathRowEndsAtItsFirstPoint) {
  const Value out = grid({Value(ObjectRef(polyline({kUnitSquare}))), line({0, 0}, {1, 0})}, 4);
  const Structure& g = *out.structure();
  const Structure& last = *g.memberForKey("vertex_4").structure();
  EXPECT_EQ(last.memberForKey("x").doubleValue(), 0);
  EXPECT_EQ(last.memberForKey("y").doubleValue(), 0);
  EXPECT_EQ(g.memberForKey("vertex_2").structure()->memberForKey("x").doubleValue(), 1);
  EXPECT_EQ(g.memberForKey("vertex_2").structure()->memberForKey("y").doubleValue(), 1);
}

TEST(Grid, NonFinitePathsWriteNoNaN) {
  // A path starting at NaN gives an empty row; one of infinite length only its start.
  const Value out = grid({line({NAN, 0}, {1, 0}), line({0, 1}, {10, 1}), line({0, 2}, {INFINITY, 2})});
  const Structure& g = *out.structure();
  ASSERT_EQ(g.count(), 6u);
  EXPECT_EQ(g.memberForKey("vertex_0").structure()->memberForKey("v").doubleValue(), 1.0 / 3);
  EXPECT_EQ(g.memberForKey("vertex_3").structure()->memberForKey("y").doubleValue(), 2);
  EXPECT_EQ(g.memberForKey("vertex_3").structure()->memberForKey("v").doubleValue(), 2.0 / 3);
  EXPECT_EQ(g.memberForKey("height"), Value(2));
  for (const auto& m : g) {
    if (auto v = m.value.structure()) {
      for (const auto& n : *v) EXPECT_TRUE(std::isfinite(n.value.doubleValue()));
    }
  }
}

TEST(Grid, HugeWidthsAreLoweredToTheVertexBudget) {
  const uint64_t most = V2DGridPatch::kMaxVertices;
  EXPECT_EQ(V2DGridPatch::_effectiveWidth(4000000000u, 2), most / 2 - 1);
  EXPECT_EQ(V2DGridPatch::_effectiveWidth(7, 2), 7u);
  EXPECT_EQ(V2DGridPatch::_effectiveWidth(7, most / 2), 1u);
  EXPECT_EQ(V2DGridPatch::_effectiveWidth(7, most / 2 + 1), 0u);
  // Rows of a lowered width hold width + 1 points.
  const auto rows = V2DGridPatch::_gridRowsForBezierPaths({polyline({{{0, 0}, {1, 0}}}, false)}, most / 2 - 1, 0.01);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].size(), most / 2);
  EXPECT_EQ(rows[0].back().x, 1);
}

}  // namespace
}  // namespace vellum
