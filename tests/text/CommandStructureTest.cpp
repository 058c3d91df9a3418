#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "path/CommandStructure.h"
#include "path/Font.h"
#include "path/TextOutlines.h"
#include "tests/text/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using L = std::vector<Value>;

std::shared_ptr<BezierPath> interpret(const Members& commands) {
  auto path = BezierPath::bezierPath();
  Structure s(commands.values);
  appendBezierPathWithStructure(*path, &s);
  return path;
}

void expectThrowsLeaving(const Members& commands, size_t elementsLeft) {
  auto path = BezierPath::bezierPath();
  Structure s(commands.values);
  EXPECT_THROW(appendBezierPathWithStructure(*path, &s), Exception);
  EXPECT_EQ(path->elementCount(), elementsLeft);
}

std::vector<El> rect(double x, double y, double w, double h) {
  return {{K::MoveTo, {{x, y}}}, {K::LineTo, {{x + w, y}}}, {K::LineTo, {{x + w, y + h}}},
          {K::LineTo, {{x, y + h}}}, {K::ClosePath, {}}};
}

std::vector<El> after(std::vector<El> head, const std::vector<El>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(CommandStructure, NothingOrAnEmptyStructureAppendsNothing) {
  auto path = BezierPath::bezierPath();
  appendBezierPathWithStructure(*path, nullptr);
  appendBezierPathWithStructure(*path, StructureRef());
  Structure empty;
  appendBezierPathWithStructure(*path, &empty);
  EXPECT_TRUE(path->isEmpty());

  path->moveToPoint({3, 4});
  appendBezierPathWithStructure(*path, &empty);
  expectElements(*path, {{K::MoveTo, {{3, 4}}}});
}

TEST(CommandStructure, KeywordsIgnoreLetterCase) {
  expectElements(*interpret({L{"MoveTo", 0, 0}, L{"LINETO", 10, 0}, L{"close"}}),
                 {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{10, 0}}}, {K::ClosePath, {}}});
  expectElements(*interpret({L{"mOVEtO", 1, 2}, L{"CuRvEtO", 3, 4, 5, 6, 7, 8}, L{"CLOSE"}, L{"LineToRel", 1, 1}}),
                 {{K::MoveTo, {{1, 2}}}, {K::CurveTo, {{5, 6}, {7, 8}, {3, 4}}}, {K::ClosePath, {}},
                  {K::LineTo, {{2, 3}}}});
}

TEST(CommandStructure, UnknownKeywordsAreSkipped) {
  expectElements(*interpret({L{"moveto", 0, 0}, L{"lineto ", 5, 5}, L{"line", 5, 5}, L{"", 1, 1}, L{"quadto", 1, 2, 3, 4},
                             L{"lineto", 1, 1}}),
                 {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 1}}}});
}

TEST(CommandStructure, WrongMemberCountsAreSkipped) {
  // ("moveto", 0, 0, 5) has four members: skipped, so the line has no current point.
  expectThrowsLeaving({L{"moveto", 0, 0, 5}, L{"lineto", 1, 1}}, 0);
  expectElements(*interpret({L{"moveto", 1}, L{"moveto", 2, 2}, L{"lineto", 3, 3, 3}, L{"lineto"}, L{"rectto", 1, 2, 3},
                             L{"roundedrectto", 1, 2, 3}, L{"curveto", 1, 2, 3, 4, 5}, L{"arc", 1, 2},
                             L{"arcto", 1, 2, 3, 4}, L{"text", "a", 12}, L{"lineto", 4, 4}}),
                 {{K::MoveTo, {{2, 2}}}, {K::LineTo, {{4, 4}}}});
}

TEST(CommandStructure, CloseTakesAnyNumberOfMembers) {
  expectElements(*interpret({L{"moveto", 0, 0}, L{"lineto", 1, 0}, L{"close", 1, 2, 3, 4, 5, 6, 7, 8}}),
                 {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 0}}}, {K::ClosePath, {}}});
  // On an empty path a close appends nothing and is no error.
  EXPECT_TRUE(interpret({L{"close"}})->isEmpty());
}

TEST(CommandStructure, MembersThatAreNotCommandsAreSkipped) {
  expectElements(*interpret({Value(5), Value("moveto"), Value(Point{1, 1}), Value(), L{}, L{"moveto", 7, 8}}),
                 {{K::MoveTo, {{7, 8}}}});
}

TEST(CommandStructure, MemberKeysAreIgnored) {
  Structure s;
  s.addMember(L{"moveto", 1, 1}, std::string("b"));
  s.addMember(L{"lineto", 2, 2}, std::string("a"));
  auto path = BezierPath::bezierPath();
  appendBezierPathWithStructure(*path, &s);
  expectElements(*path, {{K::MoveTo, {{1, 1}}}, {K::LineTo, {{2, 2}}}});
}

TEST(CommandStructure, RelativeMovesAndLines) {
  expectElements(*interpret({L{"moveto", 10, 10}, L{"linetorel", 5, -5}, L{"movetorel", 1, 1}, L{"linetorel", 0, 2}}),
                 {{K::MoveTo, {{10, 10}}}, {K::LineTo, {{15, 5}}}, {K::MoveTo, {{16, 6}}}, {K::LineTo, {{16, 8}}}});
}

TEST(CommandStructure, RectangleAtTheCurrentPoint) {
  expectElements(*interpret({L{"moveto", 10, 20}, L{"rectto", 30, 40}}),
                 after({{K::MoveTo, {{10, 20}}}}, rect(10, 20, 30, 40)));
}

TEST(CommandStructure, RelativeRectangleSizeIsTheCurrentPointPlusTheArguments) {
  expectElements(*interpret({L{"moveto", 10, 20}, L{"recttorel", 30, 40}}),
                 after({{K::MoveTo, {{10, 20}}}}, rect(10, 20, 40, 60)));
}

TEST(CommandStructure, OvalsAtTheCurrentPoint) {
  BezierPath expected;
  expected.moveToPoint({10, 20});
  expected.appendBezierPathWithOvalInRect({{10, 20}, {30, 40}});
  // After the oval the current point is its start, (10 + 15 + 15 cos 45, 20 + 20 - 20 sin 45).
  const Point c = expected.currentPoint();
  expected.appendBezierPathWithOvalInRect({c, {c.x + 3, c.y + 4}});
  expectElements(*interpret({L{"moveto", 10, 20}, L{"ovalto", 30, 40}, L{"ovaltorel", 3, 4}}), elementsOf(expected));
}

TEST(CommandStructure, RoundedRectanglesAtTheCurrentPoint) {
  BezierPath expected;
  expected.moveToPoint({10, 20});
  expected.appendBezierPathWithRoundedRect({{10, 20}, {30, 40}}, 5, 6);
  const Point c = expected.currentPoint();
  expected.appendBezierPathWithRoundedRect({c, {c.x + 30, c.y + 40}}, 2, 3);
  expectElements(*interpret({L{"moveto", 10, 20}, L{"roundedrectto", 30, 40, 5, 6}, L{"roundedrecttorel", 30, 40, 2, 3}}),
                 elementsOf(expected));
}

TEST(CommandStructure, CurveEndPointComesFirst) {
  expectElements(*interpret({L{"moveto", 0, 0}, L{"curveto", 10, 0, 0, 5, 10, 5}}),
                 {{K::MoveTo, {{0, 0}}}, {K::CurveTo, {{0, 5}, {10, 5}, {10, 0}}}});
  expectElements(*interpret({L{"moveto", 1, 1}, L{"curvetorel", 10, 0, 0, 5, 10, 5}}),
                 {{K::MoveTo, {{1, 1}}}, {K::CurveTo, {{1, 6}, {11, 6}, {11, 1}}}});
}

TEST(CommandStructure, ArcIsCentredOnTheCurrentPointCounterClockwise) {
  constexpr double k = 0.55228474983079345 * 20;
  expectElements(*interpret({L{"moveto", 50, 50}, L{"arc", 20, 0, 90}}),
                 {{K::MoveTo, {{50, 50}}}, {K::LineTo, {{70, 50}}}, {K::CurveTo, {{70, 50 + k}, {50 + k, 70}, {50, 70}}}},
                 1e-12);
  // 90 to 0 counter-clockwise is three quarters of a turn.
  auto back = interpret({L{"moveto", 50, 50}, L{"arc", 20, 90, 0}});
  EXPECT_EQ(back->elementCount(), 5u);
  EXPECT_NEAR(back->currentPoint().x, 70, 1e-12);
  EXPECT_NEAR(back->currentPoint().y, 50, 1e-12);
}

TEST(CommandStructure, TangentArcs) {
  BezierPath expected;
  expected.moveToPoint({0, 0});
  expected.appendBezierPathWithArcFromPoint({10, 0}, {10, 10}, 3);
  expectElements(*interpret({L{"moveto", 0, 0}, L{"arcto", 10, 0, 10, 10, 3}}), elementsOf(expected));

  // Relative: both points offset by the current point, the radius not.
  BezierPath rel;
  rel.moveToPoint({5, 5});
  rel.appendBezierPathWithArcFromPoint({15, 5}, {15, 15}, 3);
  expectElements(*interpret({L{"moveto", 5, 5}, L{"arctorel", 10, 0, 10, 10, 3}}), elementsOf(rel));
}

TEST(CommandStructure, NumericStringsAndBooleansAreNumbers) {
  auto strings = interpret({L{"moveto", "0", "0"}, L{"lineto", "3.5", "4"}});
  auto numbers = interpret({L{"moveto", 0, 0}, L{"lineto", 3.5, 4}});
  EXPECT_TRUE(strings->isEqualToBezierPath(*numbers));
  // Leading-number conversion: "10px" is 10, "abc" 0, " -2e1x" -20; true is 1.
  expectElements(*interpret({L{"moveto", "10px", "abc"}, L{"lineto", " -2e1x", true}}),
                 {{K::MoveTo, {{10, 0}}}, {K::LineTo, {{-20, 1}}}});
}

TEST(CommandStructure, CommandsThatNeedACurrentPointRaiseOnAnEmptyPath) {
  for (const L& c : {L{"movetorel", 1, 1}, L{"lineto", 1, 1}, L{"linetorel", 1, 1}, L{"rectto", 1, 1},
                     L{"recttorel", 1, 1}, L{"ovalto", 1, 1}, L{"ovaltorel", 1, 1}, L{"roundedrectto", 1, 1, 1, 1},
                     L{"roundedrecttorel", 1, 1, 1, 1}, L{"curveto", 1, 1, 1, 1, 1, 1},
                     L{"curvetorel", 1, 1, 1, 1, 1, 1}, L{"arc", 1, 0, 90}, L{"arcto", 1, 0, 1, 1, 1},
                     L{"arctorel", 1, 0, 1, 1, 1}, L{"text", "a", 12, "DejaVuSans"}}) {
    SCOPED_TRACE(c[0].stringValue());
    expectThrowsLeaving({c}, 0);
  }
}

TEST(CommandStructure, AnErrorStopsButKeepsWhatWasAppended) {
  auto path = BezierPath::bezierPath();
  Structure s(L{L{"moveto", 0, 0}, L{"lineto", 1, 1}, L{5, 1, 2}, L{"lineto", 9, 9}});
  try {
    appendBezierPathWithStructure(*path, &s);
    FAIL() << "a keyword that is not a string is an error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "command keyword is not a string (integer)");
  }
  expectElements(*path, {{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 1}}}});
}

TEST(CommandStructure, ArgumentsOfOtherKindsAreErrors) {
  const Value structure(L{1, 2});
  for (const Value& bad : {structure, Value(), Value(Point{1, 2}), Value(Color{1, 0, 0, 1})}) {
    SCOPED_TRACE(Value::kindName(bad.kind()));
    expectThrowsLeaving({L{"moveto", 1, 1}, L{"lineto", 2, bad}}, 1);
    expectThrowsLeaving({L{"moveto", bad, 1}}, 0);
  }
  try {
    interpret({L{"moveto", 1, structure}});
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "argument 2 of 'moveto' is not a number (structure)");
  }
}

TEST(CommandStructure, NonFiniteAndHugeArguments) {
  const double inf = std::numeric_limits<double>::infinity();
  // Points are kept as given; arcs with a non-finite radius or angle add nothing.
  auto p = interpret({L{"moveto", kNaN, 1e308}, L{"lineto", inf, -inf}});
  ASSERT_EQ(p->elementCount(), 2u);
  EXPECT_TRUE(std::isnan(p->associatedPoints(0)[0].x));
  EXPECT_EQ(p->associatedPoints(1)[0].y, -inf);
  expectElements(*interpret({L{"moveto", 1, 1}, L{"arc", kNaN, 0, 90}, L{"arc", 1, 0, inf}}), {{K::MoveTo, {{1, 1}}}});
  // A huge sweep draws one full turn, not billions of quarters.
  EXPECT_LE(interpret({L{"moveto", 0, 0}, L{"arc", 1, 0, 1e300}})->elementCount(), 7u);
  EXPECT_EQ(interpret({L{"moveto", 0, 0}, L{"rectto", 1e308, 1e308}})->elementCount(), 6u);
  EXPECT_EQ(interpret({L{"moveto", 0, 0}, L{"roundedrectto", 10, 10, kNaN, 2}})->elementCount(), 6u);
}

TEST(CommandStructure, TextAtTheCurrentPoint) {
  FontRef font = Font::fontWithName("DejaVuSerif-Bold", 20);
  ASSERT_TRUE(font);
  BezierPath expected;
  expected.moveToPoint({5, 6});
  appendBezierPathWithString(expected, "Hi fi", *font);
  expectElements(*interpret({L{"moveto", 5, 6}, L{"text", "Hi fi", 20, "DejaVuSerif-Bold"}}), elementsOf(expected));
  // The size may be a numeric string; the name ignores case.
  expectElements(*interpret({L{"moveto", 5, 6}, L{"TEXT", "Hi fi", "20", "dejavuserif-bold"}}), elementsOf(expected));
}

TEST(CommandStructure, TextThatCannotBeDrawnIsSkipped) {
  const std::vector<El> justTheMove{{K::MoveTo, {{0, 0}}}, {K::LineTo, {{1, 1}}}};
  for (const L& text : {L{"text", "abc", 12, "NoSuchFont-Bold"}, L{"text", 42, 12, "DejaVuSans"},
                        L{"text", L{"a"}, 12, "DejaVuSans"}, L{"text", "abc", 12, 7}, L{"text", "abc", 12, L{}}}) {
    SCOPED_TRACE(text[3].stringValue());
    expectElements(*interpret({L{"moveto", 0, 0}, text, L{"lineto", 1, 1}}), justTheMove);
  }
}

TEST(CommandStructure, TextSizeZeroAndHuge) {
  auto zero = interpret({L{"moveto", 0, 0}, L{"text", "a", 0, "DejaVuSans"}});
  auto twelve = interpret({L{"moveto", 0, 0}, L{"text", "a", 12, "DejaVuSans"}});
  EXPECT_TRUE(zero->isEqualToBezierPath(*twelve));
  auto huge = interpret({L{"moveto", 0, 0}, L{"text", "a", 1e9, "DejaVuSans"}});
  ASSERT_EQ(huge->elementCount(), twelve->elementCount());
  const double ratio = 1e9 / 12;
  EXPECT_NEAR(huge->currentPoint().x / twelve->currentPoint().x, ratio, ratio * 1e-12);
  // A size that is no number at all.
  expectThrowsLeaving({L{"moveto", 0, 0}, L{"text", "a", Value(), "DejaVuSans"}}, 1);
}

TEST(CommandStructure, RoundTripWithTheStructureRepresentation) {
  BezierPath original;
  original.moveToPoint({1, 2});
  original.curveToPoint({7, 8}, {3, 4}, {5, 6});
  original.closePath();
  original.moveToPoint({0, 0});
  original.moveToPoint({10, 20});
  original.lineToPoint({-1.25, 1e-300});
  original.appendBezierPathWithOvalInRect({{0, 0}, {3, 7}});
  original.appendBezierPathWithRoundedRect({{1, 1}, {5, 5}}, 1, 2);
  original.lineToPoint({0.1, 0.2});

  const Structure s = original.structureRepresentationFlattened(false, 0);
  BezierPath rebuilt;
  appendBezierPathWithStructure(rebuilt, &s);
  EXPECT_TRUE(rebuilt.isEqualToBezierPath(original));

  const Structure flat = original.structureRepresentationFlattened(true, 0.01);
  BezierPath rebuiltFlat;
  appendBezierPathWithStructure(rebuiltFlat, &flat);
  EXPECT_TRUE(rebuiltFlat.isEqualToBezierPath(*original.bezierPathByFlatteningPathWithFlatness(0.01)));
  EXPECT_GT(rebuiltFlat.elementCount(), original.elementCount());
}

TEST(CommandStructure, RoundTripOfText) {
  FontRef font = Font::fontWithName("LiberationSerif-Italic", 33);
  ASSERT_TRUE(font);
  BezierPath original;
  original.moveToPoint({-4, 9});
  appendBezierPathWithString(original, "Quartz & fjord", *font);
  const Structure s = original.structureRepresentationFlattened(false, 0);
  BezierPath rebuilt;
  appendBezierPathWithStructure(rebuilt, &s);
  EXPECT_TRUE(rebuilt.isEqualToBezierPath(original));
}
