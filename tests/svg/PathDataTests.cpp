// The scanner, the "d" grammar, point lists and the basic shapes.
#include <cmath>
#include <limits>
#include <tuple>

#include "svg/SVGPathData.h"
#include "tests/svg/SVGTestSupport.h"

using namespace vellum;
using namespace vellum::svgtest;
using namespace vellum::testing;

namespace {

// --- scanner ---------------------------------------------------------------------------------

TEST(SVGScanner, NumberSyntax) {
  struct Row {
    std::string text;
    double value;
    size_t end;
  };
  const std::string huge = "1" + std::string(400, '0');  // beyond a double: infinity
  const Row rows[] = {
      {" ,\t-12.5x", -12.5, 8}, {"1.5.2", 1.5, 3}, {".5.5", 0.5, 2},  {"1-2", 1, 1},     {"+5", 5, 2},
      {"1e5", 1e5, 3},          {"1E-2,", 0.01, 4}, {"2e", 2, 1},     {"3e+x", 3, 1},    {"-.5e1", -5, 5},
      {"7.", 7, 2},             {"0110", 110, 4},   {"99999999999999999999", 1e20, 20},
      {huge, std::numeric_limits<double>::infinity(), huge.size()},
  };
  for (const Row& row : rows) {
    double n = -1;
    size_t pos = 0;
    EXPECT_TRUE(parseSVGNumber(row.text, pos, n)) << row.text;
    EXPECT_EQ(std::pair(n, pos), std::pair(row.value, row.end)) << row.text;
  }
  for (const char* bad : {"- 5", "-", ".", "+.", "e5", "  ", "x1", ""}) {
    size_t pos = 0;
    double n = 42;
    EXPECT_FALSE(parseSVGNumber(bad, pos, n)) << bad;
    EXPECT_EQ(std::pair(n, pos), std::pair(42.0, size_t(0))) << bad;  // untouched
  }
}

// --- path data -------------------------------------------------------------------------------

// Path data read to its end, or to the error that ends it there, keeping what came before.
TEST(SVGPathData, WorkedPathData) {
  struct Row {
    const char* d;
    std::vector<El> elements;
    size_t errorAt = std::string::npos;  // npos: read to the end
  };
  const std::vector<Row> rows = {
      // Every path starts with a move to the origin.
      {"", {M(0, 0)}},
      {"M 10 20 L 30 40 Z", {M(0, 0), M(10, 20), L(30, 40), Z()}},
      // Extra pairs after a move draw lines; a relative move's too, relative to each other.
      {"M10,20 30,40 50,60", {M(0, 0), M(10, 20), L(30, 40), L(50, 60)}},
      {"m 10 10 20 0 0 20 z", {M(0, 0), M(10, 10), L(30, 10), L(30, 30), Z()}},
      // Repeated numbers repeat the command; H keeps the current y of each step.
      {"M0 0H10V5h-10v-5", {M(0, 0), M(0, 0), L(10, 0), L(10, 5), L(0, 5), L(0, 0)}},
      {"M1 2 H 5 7 v 1 1", {M(0, 0), M(1, 2), L(5, 2), L(7, 2), L(7, 3), L(7, 4)}},
      {"M0 0 C 10 0 20 10 20 20", {M(0, 0), M(0, 0), C({10, 0}, {20, 10}, {20, 20})}},
      {"M5 5 c 10 0 20 10 20 20", {M(0, 0), M(5, 5), C({15, 5}, {25, 15}, {25, 25})}},
      // A second group of a relative curve is relative to the end of the first.
      {"M0 0 c 1 0 1 1 2 2 1 0 1 1 2 2", {M(0, 0), M(0, 0), C({1, 0}, {1, 1}, {2, 2}), C({3, 2}, {3, 3}, {4, 4})}},
      // S reflects the previous cubic's second control point; after anything else it is the current point.
      {"M0 0 C 0 3 3 6 6 6 S 12 3 12 0", {M(0, 0), M(0, 0), C({0, 3}, {3, 6}, {6, 6}), C({9, 6}, {12, 3}, {12, 0})}},
      {"M0 0 L 3 0 s 3 3 6 0", {M(0, 0), M(0, 0), L(3, 0), C({3, 0}, {6, 3}, {9, 0})}},
      // Q raised: controls two thirds of the way from each end to the quadratic's control point.
      {"M0 0 Q 3 3 6 0", {M(0, 0), M(0, 0), C({2, 2}, {4, 2}, {6, 0})}},
      {"M0 0 q 3 3 6 0 t 6 0", {M(0, 0), M(0, 0), C({2, 2}, {4, 2}, {6, 0}), C({8, -2}, {10, -2}, {12, 0})}},
      // T after a cubic does not reflect: a straight curve.
      {"M0 0 C 1 1 2 2 3 0 T 6 0", {M(0, 0), M(0, 0), C({1, 1}, {2, 2}, {3, 0}), C({3, 0}, {4, 0}, {6, 0})}},
      // Compact numbers and the shorthands in one run, as minifiers write them.
      {"M.5.5l1-2h1e1v+2", {M(0, 0), M(0.5, 0.5), L(1.5, -1.5), L(11.5, -1.5), L(11.5, 0.5)}},
      // Zero radius: a line; an end at the start: nothing.
      {"M1 1 A 0 5 0 0 1 4 5 A 3 3 0 0 1 4 5", {M(0, 0), M(1, 1), L(4, 5)}},
      // In error:
      {"L 10 10", {M(0, 0)}, 0},                               // must begin with a move
      {"5 5", {M(0, 0)}, 0},
      {"M 10 10 L 20", {M(0, 0), M(10, 10)}, 9},               // incomplete pair
      {"M1 1 L 2 2 3", {M(0, 0), M(1, 1), L(2, 2)}, 10},
      {"M1 1 x 2 2 L 3 3", {M(0, 0), M(1, 1)}, 5},             // unknown letter
      {"M0 0 L 1 0 Z 5 5", {M(0, 0), M(0, 0), L(1, 0), Z()}, 13},  // numbers after a close
      {"M0 0 A 5 5 0 2 1 3 3", {M(0, 0), M(0, 0)}, 6},          // a flag other than 0 or 1
      {"M10 20e5", {M(0, 0), M(10, 2e6)}, 8},
      {"M10 20f5", {M(0, 0), M(10, 20)}, 6},
      {"M 1 1 L 2,,2", {M(0, 0), M(1, 1), L(2, 2)}, 12},       // lenient about separators
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.d);
    size_t errorAt = 0;
    expectElements(*parseSVGPathData(row.d, &errorAt), row.elements, 1e-12);
    EXPECT_EQ(errorAt, row.errorAt == std::string::npos ? std::string_view(row.d).size() : row.errorAt);
  }
}

// Every point of each cubic lies on the circle or ellipse the arc belongs to, the arc ends
// exactly at its end point, and the flags pick the side.
TEST(SVGPathData, ArcsFollowTheirEllipse) {
  struct Row {
    const char* d;
    Point centre;
    double rx, ry;   // axes along x and y after the rotation
    double farX, farY;  // a point the arc passes through
  };
  const Row rows[] = {
      {"M0 0 A 5 5 0 0 1 10 0", {5, 0}, 5, 5, 5, -5},
      {"M0 0 A 5 5 0 0 0 10 0", {5, 0}, 5, 5, 5, 5},
      {"M0 0 A 1 1 0 0 1 10 0", {5, 0}, 5, 5, 5, -5},  // too small: scaled up to reach
      {"M0,0a5,5,0,1,1,0,10", {0, 5}, 5, 5, 5, 5},    // relative, no spaces
      {"M0 0 A 6 5 0 1 0 0 10", {0, 5}, 6, 5, -6, 5},  // large arc, counter-sweep: far side at x = -6
      {"M0 0 A 10 5 90 0 1 0 20", {0, 10}, 5, 10, 5, 10},  // rotated: the x radius stands upright
      {"M0 0a5 5 0 1110 0", {5, 0}, 5, 5, 5, -5},     // flags written without separators
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.d);
    auto path = parseSVGPathData(row.d);
    ASSERT_GE(path->elementCount(), 3u);
    for (size_t i = 2; i < path->elementCount(); ++i) ASSERT_EQ(path->elementAtIndex(i), K::CurveTo);
    // The points flattening keeps lie on the curves themselves.
    auto flat = path->bezierPathByFlatteningPathWithFlatness(0.01);
    double worst = 0, nearest = INFINITY;
    for (size_t i = 1; i < flat->elementCount(); ++i) {
      const Point b = flat->associatedPoints(i)[0];
      worst = std::max(worst, std::fabs(std::hypot((b.x - row.centre.x) / row.rx, (b.y - row.centre.y) / row.ry) - 1));
      nearest = std::min(nearest, std::hypot(b.x - row.farX, b.y - row.farY));
    }
    EXPECT_LT(worst, 3e-4);  // the quarter-turn cubic's own error
    EXPECT_LT(nearest, 0.5);
  }
  const Point end = parseSVGPathData("M0 0 A 5 5 0 0 1 10 0")->currentPoint();
  EXPECT_EQ(end, (Point{10, 0}));
}

TEST(SVGPathData, ArcsWithEnormousOrInfiniteRadiiStayFinite) {
  for (const char* d : {"M0 0 A 1e300 1e300 0 0 1 10 0", "M0 0 A 1e999 1 0 0 1 10 0", "M0 0 A 1e-320 1e-320 0 1 1 10 0",
                        "M0 0 A 5 5 1e300 0 1 10 0", "M1e300 0 A 1 1 0 0 1 -1e300 0"}) {
    auto path = parseSVGPathData(d);
    for (const Point& p : path->data().points) {
      EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y)) << d;
    }
    EXPECT_GE(path->elementCount(), 3u) << d;
  }
}

// --- shapes ----------------------------------------------------------------------------------

TEST(SVGShapes, RectanglesWithUnitsAndCorners) {
  const SVGLengthContext c{10, 200, 100};
  auto rect = svgShapePath("rect", SVGAttributeList{{"x", "1"}, {"y", "2"}, {"width", "1em"}, {"height", "50%"}}, c);
  expectElements(*rect, {M(1, 2), L(11, 2), L(11, 52), L(1, 52), Z()});
  // One radius stands for both, and each is at most half its side: rx 8 on a 10 x 4 rectangle
  // rounds with 5 x 2 corners, so the straight top edge shrinks to nothing.
  struct Row {
    std::vector<std::pair<std::string, std::string>> radii;
    double rx, ry;
  };
  const Row rows[] = {{{{"rx", "2"}}, 2, 2}, {{{"ry", "1"}}, 1, 1}, {{{"rx", "8"}}, 5, 2}, {{{"rx", "1"}, {"ry", "3"}}, 1, 2}};
  for (const Row& row : rows) {
    auto pairs = row.radii;
    pairs.insert(pairs.end(), {{"width", "10"}, {"height", "4"}});
    auto rounded = svgShapePath("rect", SVGAttributeList(pairs), c);
    ASSERT_NE(rounded, nullptr);
    EXPECT_EQ(rounded->elementCount(), 10u);
    EXPECT_NEAR(rounded->bounds().size.width, 10, 1e-12);
    EXPECT_NEAR(rounded->bounds().size.height, 4, 1e-12);
    // From the top edge after the top-left corner, clockwise on the page, as SVG draws it.
    EXPECT_EQ(rounded->associatedPoints(0)[0], (Point{row.rx, 0}));
    EXPECT_EQ(rounded->associatedPoints(2)[2], (Point{10, row.ry}));
  }
}

// Zero-sized shapes are not drawn, and only the shape vocabulary makes paths. Point lists drop
// an odd last number; fewer than two numbers make an empty path.
TEST(SVGShapes, LinesPointListsAndShapesThatAreNotDrawn) {
  const std::vector<std::pair<const char*, SVGAttributeList>> rows = {
      {"rect", {{"width", "0"}, {"height", "5"}}}, {"rect", {{"width", "5"}}}, {"rect", {{"width", "-1"}, {"height", "5"}}},
      {"rect", {{"width", "5"}, {"height", "auto"}}}, {"circle", {{"cx", "3"}}}, {"circle", {{"r", "-2"}}},
      {"ellipse", {{"rx", "3"}, {"ry", "0"}}}, {"Rect", {{"width", "1"}, {"height", "1"}}},
      {"svg:rect", {{"width", "1"}, {"height", "1"}}},
  };
  for (const auto& [name, attributes] : rows) EXPECT_EQ(svgShapePath(name, attributes), nullptr) << name;
  EXPECT_NE(svgShapePath("path", SVGAttributeList{}), nullptr);
  expectElements(*svgShapePath("line", SVGAttributeList{{"x1", "1"}, {"y1", "2"}, {"x2", "3"}, {"y2", "4"}}),
                 {M(1, 2), L(3, 4)});
  expectElements(*svgShapePath("polyline", SVGAttributeList{{"points", "0,0 10,0 10,10 5"}}),
                 {M(0, 0), L(10, 0), L(10, 10)});
  expectElements(*svgShapePath("polygon", SVGAttributeList{{"points", "0,0 10,0 10,10"}}),
                 {M(0, 0), L(10, 0), L(10, 10), Z()});
  EXPECT_EQ(svgShapePath("polygon", SVGAttributeList{})->elementCount(), 0u);
  EXPECT_EQ(svgShapePath("polyline", SVGAttributeList{{"points", "7"}})->elementCount(), 0u);
}

// --- text --------------------------------------------------------------------------------------

TEST(SVGText, FamilyListsTakeTheFirstInstalledFamily) {
  ASSERT_NE(Font::fontWithName("DejaVu Sans", 12), nullptr) << "fonts-dejavu-core is installed by scripts/install-deps";
  const std::tuple<const char*, const char*, std::string> rows[] = {
      {"'No Such Font', \"DejaVu Sans\", sans-serif", "", "DejaVuSans"},
      {"NoSuchFont,DejaVu Sans", "bold", "DejaVuSans-Bold"},
      {"NoSuchFontAnywhere", "", Font::systemFontOfSize(12)->fontName()}};
  for (const auto& [families, weight, name] : rows) {
    auto font = svgFont(families, weight, "", 12);
    EXPECT_EQ(font ? font->fontName() : "", name) << families;
  }
}

TEST(SVGText, GlyphsHangUpwardFromTheBaselineAtXYAndAnchorsShiftThem) {
  // The same outline as the font gives, each point (gx, gy) moved to (x + gx, y - gy).
  auto font = Font::fontWithName("DejaVu Sans", 20);
  ASSERT_NE(font, nullptr);
  auto reference = pathOf({M(0, 0)});
  appendBezierPathWithString(*reference, "Hi", *font);
  const double advance = reference->currentPoint().x;
  ASSERT_GT(advance, 20);
  for (auto [anchor, shift] : {std::pair{"start", 0.0}, {"", 0.0}, {"middle", advance / 2}, {"end", advance}}) {
    auto expected = elementsOf(*reference);
    for (El& e : expected)
      for (Point& p : e.points) p = {10 - shift + p.x, 50 - p.y};
    expectElements(*svgTextPath("Hi", {10, 50}, font.get(), anchor), expected);
  }
}

}  // namespace
