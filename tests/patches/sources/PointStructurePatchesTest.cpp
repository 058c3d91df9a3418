// Vector With Line Structure and Vector With Curve Structure: paths through lists of points.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "patches/sources/V2DBezierPathWithPointStructurePatches.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using V = std::vector<Value>;  // a command or point as a list of members

Value keyed(std::initializer_list<std::pair<std::string, Value>> members) {
  return Value(std::make_shared<Structure>(Structure::withMembersAndKeys(members)));
}
Value xy(Value x, Value y) { return Value(std::make_shared<Structure>(Structure::withMembersAndKeys({{"X", x}, {"Y", y}}))); }

BezierPathRef lines(const Members& points, double x = 0, double y = 0, bool segments = false, bool relative = false) {
  V2DBezierPathWithLineStructurePatch patch("l");
  patch.inputX.setDoubleValue(x);
  patch.inputY.setDoubleValue(y);
  patch.inputLines.setStructureValue(Structure(points.values));
  patch.inputType.setIndexValue(segments ? 1 : 0);
  patch.inputRelative.setBooleanValue(relative);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputBezierPath.bezierPathValue();
}

BezierPathRef curves(const Members& entries, double x = 0, double y = 0, bool relative = false) {
  V2DBezierPathWithCurveStructurePatch patch("c");
  patch.inputX.setDoubleValue(x);
  patch.inputY.setDoubleValue(y);
  patch.inputCurves.setStructureValue(Structure(entries.values));
  patch.inputRelative.setBooleanValue(relative);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputBezierPath.bezierPathValue();
}

}  // namespace

TEST(VectorWithLineStructure, WorkedPointLists) {
  struct Row {
    Members points;
    double x, y;
    bool segments, relative;
    std::vector<El> expected;
  };
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
    SCOPED_TRACE(i);
    const Row& r = rows[i];
    auto path = lines(r.points, r.x, r.y, r.segments, r.relative);
    ASSERT_TRUE(path);
    expectElements(*path, r.expected);
  }
}

TEST(VectorWithLineStructure, NothingUsableOutputsNothing) {
  V2DBezierPathWithLineStructurePatch patch("l");
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputBezierPath.bezierPathValue());
  EXPECT_FALSE(lines({}));
  EXPECT_FALSE(lines({Value(1), Value("a"), V{1}, V{}, V{Value(), 2}, V{Value(Point{1, 2}), 1}}));
  // A keyed entry whose "X" is a structure is skipped like any bad member.
  EXPECT_FALSE(lines({xy(V{1}, 2)}));
}

TEST(VectorWithLineStructure, NonFiniteCoordinatesAreKept) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  BezierPathRef p = lines({V{nan, 1e308}, V{1e308, -1e308}}, 0, 0, false, true);
  ASSERT_TRUE(p);
  ASSERT_EQ(p->elementCount(), 3u);
  EXPECT_TRUE(std::isnan(p->associatedPoints(1)[0].x));
  EXPECT_EQ(p->associatedPoints(2)[0].y, -1e308 + 1e308);
}

TEST(VectorWithCurveStructure, CurvesEndPointFirstRelativeOffsetsAndShortOrKeyedEntriesSkipped) {
  expectElements(*curves({V{10, 0, 0, 5, 10, 5}}), {M(0, 0), C({0, 5}, {10, 5}, {10, 0})});
  // Relative: all three points offset.
  expectElements(*curves({V{10, 0, 0, 5, 10, 5}, V{10, 0, 0, 5, 10, 5}}, 1, 1, true),
                 {M(1, 1), C({1, 6}, {11, 6}, {11, 1}), C({11, 6}, {21, 6}, {21, 1})});
  expectElements(*curves({V{1, 1, 1, 1, 1, 1}, V{2, 2, 2, 2, 2}, V{3, 3, 3, 3, 3, 3}}),
                 {M(0, 0), C({1, 1}, {1, 1}, {1, 1}), C({3, 3}, {3, 3}, {3, 3})});
  EXPECT_FALSE(curves({V{1, 2}, V{2, 2, 2, 2, 2}}));
  // Curves are always read by position; a keyed point has too few members.
  EXPECT_FALSE(curves({xy(1, 2)}));
}
