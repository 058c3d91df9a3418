#include <gtest/gtest.h>

#include "patches/operators/V2DBezierPathCombinePatch.h"
#include "plugin/Vellum2DPrincipal.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

V2DBezierPathPort* vector(V2DBezierPathCombinePatch& patch, int n) {
  return dynamic_cast<V2DBezierPathPort*>(patch.portForKey("Vector " + std::to_string(n)));
}

}  // namespace

TEST(Combine, NewPatchHasVector1AndVector2AndSavesCountTwo) {
  V2DBezierPathCombinePatch patch("c");
  EXPECT_EQ(patch.numBezierPaths(), 2u);
  ASSERT_NE(vector(patch, 1), nullptr);
  ASSERT_NE(vector(patch, 2), nullptr);
  EXPECT_EQ(vector(patch, 3), nullptr);
  EXPECT_TRUE(vector(patch, 1)->isInput());
  // Fixed ports first, then the dynamic ones in creation order.
  ASSERT_EQ(patch.inputPorts().size(), 3u);
  EXPECT_EQ(patch.inputPorts()[0]->key(), "inputJoin");
  EXPECT_EQ(patch.inputPorts()[2]->key(), "Vector 2");
  EXPECT_EQ(patch.state().memberForKey("bezierPathsCount"), Value(2));
}

// With join on, a move to the current point continues the subpath; any other move stays, and
// within one input such a move is dropped either way.
TEST(Combine, JoinedAndSeparateSubpaths) {
  struct Row {
    bool join;
    std::vector<El> first, second, expected;
  };
  const std::vector<Row> rows = {
      {true, {M(0, 0), L(1, 0)}, {M(1, 0), L(1, 1)}, {M(0, 0), L(1, 0), L(1, 1)}},
      {false, {M(0, 0), L(1, 0)}, {M(1, 0), L(1, 1)}, {M(0, 0), L(1, 0), M(1, 0), L(1, 1)}},
      {true, {M(0, 0), L(1, 0)}, {M(1, 1e-12), L(1, 1)}, {M(0, 0), L(1, 0), M(1, 1e-12), L(1, 1)}},
      // An empty first input keeps the first move, to the origin.
      {true, {}, {M(0, 0), L(1, 1)}, {M(0, 0), L(1, 1)}},
      {false, {M(0, 0), L(1, 0), M(1, 0), L(2, 0)}, {}, {M(0, 0), L(1, 0), L(2, 0)}},
      {true, {M(0, 0), L(1, 0), M(1, 0), L(2, 0)}, {}, {M(0, 0), L(1, 0), L(2, 0)}},
      // Curves and closes are copied; after the close the current point is the subpath's start.
      {true, {M(2, 2), C({3, 4}, {5, 6}, {7, 8}), Z()}, {M(2, 2), L(0, 0)},
       {M(2, 2), C({3, 4}, {5, 6}, {7, 8}), Z(), L(0, 0)}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    V2DBezierPathCombinePatch patch("c");
    patch.inputJoin.setBooleanValue(rows[i].join);
    vector(patch, 1)->setBezierPathValue(pathOf(rows[i].first));
    if (!rows[i].second.empty()) vector(patch, 2)->setBezierPathValue(pathOf(rows[i].second));
    expectElements(*run(patch), rows[i].expected);
  }
}

TEST(Combine, AbsentInputsContributeNothingAndNoInputsGiveAnEmptyPath) {
  V2DBezierPathCombinePatch patch("c");
  vector(patch, 2)->setBezierPathValue(pathOf({M(0, 0), L(3, 0)}));
  expectElements(*run(patch), {M(0, 0), L(3, 0)});
  patch.setState({});
  EXPECT_EQ(patch.numBezierPaths(), 0u);
  auto out = run(patch);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->isEmpty());
}

TEST(Combine, InputsAreNotChanged) {
  V2DBezierPathCombinePatch patch("c");
  auto a = pathOf({M(0, 0), L(1, 0)});
  vector(patch, 1)->setBezierPathValue(a);
  vector(patch, 2)->setBezierPathValue(a);
  auto out = run(patch);
  EXPECT_NE(out.get(), a.get());
  expectElements(*a, {M(0, 0), L(1, 0)});
}

TEST(Combine, AddAndRemoveReuseKeys) {
  V2DBezierPathCombinePatch patch("c");
  patch.addBezierPath();
  ASSERT_NE(vector(patch, 3), nullptr);
  patch.removeBezierPath();
  EXPECT_EQ(vector(patch, 3), nullptr);
  EXPECT_EQ(patch.numBezierPaths(), 2u);
  patch.addBezierPath();
  EXPECT_NE(vector(patch, 3), nullptr);
  EXPECT_EQ(patch.bezierPathPorts().back()->key(), "Vector 3");
}

TEST(Combine, StateSaveAndLoadRestoresFiveInputsAndTheirValues) {
  V2DBezierPathCombinePatch saved("a");
  for (int i = 0; i < 3; ++i) saved.addBezierPath();
  saved.inputJoin.setBooleanValue(true);
  for (int n = 1; n <= 5; ++n) vector(saved, n)->setBezierPathValue(pathOf({M(n, 0), L(n, 1)}));
  const Structure state = saved.state();
  EXPECT_EQ(state.memberForKey("bezierPathsCount"), Value(5));

  V2DBezierPathCombinePatch loaded("b");
  ASSERT_TRUE(loaded.setState(state));
  EXPECT_EQ(loaded.numBezierPaths(), 5u);
  EXPECT_EQ(loaded.inputPorts().size(), 6u);
  EXPECT_TRUE(loaded.inputJoin.booleanValue());
  for (int n = 1; n <= 5; ++n) {
    ASSERT_NE(vector(loaded, n), nullptr);
    auto p = vector(loaded, n)->bezierPathValue();
    ASSERT_NE(p, nullptr) << n;
    expectElements(*p, {M(n, 0), L(n, 1)});
  }
  EXPECT_EQ(vector(loaded, 6), nullptr);
}

TEST(Combine, LoadingDeletesTheEarlierInputsWithTheirValuesFirst) {
  V2DBezierPathCombinePatch patch("c");
  vector(patch, 1)->setBezierPathValue(pathOf({M(0, 0), L(1, 0)}));
  vector(patch, 2)->setBezierPathValue(pathOf({M(0, 0), L(1, 0)}));
  ASSERT_TRUE(patch.setState(Structure::withMembersAndKeys({{"bezierPathsCount", 3}})));
  EXPECT_EQ(patch.numBezierPaths(), 3u);
  for (int n = 1; n <= 3; ++n) EXPECT_EQ(vector(patch, n)->bezierPathValue(), nullptr) << n;
  EXPECT_TRUE(run(patch)->isEmpty());
}

TEST(Combine, StateAsTheCommandLineHandsItMakesReachableInputs) {
  V2DBezierPathCombinePatch patch("c");
  ASSERT_TRUE(patch.setState(Structure::withMembersAndKeys({{"bezierPathsCount", 5}})));
  EXPECT_EQ(patch.numBezierPaths(), 5u);
  for (int n = 1; n <= 5; ++n) EXPECT_NE(patch.portForKey("Vector " + std::to_string(n)), nullptr);
  EXPECT_EQ(patch.portForKey("Vector 6"), nullptr);
}

TEST(Combine, StateWithoutCountOrWithBadCountsIsBounded) {
  V2DBezierPathCombinePatch patch("c");
  patch.setState(Structure::withMembersAndKeys({{"other", 1}}));
  EXPECT_EQ(patch.numBezierPaths(), 0u);
  patch.setState(Structure::withMembersAndKeys({{"bezierPathsCount", -3}}));
  EXPECT_EQ(patch.numBezierPaths(), 0u);
  patch.setState(Structure::withMembersAndKeys({{"bezierPathsCount", "3"}}));
  EXPECT_EQ(patch.numBezierPaths(), 3u);
  patch.setState(Structure::withMembersAndKeys({{"bezierPathsCount", 2.9}}));
  EXPECT_EQ(patch.numBezierPaths(), 2u);
  patch.setState(Structure::withMembersAndKeys({{"bezierPathsCount", 1e12}}));
  EXPECT_EQ(patch.numBezierPaths(), size_t(V2DBezierPathCombinePatch::kMaxInputs));
  EXPECT_NE(patch.portForKey("Vector 4096"), nullptr);
  EXPECT_EQ(patch.portForKey("Vector 4097"), nullptr);
}

TEST(Combine, SavedValuesThatDoNotFitArePassedOver) {
  V2DBezierPathCombinePatch patch("c");
  Structure values = Structure::withMembersAndKeys({{"Vector 1", "not a path"}, {"inputJoin", true}, {"Vector 9", 1}});
  patch.setState(Structure::withMembersAndKeys(
      {{"bezierPathsCount", 1}, {"inputValues", std::make_shared<const Structure>(values)}}));
  EXPECT_EQ(patch.numBezierPaths(), 1u);
  EXPECT_EQ(vector(patch, 1)->bezierPathValue(), nullptr);
  EXPECT_TRUE(patch.inputJoin.booleanValue());
}

TEST(CombineInspector, SegmentZeroAddsSegmentOneRemovesButNeverTheLastInput) {
  V2DBezierPathCombinePatch patch("c");
  V2DBezierPathCombinePatchUI inspector;
  EXPECT_EQ(inspector.viewNibName(), "V2DBezierPathCombinePatchUI");
  EXPECT_EQ(V2DBezierPathCombinePatchUI::viewNibName_(), "V2DBezierPathCombinePatchUI");
  inspector.setupViewForPatch(&patch);
  inspector.bezierPaths(SegmentedControl{0});
  EXPECT_EQ(patch.numBezierPaths(), 3u);
  inspector.bezierPaths(SegmentedControl{1});
  inspector.bezierPaths(SegmentedControl{1});
  EXPECT_EQ(patch.numBezierPaths(), 1u);
  inspector.bezierPaths(SegmentedControl{1});
  EXPECT_EQ(patch.numBezierPaths(), 1u);
  inspector.bezierPaths(SegmentedControl{-1});
  inspector.bezierPaths(SegmentedControl{2});
  EXPECT_EQ(patch.numBezierPaths(), 1u);
}

TEST(CombineInspector, CatalogueNamesAndMakesTheInspector) {
  const PatchClass* combine = nullptr;
  for (const PatchClass* c : patchClasses())
    if (c->name == "V2DBezierPathCombinePatch") combine = c;
  ASSERT_NE(combine, nullptr);
  EXPECT_EQ(combine->inspectorClass, "V2DBezierPathCombinePatchUI");
  ASSERT_TRUE(combine->createInspector);
  auto inspector = combine->createInspector();
  EXPECT_EQ(inspector->viewNibName(), "V2DBezierPathCombinePatchUI");
  auto patch = combine->create("x");
  inspector->setupViewForPatch(patch.get());
  dynamic_cast<V2DBezierPathCombinePatchUI&>(*inspector).bezierPaths(SegmentedControl{0});
  EXPECT_NE(patch->portForKey("Vector 3"), nullptr);
}
