#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "patches/sources/V2DBezierPathWithPointStructurePatches.h"
#include "plugin/Vellum2DPrincipal.h"
#include "tests/text/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using L = std::vector<Value>;

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

TEST(VectorWithLineStructure, NamePortsAndLimits) {
  V2DBezierPathWithLineStructurePatch patch("l");
  EXPECT_EQ(patch.userInfo().memberForKey("name").stringValue(), "Vellum Vector With Line Structure");
  std::vector<std::string> keys;
  for (Port* p : patch.inputPorts()) keys.push_back(p->key());
  EXPECT_EQ(keys, (std::vector<std::string>{"inputX", "inputY", "inputLines", "inputType", "inputRelative"}));
  EXPECT_EQ(patch.inputType.maxIndexValue(), 1u);
  patch.inputType.setValue(Value(5));
  EXPECT_EQ(patch.inputType.indexValue(), 1u);
  V2DBezierPathWithCurveStructurePatch curve("c");
  EXPECT_EQ(curve.userInfo().memberForKey("name").stringValue(), "Vellum Vector With Curve Structure");
  keys.clear();
  for (Port* p : curve.inputPorts()) keys.push_back(p->key());
  EXPECT_EQ(keys, (std::vector<std::string>{"inputX", "inputY", "inputCurves", "inputRelative"}));
}

TEST(VectorWithLineStructure, ConnectedPolyline) {
  expectElements(*lines({L{1, 0}, L{1, 1}}), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 0}}}, {K::LineTo, {{1, 1}}}});
}

TEST(VectorWithLineStructure, RelativeSteps) {
  expectElements(*lines({L{1, 0}, L{1, 1}}, 0, 0, false, true),
                 {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 0}}}, {K::LineTo, {{2, 1}}}});
  expectElements(*lines({L{1, 0}}, 5, 6, false, true), {{K::MoveTo, {{5, 6}}}, {K::LineTo, {{6, 6}}}});
}

TEST(VectorWithLineStructure, KeyedPointsGiveTheSamePath) {
  EXPECT_TRUE(lines({xy(1, 0), xy(1, 1)})->isEqualToBezierPath(*lines({L{1, 0}, L{1, 1}})));
  // Extra keys are fine; a missing "Y" in a later entry reads as 0.
  Value extra(std::make_shared<Structure>(Structure::withMembersAndKeys({{"Z", 9}, {"X", 4}})));
  expectElements(*lines({xy(1, 2), extra}, 0, 0),
                 {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 2}}}, {K::LineTo, {{4, 0}}}});
}

TEST(VectorWithLineStructure, FirstMemberDecidesTheForm) {
  // Indexed first: keyed entries later are read by position (X then Y, in insertion order).
  expectElements(*lines({L{1, 0}, xy(7, 8)}), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 0}}}, {K::LineTo, {{7, 8}}}});
  Value yx(std::make_shared<Structure>(Structure::withMembersAndKeys({{"Y", 8}, {"X", 7}})));
  expectElements(*lines({L{1, 0}, yx}), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 0}}}, {K::LineTo, {{8, 7}}}});
  // Keyed first: an indexed pair later has no "X" or "Y" and reads as (0, 0).
  expectElements(*lines({xy(1, 1), L{5, 5}}), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 1}}}, {K::LineTo, {{0, 0}}}});
  // The first member decides even when it is skipped for being too short.
  Value keyedShort(std::make_shared<Structure>(Structure::withMembersAndKeys({{"X", 3}})));
  expectElements(*lines({keyedShort, xy(2, 2)}), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{2, 2}}}});
}

TEST(VectorWithLineStructure, SegmentsMode) {
  const L points{L{1, 1}, L{2, 2}, L{3, 3}, L{4, 4}, L{5, 5}};
  expectElements(*lines(points, 0, 0, true), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 1}}}, {K::MoveTo, {{2, 2}}},
                                              {K::LineTo, {{3, 3}}}, {K::MoveTo, {{4, 4}}}, {K::LineTo, {{5, 5}}}});
  // Relative: the pen-up points are absolute, the drawn ones offsets.
  expectElements(*lines(points, 0, 0, true, true), {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 1}}}, {K::MoveTo, {{2, 2}}},
                                                    {K::LineTo, {{5, 5}}}, {K::MoveTo, {{4, 4}}}, {K::LineTo, {{9, 9}}}});
  // An even count ends on a pen-up that draws nothing.
  EXPECT_EQ(lines({L{1, 1}, L{2, 2}}, 0, 0, true)->elementCount(), 2u);
}

TEST(VectorWithLineStructure, SkippedMembersDoNotCountInSegmentsMode) {
  const L withJunk{L{1, 1}, Value(3), L{9}, L{2, 2}, Value("x"), L{"a", L{}}, L{3, 3}};
  expectElements(*lines(withJunk, 0, 0, true),
                 {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 1}}}, {K::MoveTo, {{2, 2}}}, {K::LineTo, {{3, 3}}}});
}

TEST(VectorWithLineStructure, NumbersAsStringsAndExtraMembers) {
  expectElements(*lines({L{"1.5", "2px", "ignored"}, L{true, 3, 4, 5}}),
                 {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1.5, 2}}}, {K::LineTo, {{1, 3}}}});
}

TEST(VectorWithLineStructure, NothingUsableOutputsNothing) {
  V2DBezierPathWithLineStructurePatch patch("l");
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputBezierPath.bezierPathValue());
  EXPECT_FALSE(lines({}));
  EXPECT_FALSE(lines({Value(1), Value("a"), L{1}, L{}, L{Value(), 2}, L{Value(Point{1, 2}), 1}}));
  // A keyed entry whose "X" is a structure is skipped like any bad member.
  EXPECT_FALSE(lines({xy(L{1}, 2)}));
}

TEST(VectorWithLineStructure, NonFiniteCoordinatesAreKept) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  BezierPathRef p = lines({L{nan, 1e308}, L{1e308, -1e308}}, 0, 0, false, true);
  ASSERT_TRUE(p);
  ASSERT_EQ(p->elementCount(), 3u);
  EXPECT_TRUE(std::isnan(p->associatedPoints(1)[0].x));
  EXPECT_EQ(p->associatedPoints(2)[0].y, -1e308 + 1e308);
}

TEST(VectorWithCurveStructure, OneCurve) {
  expectElements(*curves({L{10, 0, 0, 5, 10, 5}}), {{K::MoveTo, {{0, 0}}}, {K::CurveTo, {{0, 5}, {10, 5}, {10, 0}}}});
}

TEST(VectorWithCurveStructure, RelativeCurvesOffsetAllThreePoints) {
  expectElements(*curves({L{10, 0, 0, 5, 10, 5}, L{10, 0, 0, 5, 10, 5}}, 1, 1, true),
                 {{K::MoveTo, {{1, 1}}},
                  {K::CurveTo, {{1, 6}, {11, 6}, {11, 1}}},
                  {K::CurveTo, {{11, 6}, {21, 6}, {21, 1}}}});
}

TEST(VectorWithCurveStructure, ShortEntriesAreSkipped) {
  expectElements(*curves({L{1, 1, 1, 1, 1, 1}, L{2, 2, 2, 2, 2}, L{3, 3, 3, 3, 3, 3}}),
                 {{K::MoveTo, {{0, 0}}}, {K::CurveTo, {{1, 1}, {1, 1}, {1, 1}}}, {K::CurveTo, {{3, 3}, {3, 3}, {3, 3}}}});
  EXPECT_FALSE(curves({L{1, 2}, L{2, 2, 2, 2, 2}}));
}

TEST(VectorWithCurveStructure, KeyedEntriesAreNotCurves) {
  // Curves are always read by position; a keyed point has too few members.
  EXPECT_FALSE(curves({xy(1, 2)}));
}

TEST(VectorWithLineStructure, RegisteredInTheCatalogue) {
  const auto& rows = catalogueRows();
  EXPECT_STREQ(rows[22].name, "V2DBezierPathWithLineStructurePatch");
  EXPECT_STREQ(rows[28].name, "V2DBezierPathWithCurveStructurePatch");
  ASSERT_TRUE(rows[22].create && rows[28].create);
  EXPECT_TRUE(dynamic_cast<V2DBezierPathWithLineStructurePatch*>(rows[22].create("a").get()));
  EXPECT_TRUE(dynamic_cast<V2DBezierPathWithCurveStructurePatch*>(rows[28].create("b").get()));
}
