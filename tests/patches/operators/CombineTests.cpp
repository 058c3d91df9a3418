#include <gtest/gtest.h>

#include "patches/operators/V2DBezierPathCombinePatch.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

V2DBezierPathPort* vector(V2DBezierPathCombinePatch& patch, int n) {
  return dynamic_cast<V2DBezierPathPort*>(patch.portForKey("Vector " + std::to_string(n)));
}

Structure countState(Value count) { return Structure::withMembersAndKeys({{"bezierPathsCount", count}}); }

}  // namespace

TEST(Combine, InputsAreNotChangedAndNoInputsGiveAnEmptyPath) {
  V2DBezierPathCombinePatch patch("c");
  auto a = pathOf({M(0, 0), L(3, 0)});
  vector(patch, 1)->setBezierPathValue(a);
  vector(patch, 2)->setBezierPathValue(a);
  EXPECT_NE(run(patch).get(), a.get());
  expectElements(*a, {M(0, 0), L(3, 0)});
  patch.setState({});  // no inputs at all
  ASSERT_NE(run(patch), nullptr);
  EXPECT_TRUE(run(patch)->isEmpty());
}

TEST(Combine, StateSaveAndLoadRestoresTheInputsAndTheirValues) {
  V2DBezierPathCombinePatch saved("a");
  EXPECT_EQ(saved.state().memberForKey("bezierPathsCount"), Value(2));
  for (int i = 0; i < 3; ++i) saved.addBezierPath();
  saved.inputJoin.setBooleanValue(true);
  for (int n = 1; n <= 5; ++n) vector(saved, n)->setBezierPathValue(pathOf({M(n, 0), L(n, 1)}));
  const Structure state = saved.state();
  EXPECT_EQ(state.memberForKey("bezierPathsCount"), Value(5));

  V2DBezierPathCombinePatch loaded("b");
  ASSERT_TRUE(loaded.setState(state));
  EXPECT_EQ(loaded.inputPorts().size(), 6u);
  EXPECT_TRUE(loaded.inputJoin.booleanValue());
  for (int n = 1; n <= 5; ++n) {
    ASSERT_TRUE(vector(loaded, n) && vector(loaded, n)->bezierPathValue()) << n;
    expectElements(*vector(loaded, n)->bezierPathValue(), {M(n, 0), L(n, 1)});
  }
  EXPECT_EQ(vector(loaded, 6), nullptr);
  // Loading deletes the earlier inputs with their values first.
  ASSERT_TRUE(loaded.setState(countState(3)));
  EXPECT_EQ(loaded.numBezierPaths(), 3u);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(vector(loaded, n)->bezierPathValue(), nullptr) << n;
  EXPECT_TRUE(run(loaded)->isEmpty());
}

TEST(Combine, BadSavedCountsAndValuesAreBounded) {
  const std::vector<std::pair<Structure, size_t>> rows = {
      {Structure::withMembersAndKeys({{"other", 1}}), 0}, {countState(-3), 0}, {countState("3"), 3},
      {countState(2.9), 2}, {countState(1e12), size_t(V2DBezierPathCombinePatch::kMaxInputs)},
  };
  V2DBezierPathCombinePatch patch("c");
  for (const auto& [state, count] : rows) {
    patch.setState(state);
    EXPECT_EQ(patch.numBezierPaths(), count);
  }
  EXPECT_NE(patch.portForKey("Vector 4096"), nullptr);
  EXPECT_EQ(patch.portForKey("Vector 4097"), nullptr);
  // Saved values that do not fit their port, or name no port, are passed over.
  Structure values = Structure::withMembersAndKeys({{"Vector 1", "not a path"}, {"inputJoin", true}, {"Vector 9", 1}});
  patch.setState(Structure::withMembersAndKeys(
      {{"bezierPathsCount", 1}, {"inputValues", std::make_shared<const Structure>(values)}}));
  EXPECT_EQ(patch.numBezierPaths(), 1u);
  EXPECT_EQ(vector(patch, 1)->bezierPathValue(), nullptr);
  EXPECT_TRUE(patch.inputJoin.booleanValue());
}

// Inputs are added and removed at the end, so their keys are reused.
TEST(CombineInspector, SegmentZeroAddsSegmentOneRemovesButNeverTheLastInput) {
  V2DBezierPathCombinePatch patch("c");
  V2DBezierPathCombinePatchUI inspector;
  inspector.setupViewForPatch(&patch);
  const std::vector<std::pair<int, size_t>> clicks = {{0, 3}, {1, 2}, {0, 3}, {1, 2}, {1, 1}, {1, 1}, {-1, 1}, {2, 1}};
  for (const auto& [segment, count] : clicks) {
    inspector.bezierPaths(SegmentedControl{segment});
    EXPECT_EQ(patch.numBezierPaths(), count) << "segment " << segment;
    EXPECT_EQ(patch.bezierPathPorts().back()->key(), "Vector " + std::to_string(count));
    EXPECT_EQ(vector(patch, int(count) + 1), nullptr);
  }
}
