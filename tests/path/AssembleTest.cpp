// Several paths joined into one, and paths through point lists.
#include "path/Assemble.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using V = std::vector<Value>;  // a point as a list of members
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Value keyed(std::initializer_list<std::pair<std::string, Value>> members) {
  return Value(std::make_shared<Structure>(Structure::withMembersAndKeys(members)));
}
Value xy(Value x, Value y) { return keyed({{"X", x}, {"Y", y}}); }

std::shared_ptr<BezierPath> lines(const Members& points, double x = 0, double y = 0, bool segments = false,
                                  bool relative = false) {
  const Structure list(points.values);
  return bezierPathWithPoints(&list, x, y, false, segments, relative);
}

std::shared_ptr<BezierPath> curves(const Members& entries, double x = 0, double y = 0, bool relative = false) {
  const Structure list(entries.values);
  return bezierPathWithPoints(&list, x, y, true, false, relative);
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
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto& [points, x, y, segments, relative, expected] = rows[i];
    expectElements(*lines(points, x, y, segments, relative), expected);
  }
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
  EXPECT_TRUE(curves({V{1, 2}, V{2, 2, 2, 2, 2}})->isEmpty());
  // Curves are always read by position; a keyed point has too few members.
  EXPECT_TRUE(curves({xy(1, 2)})->isEmpty());
}
