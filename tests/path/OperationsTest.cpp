// Whole-path operations: the noise walk (path/Noise.h), several paths joined into one and paths
// through point lists (path/Assemble.h). The noise draws come from random() after srandom(seed).
#include "path/Assemble.h"
#include "path/Noise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <tuple>

#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using V = std::vector<Value>;  // a point as a list of members

Value keyed(std::initializer_list<std::pair<std::string, Value>> members) {
  return Value(std::make_shared<Structure>(Structure::withMembersAndKeys(members)));
}
Value xy(Value x, Value y) { return keyed({{"X", x}, {"Y", y}}); }

// The path through a list of points (lines) or of curve entries.
std::shared_ptr<BezierPath> lines(const Members& points, double x = 0, double y = 0, bool segments = false,
                                  bool relative = false, bool curve = false) {
  const Structure list(points.values);
  return bezierPathWithPoints(&list, x, y, curve, segments, relative);
}
std::shared_ptr<BezierPath> curves(const Members& entries, double x = 0, double y = 0, bool relative = false) {
  return lines(entries, x, y, false, relative, true);
}

}  // namespace

// With join on, a move to the current point continues the subpath; any other move stays, and
// within one input such a move is dropped either way.
TEST(Combine, JoinedAndSeparateSubpaths) {
  // Join, the first and second inputs, the output.
  const std::vector<std::tuple<bool, std::vector<El>, std::vector<El>, std::vector<El>>> rows = {
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
  for (const auto& [join, first, second, expected] : rows) {
    // An empty second path is left absent: absent paths contribute nothing either.
    const BezierPathRef paths[] = {pathOf(first), second.empty() ? nullptr : pathOf(second)};
    expectElements(*combineBezierPaths(paths, join), expected);
  }
}

TEST(PathWithPoints, WorkedPointLists) {
  // Points, inputX, inputY, segments, relative, the path.
  using Row = std::tuple<Members, double, double, bool, bool, std::vector<El>>;
  const V five{V{1, 1}, V{2, 2}, V{3, 3}, V{4, 4}, V{5, 5}};
  const std::vector<Row> rows = {
      {{V{1, 0}, V{1, 1}}, 0, 0, false, false, {M(0, 0), L(1, 0), L(1, 1)}},
      {{xy(1, 0), xy(1, 1)}, 0, 0, false, false, {M(0, 0), L(1, 0), L(1, 1)}},  // keyed: the same path
      {{V{1, 0}, V{1, 1}}, 0, 0, false, true, {M(0, 0), L(1, 0), L(2, 1)}},  // relative steps
      {{V{1, 0}}, 5, 6, false, true, {M(5, 6), L(6, 6)}},
      // Extra keys are fine; a missing "Y" in a later entry reads as 0.
      {{xy(1, 2), keyed({{"Z", 9}, {"X", 4}})}, 0, 0, false, false, {M(0, 0), L(1, 2), L(4, 0)}},
      // The first member decides the form. Indexed first: keyed entries later are read by
      // position (X then Y, in insertion order).
      {{V{1, 0}, xy(7, 8)}, 0, 0, false, false, {M(0, 0), L(1, 0), L(7, 8)}},
      {{V{1, 0}, keyed({{"Y", 8}, {"X", 7}})}, 0, 0, false, false, {M(0, 0), L(1, 0), L(8, 7)}},
      // Keyed first: an indexed pair later has no "X" or "Y" and reads as (0, 0).
      {{xy(1, 1), V{5, 5}}, 0, 0, false, false, {M(0, 0), L(1, 1), L(0, 0)}},
      // The first member decides even when it is skipped for being too short.
      {{keyed({{"X", 3}}), xy(2, 2)}, 0, 0, false, false, {M(0, 0), L(2, 2)}},
      // Segments; relative, the pen-up points are absolute and the drawn ones offsets.
      {five, 0, 0, true, false, {M(0, 0), L(1, 1), M(2, 2), L(3, 3), M(4, 4), L(5, 5)}},
      {five, 0, 0, true, true, {M(0, 0), L(1, 1), M(2, 2), L(5, 5), M(4, 4), L(9, 9)}},
      // An even count ends on a pen-up that draws nothing.
      {{V{1, 1}, V{2, 2}}, 0, 0, true, false, {M(0, 0), L(1, 1)}},
      // Skipped members do not count in segments mode.
      {{V{1, 1}, Value(3), V{9}, V{2, 2}, Value("x"), V{"a", V{}}, V{3, 3}}, 0, 0, true, false,
       {M(0, 0), L(1, 1), M(2, 2), L(3, 3)}},
      // Numbers as strings, extra members ignored.
      {{V{"1.5", "2px", "ignored"}, V{true, 3, 4, 5}}, 0, 0, false, false, {M(0, 0), L(1.5, 2), L(1, 3)}},
  };
  for (const auto& [points, x, y, segments, relative, expected] : rows)
    expectElements(*lines(points, x, y, segments, relative), expected);
}

TEST(PathWithPoints, NothingUsableGivesAnEmptyPathNonFiniteCoordinatesAreKept) {
  EXPECT_TRUE(bezierPathWithPoints(nullptr, 0, 0, false, false, false)->isEmpty());
  EXPECT_TRUE(lines({})->isEmpty());
  EXPECT_TRUE(lines({Value(1), Value("a"), V{1}, V{}, V{Value(), 2}, V{Value(Point{1, 2}), 1}})->isEmpty());
  // A keyed entry whose "X" is a structure is skipped like any bad member.
  EXPECT_TRUE(lines({xy(V{1}, 2)})->isEmpty());
  const auto p = lines({V{kNaN, 1e308}, V{1e308, -1e308}}, 0, 0, false, true);
  ASSERT_EQ(p->elementCount(), 3u);
  EXPECT_TRUE(std::isnan(p->associatedPoints(1)[0].x));
  EXPECT_EQ(p->associatedPoints(2)[0].y, -1e308 + 1e308);
}

TEST(PathWithPoints, CurvesEndPointFirstRelativeOffsetsAndShortOrKeyedEntriesSkipped) {
  expectElements(*curves({V{10, 0, 0, 5, 10, 5}}), {M(0, 0), C({0, 5}, {10, 5}, {10, 0})});
  // Relative: all three points offset.
  expectElements(*curves({V{10, 0, 0, 5, 10, 5}, V{10, 0, 0, 5, 10, 5}}, 1, 1, true),
                 {M(1, 1), C({1, 6}, {11, 6}, {11, 1}), C({11, 6}, {21, 6}, {21, 1})});
  expectElements(*curves({V{1, 1, 1, 1, 1, 1}, V{2, 2, 2, 2, 2}, V{3, 3, 3, 3, 3, 3}}),
                 {M(0, 0), C({1, 1}, {1, 1}, {1, 1}), C({3, 3}, {3, 3}, {3, 3})});
  // Curves are always read by position: a keyed point, first or not, has too few members.
  EXPECT_TRUE(curves({xy(1, 2), V{1, 2}, V{2, 2, 2, 2, 2}})->isEmpty());
}

// Each point moves by at most half its axis's amount, and moves along an axis exactly when its
// amount is finite and not zero; the elements stay, and the input is never changed.
TEST(Noise, PointsMoveWithinHalfTheAmountOnlyAlongAxesThatHaveOne) {
  const std::vector<El> elements = {M(1, 2), C({3, 4}, {5, 6}, {7, 8}), L(-3, 9), Z(), M(10, 10), L(11, 12), Z()};
  const auto in = pathOf(elements);
  for (double bad : {kNaN, kInf, -kInf, -1e300}) EXPECT_EQ(noiseAmount(bad), 0.0f) << bad;
  const std::tuple<unsigned, double, double> rows[] = {{0, 10, 0.5}, {1, 10, 0.5}, {42, 10, 0.5}, {977, 10, 0.5}, {11, 0, 0},
                                                       {9, kNaN, 4}, {9, kInf, 4}, {9, -kInf, 4}, {9, -1e300, 4}};
  for (const auto& [seed, ax, ay] : rows) {
    const float fx = noiseAmount(ax), fy = noiseAmount(ay);
    srandom(seed);
    const auto out = elementsOf(*noisyBezierPath(*in, fx, fy, random));
    ASSERT_EQ(out.size(), elements.size());
    for (size_t i = 0; i < out.size(); ++i) {
      ASSERT_EQ(out[i].kind, elements[i].kind);
      for (size_t j = 0; j < out[i].points.size(); ++j) {
        const double dx = out[i].points[j].x - elements[i].points[j].x, dy = out[i].points[j].y - elements[i].points[j].y;
        EXPECT_TRUE(std::abs(dx) <= std::abs(fx) / 2 && (dx != 0) == (fx != 0)) << seed << " " << ax << " " << i;
        EXPECT_TRUE(std::abs(dy) <= std::abs(fy) / 2 && (dy != 0) == (fy != 0)) << seed << " " << ay << " " << i;
      }
    }
  }
  EXPECT_EQ(elementsOf(*in), elements);
}

// Exact values of the single-precision formula at the ends and the middle of the 23-bit range.
TEST(Noise, OneDisplacement) {
  EXPECT_EQ(noiseDisplacement(0, 2.0f), -1.0f);
  EXPECT_EQ(noiseDisplacement(0x800000, 2.0f), -1.0f);  // only the low 23 bits count
  EXPECT_EQ(noiseDisplacement(0x7FFFFF, 2.0f), 1.0f);   // 1 - 2^-46 rounds to 1
  EXPECT_EQ(noiseDisplacement(0x400000, 2.0f), 1.1920928955078125e-07);
}

// Regression guard: outputs of the current implementation at known seeds, pinned exactly. A
// change to the draw order (a curve draws its second control point, its end, then its first),
// to the draws per element (a close draws nothing) or to the scaling shows here.
TEST(Noise, PinnedOutputsAtKnownSeeds) {
  srandom(42);
  expectElements(*noisyBezierPath(*pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8}), Z(), L(9, 10)}), 10, 0.5, random),
                 {M(1.6830674409866333, 1.9854185879230499),
                  C({7.5898222923278809, 3.7936646938323975}, {8.0274033546447754, 5.8282952904701233},
                    {10.038755655288696, 7.7664417028427124}),
                  Z(), L(6.2384157180786133, 9.9402637183666229)});
  srandom(0xFFFFFFFFu);
  expectElements(*noisyBezierPath(*pathOf({M(0, 0), L(1, 1)}), 1, 3, random),
                 {M(-0.11049705743789673, 0.5089232325553894), L(1.1458140015602112, -0.31846201419830322)});
}
