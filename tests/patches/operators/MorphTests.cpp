#include <gtest/gtest.h>

#include <cmath>

#include "patches/operators/V2DBezierPathMorphPatch.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using Pairs = std::vector<std::pair<Point, Point>>;

BezierPathRef morph(V2DBezierPathMorphPatch& patch, double t) {
  EXPECT_TRUE(patch.execute(nullptr, t, {}));
  return patch.outputBezierPath.bezierPathValue();
}

void setPaths(V2DBezierPathMorphPatch& patch, BezierPathRef start, BezierPathRef end, unsigned algorithm = 0) {
  patch.inputBezierPathStart.setBezierPathValue(std::move(start));
  patch.inputBezierPathEnd.setBezierPathValue(std::move(end));
  patch.inputPairingAlgorithm.setIndexValue(algorithm);
}

// What a host does after an execution.
void clearUpdates(Patch& patch) {
  for (Port* p : patch.inputPorts()) p->setUpdated(false);
}

void expectTable(const V2DPairingTable& table, const Pairs& expected, double tol = 0) {
  EXPECT_EQ(table.size(), expected.size());
  for (const auto& [from, to] : expected) {
    auto it = table.find(from);
    ASSERT_NE(it, table.end()) << "no partner for (" << from.x << ", " << from.y << ")";
    EXPECT_NEAR(it->second.x, to.x, tol) << "partner of (" << from.x << ", " << from.y << ")";
    EXPECT_NEAR(it->second.y, to.y, tol) << "partner of (" << from.x << ", " << from.y << ")";
  }
}

std::shared_ptr<BezierPath> triangle() { return pathOf({M(1, 1), L(0, 1), L(0, 0), Z()}); }
std::shared_ptr<BezierPath> movedSquare() { return pathOf({M(5, 3), L(6, 3), L(6, 4), L(5, 4), Z()}); }

// n points on a circle of radius 100 around (0, y).
std::shared_ptr<BezierPath> circle(size_t n, double y, bool closed) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({100, y});
  for (size_t i = 1; i < n; ++i) {
    const double a = 2 * M_PI * double(i) / double(n);
    path->lineToPoint({100 * std::cos(a), 100 * std::sin(a) + y});
  }
  if (closed) path->closePath();
  return path;
}

}  // namespace

TEST(Morph, VertexListSkipsRepeatsAndCloses) {
  auto path = pathOf({M(0, 0), L(1, 0), L(1, 1), L(0, 0), Z(), M(-0.0, 0), L(1, 0)});
  EXPECT_EQ(morphVertexList(*path), (std::vector<Point>{{0, 0}, {1, 0}, {1, 1}}));
}

// Pairings that no frame below shows: the patch makes the path with more elements the from path.
TEST(Morph, WorkedPairingTables) {
  const auto sequential = V2DBezierPathMorphPatch::_pairSequentialVerticesEquallySpacedFrom;
  auto reversed = pathOf({M(2, 0), L(1, 0), L(0, 0)});
  // An open from path pairs first with first.
  expectTable(*sequential(*pathOf({M(0, 0), L(1, 0), L(2, 0)}), *reversed), {{{0, 0}, {2, 0}}, {{1, 0}, {1, 0}}, {{2, 0}, {0, 0}}});
  // Closed, the lowest of equal rotations. Travel: k = 0: 4, k = 1: 2, k = 2: 2.
  expectTable(*sequential(*pathOf({M(0, 0), L(1, 0), L(2, 0), Z()}), *reversed), {{{1, 0}, {2, 0}}, {{2, 0}, {1, 0}}, {{0, 0}, {0, 0}}});
  // Centroids (0, 0) both. First pass: (-1, 0) -> (-1, 0), (1, 0) -> (1, 0) (marks 0 and 2).
  // Second pass: the unmarked (0, 1) and (0, -1) are both nearest to (-1, 0) (lowest i of the
  // equal distances); the later one, (0, -1), keeps it.
  expectTable(*V2DBezierPathMorphPatch::_pairNearestVerticesFrom(*pathOf({M(-1, 0), L(1, 0)}),
                                                                 *pathOf({M(-1, 0), L(0, 1), L(1, 0), L(0, -1)})),
              {{{-1, 0}, {0, -1}}, {{1, 0}, {1, 0}}});
}

TEST(Morph, WorkedFramesWithEachPairing) {
  // Pairing, start, end, time, frame.
  const std::vector<std::tuple<unsigned, BezierPathRef, BezierPathRef, double, std::vector<El>>> rows = {
      // r = 4/3: the rotated from vertices k .. k+3 pair with to vertices 0, 0, 1, 2. Travel by
      // rotation: k = 0: 3 + sqrt 2, k = 1: 1, k = 2: 3, k = 3: 1 + 3 sqrt 2; k = 1 wins.
      {1, unitSquare(), triangle(), 0.5, {M(0, 0), L(1, 0.5), L(1, 1), L(0, 1), Z()}},
      // Nearest, collinear: the second pass pairs the unmarked (0, 0) in the to path's order.
      {0, pathOf({M(0, 0), L(2, 0), L(0, 0)}), pathOf({M(0, 0), L(1, 0), L(2, 0)}), 0.5, {M(0.5, 0), L(2, 0), L(0.5, 0)}},
      // Nearest aligns the centroids first, so a copy elsewhere is a pure translation.
      {0, unitSquare(), movedSquare(), 0.5, {M(2.5, 1.5), L(3.5, 1.5), L(3.5, 2.5), L(2.5, 2.5), Z()}},
      // Equal element counts: the start is the from path (its close included). r = 2/3: to
      // indices 0, 1; rotation 0 travels 2 + sqrt 8, rotation 1 sqrt 20 + sqrt 8.
      {1, pathOf({M(0, 0), L(4, 0), Z()}), pathOf({M(0, 2), L(2, 2), L(4, 2)}), 0.25, {M(0, 0.5), L(3.5, 0.5), Z()}},
      // The end has more elements: it is the from path, with the fraction reversed (s = 0.75).
      {1, pathOf({M(0, 0), L(4, 0)}), pathOf({M(0, 0), L(2, 2), L(4, 0)}), 0.25, {M(0, 0), L(0.5, 0.5), L(4, 0)}},
      // One point: the square is the from path, every vertex heading for the point; t = 0.75
      // from the point is s = 0.25 from the square.
      {0, pathOf({M(2, 2)}), unitSquare(), 0.75, {M(0.5, 0.5), L(1.25, 0.5), L(1.25, 1.25), L(0.5, 1.25), Z()}},
      {1, pathOf({M(2, 2)}), unitSquare(), 0.75, {M(0.5, 0.5), L(1.25, 0.5), L(1.25, 1.25), L(0.5, 1.25), Z()}},
      {2, pathOf({M(2, 2)}), unitSquare(), 0.75, {M(0.5, 0.5), L(1.25, 0.5), L(1.25, 1.25), L(0.5, 1.25), Z()}},
      // Resampled: the to path at the square's 5 elements is (0, 0) then 1, 2, 3, 4, 5 along x, and
      // r = 4/6 gives to indices 0, 1, 3, 4 (rotation 0 travels least, sqrt 5 + sqrt 17).
      {2, unitSquare(), pathOf({M(0, 0), L(5, 0)}), 0.5, {M(0, 0), L(1, 0), L(2, 0.5), L(2, 0.5), Z()}},
  };
  for (const auto& [algorithm, start, end, t, expected] : rows) {
    V2DBezierPathMorphPatch patch("m");
    setPaths(patch, start, end, algorithm);
    clearUpdates(patch);  // a first execution pairs even when no input reports an update
    expectElements(*morph(patch, t), expected);
    EXPECT_NE(patch.pairedPoints(), nullptr);
  }
}

TEST(Morph, EndsOfTimeOutputTheFlattenedInputsWithoutInterpolation) {
  auto curve = pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0})});
  auto line = pathOf({M(0, 0), L(10, 0)});
  V2DBezierPathMorphPatch patch("m");
  setPaths(patch, curve, line);
  auto flatCurve = curve->bezierPathByFlatteningPathWithFlatness(0.01);
  for (double t : {0.0, -3.0, -kInf, kNaN}) EXPECT_TRUE(morph(patch, t)->isEqualToBezierPath(*flatCurve)) << t;
  for (double t : {1.0, 7.0, kInf}) EXPECT_TRUE(morph(patch, t)->isEqualToBezierPath(*line)) << t;
  EXPECT_NE(morph(patch, 1).get(), line.get());
}

TEST(MorphCache, TimeAloneKeepsTheTableAnInputUpdateRebuildsIt) {
  V2DBezierPathMorphPatch patch("m");
  setPaths(patch, unitSquare(), triangle());
  morph(patch, 0.1);
  auto first = patch.pairedPoints();
  ASSERT_NE(first, nullptr);
  clearUpdates(patch);
  auto a = morph(patch, 0.3);
  auto b = morph(patch, 0.6);
  EXPECT_EQ(patch.pairedPoints(), first);
  EXPECT_NE(a.get(), b.get());
  // The cached frame gives what the class-level interpolation gives with the table.
  auto flat = unitSquare()->bezierPathByFlatteningPathWithFlatness(0.01);
  EXPECT_TRUE(b->isEqualToBezierPath(*V2DBezierPathMorphPatch::_interpolateFromBezierPath(*flat, *first, 0.6)));

  patch.inputFlatness.setDoubleValue(0.5);
  morph(patch, 0.6);
  EXPECT_NE(patch.pairedPoints(), first);
  auto second = patch.pairedPoints();
  clearUpdates(patch);
  patch.inputPairingAlgorithm.setIndexValue(1);
  morph(patch, 0.6);
  EXPECT_NE(patch.pairedPoints(), second);
}

TEST(MorphCache, AFromVertexMissingFromTheTableRebuildsInsteadOfGoingAstray) {
  V2DBezierPathMorphPatch patch("m");
  setPaths(patch, unitSquare(), movedSquare());
  morph(patch, 0.5);
  auto stale = patch.pairedPoints();
  // The start path changes without the port reporting it: the table no longer fits.
  patch.inputBezierPathStart.setBezierPathValue(pathOf({M(10, 10), L(11, 10), L(11, 11), L(10, 11), Z()}));
  clearUpdates(patch);
  auto out = morph(patch, 0.5);
  EXPECT_NE(patch.pairedPoints(), stale);
  expectElements(*out, {M(7.5, 6.5), L(8.5, 6.5), L(8.5, 7.5), L(7.5, 7.5), Z()});
}

TEST(MorphCache, InterpolationLeavesVerticesWithoutPartnerWhereTheyAre) {
  V2DPairingTable table{{{1, 0}, {3, 0}}};
  size_t missing = 99;
  auto out = V2DBezierPathMorphPatch::_interpolateFromBezierPath(*unitSquare(), table, 0.5, &missing);
  EXPECT_EQ(missing, 3u);
  expectElements(*out, {M(0, 0), L(2, 0), L(1, 1), L(0, 1), Z()});
}

// With one path empty or absent the output is the other path, flattened, and nothing is paired;
// with neither, nothing.
TEST(MorphBadInput, EmptyAndAbsentInputsGiveTheOtherFlattenedPathAndNoTable) {
  const BezierPathRef none, empty = BezierPath::bezierPath();
  for (const auto& [start, end, expected] : {std::tuple{none, none, none}, {empty, none, none}, {empty, empty, empty},
                                             {BezierPathRef(unitSquare()), none, BezierPathRef(unitSquare())},
                                             {BezierPathRef(unitSquare()), empty, BezierPathRef(unitSquare())},
                                             {none, BezierPathRef(triangle()), BezierPathRef(triangle())}}) {
    V2DBezierPathMorphPatch patch("m");
    setPaths(patch, start, end);
    auto out = morph(patch, 0.5);
    ASSERT_EQ(bool(out), bool(expected));
    EXPECT_TRUE(!out || out->isEqualToBezierPath(*expected));
    EXPECT_EQ(patch.pairedPoints(), nullptr);
  }
}

// Under each pairing: six elements against five, the close-only path is the from path and its
// one vertex heads for one of the square's corners; NaN flatness and NaN coordinates stay bounded.
TEST(MorphBadInput, CloseOnlyPathsNaNFlatnessAndNaNCoordinates) {
  for (unsigned algorithm : {0u, 1u, 2u}) {
    V2DBezierPathMorphPatch patch("m");
    setPaths(patch, pathOf({M(2, 2), Z(), Z(), Z(), Z(), Z()}), unitSquare(), algorithm);
    auto out = morph(patch, 0.5);
    ASSERT_EQ(out->elementCount(), 6u) << algorithm;
    EXPECT_TRUE(out->elementAtIndex(0) == K::MoveTo && out->elementAtIndex(5) == K::ClosePath);
    patch.inputFlatness.setDoubleValue(kNaN);
    setPaths(patch, pathOf({M(0, 0), C({0, 10}, {10, 10}, {10, 0})}), pathOf({M(kNaN, 0), L(1, kNaN), L(2, 2)}), algorithm);
    out = morph(patch, 0.5);
    EXPECT_GT(out ? out->elementCount() : 0, 2u);
    // Every from vertex found its partner: none stayed behind because of a NaN key.
    ASSERT_NE(patch.pairedPoints(), nullptr);
  }
}

TEST(MorphBadInput, PairingOfVeryLargeInputsIsThinnedToStayWithinTheCap) {
  // 10 000 by 10 000 vertices is 1e8 distances, above the cap: every other to vertex is used.
  auto from = circle(10000, 0, true);
  auto to = circle(10000, 50, false);
  auto nearest = V2DBezierPathMorphPatch::_pairNearestVerticesFrom(*from, *to);
  EXPECT_EQ(nearest->size(), 10000u);
  const auto toList = morphVertexList(*to);
  V2DPairingTable evenIndex;
  for (size_t j = 0; j < toList.size(); j += 2) evenIndex.emplace(toList[j], toList[j]);
  for (const auto& [f, t] : *nearest) EXPECT_EQ(evenIndex.count(t), 1u);
  EXPECT_EQ(V2DBezierPathMorphPatch::_pairSequentialVerticesEquallySpacedFrom(*from, *to)->size(), 10000u);
}
