// The scanner, the "d" grammar, point lists and the basic shapes.
#include <cmath>
#include <limits>

#include "svg/SVGPathData.h"
#include "tests/svg/SVGTestSupport.h"

using namespace vellum;
using namespace vellum::svgtest;
using namespace vellum::testing;

namespace {

// --- scanner ---------------------------------------------------------------------------------

TEST(SVGScanner, LiteralMatchesOnlyWhereItStandsWhole) {
  size_t pos = 2;
  EXPECT_TRUE(matchSVGLiteral("a rotate(1)", pos, "rotate"));
  EXPECT_EQ(pos, 8u);
  pos = 2;
  EXPECT_FALSE(matchSVGLiteral("a rot", pos, "rotate"));  // would run past the end
  EXPECT_EQ(pos, 2u);
  pos = 9;
  EXPECT_FALSE(matchSVGLiteral("abc", pos, "a"));  // position past the end
  EXPECT_EQ(pos, 9u);
}

TEST(SVGScanner, NumberSyntax) {
  double n = -1;
  size_t pos = 0;
  EXPECT_TRUE(parseSVGNumber(" ,\t-12.5x", pos, n));
  EXPECT_EQ(n, -12.5);
  EXPECT_EQ(pos, 8u);
  pos = 0;
  EXPECT_TRUE(parseSVGNumber("1.5.2", pos, n));  // read as 1.5, all five characters consumed
  EXPECT_EQ(n, 1.5);
  EXPECT_EQ(pos, 5u);
  pos = 0;
  EXPECT_TRUE(parseSVGNumber("1e5", pos, n));  // no exponent: e stops the number
  EXPECT_EQ(n, 1);
  EXPECT_EQ(pos, 1u);
  pos = 0;
  EXPECT_TRUE(parseSVGNumber(".5", pos, n));
  EXPECT_EQ(n, 0.5);
  for (const char* bad : {"+5", "- 5", "-", "  ", "x1", ""}) {
    pos = 0;
    n = 42;
    EXPECT_FALSE(parseSVGNumber(bad, pos, n)) << bad;
    EXPECT_EQ(pos, 0u) << bad;
    EXPECT_EQ(n, 42) << bad;
  }
}

TEST(SVGScanner, HugeNumbersReadWithoutTrouble) {
  double n = 0;
  size_t pos = 0;
  EXPECT_TRUE(parseSVGNumber("99999999999999999999", pos, n));
  EXPECT_EQ(n, 1e20);
  const std::string huge = "1" + std::string(400, '0');  // beyond a double: infinity
  pos = 0;
  EXPECT_TRUE(parseSVGNumber(huge, pos, n));
  EXPECT_EQ(n, std::numeric_limits<double>::infinity());
  EXPECT_EQ(pos, huge.size());
}

TEST(SVGScanner, PointNeedsBothNumbers) {
  Point p{7, 7};
  size_t pos = 0;
  EXPECT_FALSE(parseSVGPoint("3 ", pos, p));
  EXPECT_EQ(pos, 0u);
  EXPECT_EQ(p, (Point{7, 7}));
  EXPECT_TRUE(parseSVGPoint("3-4", pos, p));
  EXPECT_EQ(p, (Point{3, -4}));
  EXPECT_EQ(pos, 3u);
}

TEST(SVGScanner, PointsListIgnoresLoneTrailingNumber) {
  const std::vector<Point> points = parseSVGPoints("0,0 10,0 10,10 5");
  ASSERT_EQ(points.size(), 3u);
  EXPECT_EQ(points[0], (Point{0, 0}));
  EXPECT_EQ(points[1], (Point{10, 0}));
  EXPECT_EQ(points[2], (Point{10, 10}));
  EXPECT_TRUE(parseSVGPoints("").empty());
  EXPECT_TRUE(parseSVGPoints("none").empty());
}

TEST(SVGScanner, SkipCommandTakesLettersThenEverythingUpToTheNextLetter) {
  size_t pos = 0;
  skipSVGCommand("A 5 5 0 0 1 10 10 L", pos);
  EXPECT_EQ(pos, 18u);
  pos = 0;
  skipSVGCommand("12 3Z", pos);  // starting on a non-letter still advances
  EXPECT_EQ(pos, 4u);
  // Letters outside ASCII are letters too, taken whole (é is two bytes, ζ two).
  pos = 0;
  skipSVGCommand("\xc3\xa9\xce\xb6 1 2 M", pos);
  EXPECT_EQ(pos, 9u);
  // A byte that is not UTF-8 is a non-letter and is stepped over.
  pos = 0;
  skipSVGCommand("\xff\xfe 1 L", pos);
  EXPECT_EQ(pos, 5u);
}

// --- path data -------------------------------------------------------------------------------

TEST(SVGPathData, EveryPathStartsWithAMoveToTheOrigin) {
  expectElements(*parseSVGPathData(""), {M(0, 0)});
  expectElements(*parseSVGPathData("M 10 20 L 30 40 Z"), {M(0, 0), M(10, 20), L(30, 40), Z()});
}

TEST(SVGPathData, MoveWithExtraPairsDrawsLines) {
  expectElements(*parseSVGPathData("M10,20 30,40 50,60"), {M(0, 0), M(10, 20), L(30, 40), L(50, 60)});
}

TEST(SVGPathData, RelativeMoveAndLines) {
  expectElements(*parseSVGPathData("m 10 10 20 0 0 20 z"), {M(0, 0), M(10, 10), L(30, 10), L(30, 30), Z()});
}

TEST(SVGPathData, HorizontalAndVerticalLines) {
  expectElements(*parseSVGPathData("M0 0H10V5h-10v-5"), {M(0, 0), M(0, 0), L(10, 0), L(10, 5), L(0, 5), L(0, 0)});
  // Repeated numbers repeat the command; H keeps the current y of each step.
  expectElements(*parseSVGPathData("M1 2 H 5 7 v 1 1"), {M(0, 0), M(1, 2), L(5, 2), L(7, 2), L(7, 3), L(7, 4)});
}

TEST(SVGPathData, AbsoluteAndRelativeCurves) {
  expectElements(*parseSVGPathData("M0 0 C 10 0 20 10 20 20"), {M(0, 0), M(0, 0), C({10, 0}, {20, 10}, {20, 20})});
  expectElements(*parseSVGPathData("M5 5 c 10 0 20 10 20 20"), {M(0, 0), M(5, 5), C({15, 5}, {25, 15}, {25, 25})});
  // A second group of a relative curve is relative to the end of the first.
  expectElements(*parseSVGPathData("M0 0 c 1 0 1 1 2 2 1 0 1 1 2 2"),
                 {M(0, 0), M(0, 0), C({1, 0}, {1, 1}, {2, 2}), C({3, 2}, {3, 3}, {4, 4})});
}

TEST(SVGPathData, ArcIsSkippedWithItsNumbers) {
  expectElements(*parseSVGPathData("M0 0 A 5 5 0 0 1 10 10 L 20 0"), {M(0, 0), M(0, 0), L(20, 0)});
  // Every other unsupported command too.
  expectElements(*parseSVGPathData("M1 1 Q 2 2 3 3 S 4 4 5 5 T 6 6 L 7 7"), {M(0, 0), M(1, 1), L(7, 7)});
}

TEST(SVGPathData, MinusSeparatesNumbers) {
  expectElements(*parseSVGPathData("M-5-5L-10.5,3"), {M(0, 0), M(-5, -5), L(-10.5, 3)});
}

TEST(SVGPathData, StrayExponentIsSkippedLikeACommand) {
  expectElements(*parseSVGPathData("M10 20e5"), {M(0, 0), M(10, 20)});
  expectElements(*parseSVGPathData("M10 20e5 L 1 1"), {M(0, 0), M(10, 20), L(1, 1)});
}

TEST(SVGPathData, NumbersAfterCloseAreDropped) {
  expectElements(*parseSVGPathData("M0 0 L 1 0 Z 5 5 L 2 2"), {M(0, 0), M(0, 0), L(1, 0), Z(), L(2, 2)});
}

TEST(SVGPathData, CommandLettersAreCaseSensitive) {
  // "x" is no command: skipped with its numbers; "l" after "Z" starts from the subpath's start.
  expectElements(*parseSVGPathData("M3 4 L 5 4 Z l 1 1 x 9 9"), {M(0, 0), M(3, 4), L(5, 4), Z(), L(4, 5)});
}

// The chosen result for a first argument group that does not read: its numbers count as 0.
TEST(SVGPathData, MissingFirstGroupCountsAsZeros) {
  expectElements(*parseSVGPathData("M5 5 L"), {M(0, 0), M(5, 5), L(0, 0)});
  expectElements(*parseSVGPathData("M5 5 m 7 L 1 1"), {M(0, 0), M(5, 5), M(5, 5), L(1, 1)});
  expectElements(*parseSVGPathData("M5 5 H"), {M(0, 0), M(5, 5), L(0, 5)});
  expectElements(*parseSVGPathData("M5 5 C 1 2 3 4"), {M(0, 0), M(5, 5), C({1, 2}, {3, 4}, {0, 0})});
  expectElements(*parseSVGPathData("M5 5 c"), {M(0, 0), M(5, 5), C({5, 5}, {5, 5}, {5, 5})});
}

TEST(SVGPathData, GarbageNeverStopsReading) {
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += char((i * 7919) % 251 + 1);
  auto path = parseSVGPathData(junk);
  EXPECT_GE(path->elementCount(), 1u);
  EXPECT_EQ(path->associatedPoints(0)[0], (Point{0, 0}));
}

// --- shapes ----------------------------------------------------------------------------------

TEST(SVGShapes, RectangleUsesLeadingNumbers) {
  auto path = svgShapePath("rect", SVGAttributeList{{"x", "1"}, {"y", "2"}, {"width", "10px"}, {"height", "50%"}});
  expectElements(*path, {M(1, 2), L(11, 2), L(11, 52), L(1, 52), Z()});
}

TEST(SVGShapes, CircleAndEllipseAreOvalsInTheirBoxes) {
  auto expectBox = [](const BezierPath& p, Rect r) {
    const Rect b = p.bounds();
    EXPECT_NEAR(b.origin.x, r.origin.x, 1e-9);
    EXPECT_NEAR(b.origin.y, r.origin.y, 1e-9);
    EXPECT_NEAR(b.size.width, r.size.width, 1e-9);
    EXPECT_NEAR(b.size.height, r.size.height, 1e-9);
  };
  auto circle = svgShapePath("circle", SVGAttributeList{{"cx", "10"}, {"cy", "20"}, {"r", "5"}});
  expectBox(*circle, {{5, 15}, {10, 10}});
  EXPECT_EQ(circle->elementCount(), 5u);  // move and four quarter curves
  auto ellipse = svgShapePath("ellipse", SVGAttributeList{{"cx", "10"}, {"cy", "20"}, {"rx", "4"}, {"ry", "2"}});
  expectBox(*ellipse, {{6, 18}, {8, 4}});
  // No radius: the empty oval at the centre.
  auto dot = svgShapePath("circle", SVGAttributeList{{"cx", "3"}, {"cy", "4"}});
  EXPECT_EQ(dot->bounds(), (Rect{{3, 4}, {0, 0}}));
}

TEST(SVGShapes, LinePolylineAndPolygon) {
  expectElements(*svgShapePath("line", SVGAttributeList{{"x1", "1"}, {"y1", "2"}, {"x2", "3"}, {"y2", "4"}}),
                 {M(1, 2), L(3, 4)});
  expectElements(*svgShapePath("polyline", SVGAttributeList{{"points", "0,0 10,0 10,10 5"}}),
                 {M(0, 0), L(10, 0), L(10, 10)});
  expectElements(*svgShapePath("polygon", SVGAttributeList{{"points", "0,0 10,0 10,10"}}),
                 {M(0, 0), L(10, 0), L(10, 10), Z()});
  EXPECT_EQ(svgShapePath("polygon", SVGAttributeList{})->elementCount(), 0u);
  EXPECT_EQ(svgShapePath("polyline", SVGAttributeList{{"points", "7"}})->elementCount(), 0u);
}

TEST(SVGShapes, OnlyTheShapeVocabularyMakesPaths) {
  EXPECT_EQ(svgShapePath("Rect", SVGAttributeList{{"width", "1"}}), nullptr);
  EXPECT_EQ(svgShapePath("svg:rect", SVGAttributeList{{"width", "1"}}), nullptr);
  EXPECT_NE(svgShapePath("path", SVGAttributeList{}), nullptr);
}

TEST(SVGShapes, OverflowingAttributeGivesInfinity) {
  auto path = svgShapePath("rect", SVGAttributeList{{"width", "1e999"}, {"height", "1"}});
  EXPECT_EQ(path->associatedPoints(1)[0].x, std::numeric_limits<double>::infinity());
}

// --- text --------------------------------------------------------------------------------------

TEST(SVGText, FontNameFromFamilyWeightAndStyle) {
  EXPECT_EQ(svgFontName(SVGAttributeList{{"font-family", "Georgia"}, {"font-weight", "700"}, {"font-style", "italic"}}),
            "Georgia-boldItalic");
  EXPECT_EQ(svgFontName(SVGAttributeList{{"font-family", "Georgia"}, {"font-weight", "bold"}}), "Georgia-bold");
  EXPECT_EQ(svgFontName(SVGAttributeList{{"font-family", "Georgia"}, {"font-style", "oblique"}}), "Georgia-Oblique");
  EXPECT_EQ(svgFontName(SVGAttributeList{{"font-family", "Georgia"}, {"font-weight", "normal"}}), "Georgia");
  EXPECT_EQ(svgFontWeightSuffix("600"), "");
  EXPECT_EQ(svgFontWeightSuffix("700"), "bold");
  EXPECT_EQ(svgFontWeightSuffix("900"), "bold");
  EXPECT_EQ(svgFontWeightSuffix("Bold"), "");
  EXPECT_EQ(svgFontWeightSuffix("bolder"), "");
  EXPECT_EQ(svgFontStyleSuffix("Italic"), "");
}

TEST(SVGText, GlyphsHangUpwardFromTheBaselineAtXY) {
  // The same outline as the font gives, each point (gx, gy) moved to (x + gx, y - gy).
  const SVGAttributeList a{{"x", "10"}, {"y", "50"}, {"font-family", "DejaVu Sans"}, {"font-size", "20"}};
  auto font = Font::fontWithName("DejaVu Sans", 20);
  ASSERT_NE(font, nullptr) << "fonts-dejavu-core is installed by scripts/install-deps";
  auto reference = BezierPath::bezierPath();
  reference->moveToPoint({0, 0});
  appendBezierPathWithString(*reference, "Hi", *font);
  auto path = svgTextPath("Hi", a);
  ASSERT_EQ(path->elementCount(), reference->elementCount());
  const auto& got = path->data().points;
  const auto& want = reference->data().points;
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].x, 10 + want[i].x);
    EXPECT_EQ(got[i].y, 50 - want[i].y);
  }
  // "H" stands on the baseline: its lowest point is at y = 50 in document coordinates.
  const Rect b = path->bounds();
  EXPECT_NEAR(b.origin.y + b.size.height, 50, 1e-9);
  EXPECT_LT(b.origin.y, 40);
}

TEST(SVGText, UnknownFamilyFallsBackToTheSystemFont) {
  auto missing = svgTextPath("A", SVGAttributeList{{"font-family", "NoSuchFontAnywhere"}, {"font-size", "30"}});
  auto systemFont = Font::systemFontOfSize(30);
  ASSERT_NE(systemFont, nullptr);
  auto reference = BezierPath::bezierPath();
  reference->moveToPoint({0, 0});
  appendBezierPathWithString(*reference, "A", *systemFont);
  EXPECT_EQ(missing->elementCount(), reference->elementCount());
  EXPECT_GT(missing->elementCount(), 2u);
}

}  // namespace
