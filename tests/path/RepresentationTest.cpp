// Command structures, the JSON-facing representation and V2DVector3 values.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <unordered_set>

#include "path/BezierPath.h"
#include "path/V2DVector3.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

Value cmd(std::vector<Value> members) { return Value(members); }

std::shared_ptr<BezierPath> sample() { return pathOf({M(1, 2), C({3, 4}, {5, 6}, {7, 8}), Z()}); }

Value withPath(std::vector<Value> commands, std::vector<std::pair<std::string, Value>> more = {}) {
  more.insert(more.begin(), {"$path", Value(commands)});
  return Value(std::make_shared<Structure>(Structure::withMembersAndKeys(std::move(more))));
}

}  // namespace

// Commands in path order, a curve's end point first, numbers as doubles, no keys. Flattened:
// lines (the sample's curve is straight, its control points on the chord: one line). The
// command list differs only in its keywords.
TEST(StructureRepresentation, CommandsInPathOrderCurveEndFirst) {
  const Structure s = sample()->structureRepresentationFlattened(false, 0);
  EXPECT_EQ(s, Structure({cmd({"moveto", 1.0, 2.0}), cmd({"curveto", 7.0, 8.0, 3.0, 4.0, 5.0, 6.0}), cmd({"close"})}));
  EXPECT_EQ(s.memberAtIndex(1).structure()->memberAtIndex(1).kind(), Value::Kind::Double);
  EXPECT_FALSE(s.keyAtIndex(0).has_value());
  EXPECT_TRUE(BezierPath().structureRepresentationFlattened(true, 0.01).empty());
  EXPECT_EQ(sample()->structureRepresentationFlattened(true, 0.01),
            Structure({cmd({"moveto", 1.0, 2.0}), cmd({"lineto", 7.0, 8.0}), cmd({"close"})}));
  EXPECT_EQ(sample()->commandList(),
            Structure({cmd({"moveTo", 1.0, 2.0}), cmd({"curveTo", 7.0, 8.0, 3.0, 4.0, 5.0, 6.0}), cmd({"close"})}));
}

TEST(Representation, RoundTripKeepsElementsAndAttributes) {
  auto p = BezierPath::bezierPath();
  p->appendBezierPathWithRoundedRect({{0.1, 0.2}, {30, 20}}, 3, 4);
  p->moveToPoint({-1e-300, 1e300});
  p->appendBezierPathWithArcWithCenter({5, 5}, 3, 10, 200, true);
  p->setWindingRule(EvenOddWindingRule);
  p->setLineWidth(2.25);
  p->setLineJoinStyle(BevelLineJoinStyle);
  p->setMiterLimit(3);
  p->setLineDash({1, 2, 3}, 0.5);
  p->setLineCapStyle(RoundLineCapStyle);
  auto back = BezierPath::fromRepresentation(p->representation());
  ASSERT_TRUE(back);
  EXPECT_TRUE(back->isEqualToBezierPath(*p));
  auto attributes = [](const BezierPath& q) {
    return std::tuple(q.windingRule(), q.lineWidth(), q.lineCapStyle(), q.lineJoinStyle(), q.miterLimit(), q.lineDash(),
                      q.dashPhase());
  };
  EXPECT_EQ(attributes(*back), attributes(*p));
  EXPECT_EQ(back->representation(), p->representation());
}

TEST(Representation, AttributesOptionalIntegersAndNonFiniteSpellingsAccepted) {
  auto p = BezierPath::fromRepresentation(
      withPath({cmd({"moveto", 1, 2}), cmd({"lineto", "inf", "nan"}), cmd({"close"})}, {{"lineWidth", 3}}));
  ASSERT_TRUE(p);
  EXPECT_EQ(p->elementCount(), 3u);
  EXPECT_EQ(p->associatedPoints(1)[0].x, INFINITY);
  EXPECT_TRUE(std::isnan(p->associatedPoints(1)[0].y));
  EXPECT_EQ(p->lineWidth(), 3);
  EXPECT_EQ(p->miterLimit(), 10);
  auto empty = BezierPath::fromRepresentation(withPath({}));
  EXPECT_TRUE(empty && empty->isEmpty());
}

TEST(Representation, MalformedInputAnswersNull) {
  // No "$path" key; no current point; too few or too many numbers, or not numbers; the JSON form
  // is lower case; close takes nothing; attributes of the wrong kind or out of range.
  const Value bad[] = {
      Value(), Value(3), Value("path"), Value(std::vector<Value>{cmd({"moveto", 1, 2})}),
      withPath({cmd({"lineto", 1, 2})}), withPath({cmd({"moveto", 1})}), withPath({cmd({"moveto", 1, 2, 3})}),
      withPath({cmd({"moveto", 1, 2}), cmd({"curveto", 1, 2, 3, 4, 5})}), withPath({cmd({"moveto", "one", 2})}),
      withPath({cmd({"moveto", true, 2})}), withPath({cmd({"MoveTo", 1, 2})}), withPath({cmd({"close"})}),
      withPath({cmd({"moveto", 1, 2}), cmd({"close", 1})}), withPath({Value(5)}), withPath({cmd({})}),
      withPath({cmd({"moveto", 1, 2})}, {{"dash", 4}}),
      withPath({cmd({"moveto", 1, 2})}, {{"dash", Value(std::vector<Value>{1, "x"})}}),
      withPath({cmd({"moveto", 1, 2})}, {{"windingRule", 1e20}}),
      withPath({cmd({"moveto", 1, 2})}, {{"lineWidth", "wide"}}),
  };
  for (size_t i = 0; i < std::size(bad); ++i) EXPECT_EQ(BezierPath::fromRepresentation(bad[i]), nullptr) << "case " << i;
}

TEST(V2DVector3, RoundedToThousandthsZeroIsPositiveAndAlikeWhenRoundedAlike) {
  const Value v = valueWithV2DVector3({1.23449f, -0.0004f, 2.0006f});
  EXPECT_EQ(v.kind(), Value::Kind::Vector3);
  EXPECT_EQ(V2DVector3Value(v), (V2DVector3{1.234f, 0, 2.001f}));
  EXPECT_FALSE(std::signbit(V2DVector3Value(v).y));
  EXPECT_EQ(V2DVector3Rounded({-0.0005f, 0.0005f, -2.5f}), (V2DVector3{-0.001f, 0.001f, -2.5f}));
  // Values that round alike compare and hash alike.
  const Value a = valueWithV2DVector3({1.2344f, 0, 2});
  const Value b = valueWithV2DVector3({1.23441f, -0.0001f, 2.0f});
  EXPECT_EQ(a, b);
  EXPECT_NE(a, valueWithV2DVector3({1.2346f, 0, 2}));
  std::unordered_set<V2DVector3, V2DVector3Hash> set{V2DVector3Value(a)};
  EXPECT_TRUE(set.count(V2DVector3Value(b)));
  EXPECT_EQ(V2DVector3Hash{}({0.0f, 1, 2}), V2DVector3Hash{}({-0.0f, 1, 2}));
  EXPECT_EQ(V2DVector3Value(Value(Rect{{1, 2}, {3, 4}})), (V2DVector3{1, 2, 3}));
  EXPECT_EQ(V2DVector3Value(Value("x")), (V2DVector3{0, 0, 0}));
}
