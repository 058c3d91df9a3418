// Colours, stroke settings, dash lists and transform texts.
#include <cmath>

#include "svg/SVGStyle.h"
#include "tests/svg/SVGTestSupport.h"

using namespace vellum;
using namespace vellum::svgtest;

namespace {

constexpr double k128 = 128.0 / 255.0;

Color color(std::string_view paint, std::optional<std::string_view> opacity = std::nullopt) {
  auto c = parseSVGColor(paint, opacity);
  EXPECT_TRUE(c.has_value()) << paint;
  return c.value_or(Color{-1, -1, -1, -1});
}

SVGStyleAttributes styleOf(std::initializer_list<std::pair<std::string_view, std::string_view>> pairs) {
  SVGStyleAttributes a;
  for (auto [n, v] : pairs) EXPECT_TRUE(a.set(n, v)) << n;
  return a;
}

Point mapped(const std::optional<AffineTransform>& t, Point p) {
  EXPECT_TRUE(t.has_value());
  return t ? t->transformPoint(p) : Point{NAN, NAN};
}

// --- colours ---------------------------------------------------------------------------------

TEST(SVGColor, WorkedColours) {
  struct Row {
    const char* paint;
    std::optional<std::string_view> opacity;
    double r, g, b, a;
  };
  const std::vector<Row> rows = {
      {"#f80", {}, 1, 8.0 / 15, 0, 1},
      {"#ff8000", {}, 1, k128, 0, 1},
      {"#12345", {}, 1.0 / 255, 0x23 / 255.0, 0x45 / 255.0, 1},  // six characters is the long form: 0x012345
      {"#FFF", {}, 1, 1, 1, 1},
      {"#0x0000ff", {}, 0, 0, 1, 1},        // the hex reader takes an optional 0x
      {"#123456789abc", {}, 1, 1, 1, 1},    // more than eight digits read as 0xFFFFFFFF
      {"rgb(255, 128, 0)", "0.5", 1, k128, 0, 0.5},
      {"rgba(255,0,0,0.5)", {}, 1, 0, 0, 1},  // alpha comes from the opacity attribute only
      // Components are clamped like calibrated colours.
      {"rgb(300, -5, 51)", "2", 1, 0, 0.2, 1},
      {"red", "-1", 1, 0, 0, 0},
      {"red", "1e999", 1, 0, 0, 1},
      // The seventeen case-sensitive names.
      {"red", "0.25", 1, 0, 0, 0.25},
      {"gray", {}, k128, k128, k128, 1},
      {"grey", {}, k128, k128, k128, 1},
      {"silver", {}, 192.0 / 255, 192.0 / 255, 192.0 / 255, 1},
      {"teal", {}, 0, k128, k128, 1},
      {"fuchsia", {}, 1, 0, 1, 1},
      // An empty opacity means opaque; "50%" reads 50, then is clamped.
      {"blue", "", 0, 0, 1, 1},
      {"blue", "50%", 0, 0, 1, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.paint);
    expectColor(color(row.paint, row.opacity), row.r, row.g, row.b, row.a);
  }
  int named = 0;
  for (const char* n : {"aqua", "black", "blue", "fuchsia", "gray", "grey", "green", "lime", "maroon", "navy", "olive",
                        "purple", "red", "silver", "teal", "white", "yellow"})
    named += parseSVGColor(n, std::nullopt).has_value();
  EXPECT_EQ(named, 17);
}

TEST(SVGColor, UnreadablePaintsGiveNoColour) {
  for (const char* paint : {"#", "#zz0", "rgb(1, 2)", "rgb()", "rgb(1, 2, 3", "Red", "RED", "none", "orange", "url(#g)",
                            " red", ""})
    EXPECT_FALSE(parseSVGColor(paint, std::nullopt)) << paint;
}

// --- style resolution ------------------------------------------------------------------------

TEST(SVGStyle, NoPaintAttributesIsABlackHairline) {
  BezierPath path;
  const SVGPaint p = applySVGStyle(path, {});
  EXPECT_EQ(p.strokefill, 0);
  expectColor(p.stroke, 0, 0, 0, 1);
  expectColor(p.fill, 0, 0, 0, 1);
  EXPECT_EQ(path.lineWidth(), 1);
  EXPECT_EQ(path.miterLimit(), 4);
  EXPECT_EQ(path.lineCapStyle(), ButtLineCapStyle);
  EXPECT_EQ(path.lineJoinStyle(), MiterLineJoinStyle);
  EXPECT_EQ(path.windingRule(), NonZeroWindingRule);
  EXPECT_TRUE(path.lineDash().empty());
}

TEST(SVGStyle, PaintingModes) {
  BezierPath path;
  EXPECT_EQ(applySVGStyle(path, styleOf({{"fill", "blue"}})).strokefill, 1);
  EXPECT_EQ(applySVGStyle(path, styleOf({{"stroke", "blue"}})).strokefill, 0);
  EXPECT_EQ(applySVGStyle(path, styleOf({{"stroke", "blue"}, {"fill", "red"}})).strokefill, 2);
  // none yields no colour: only the stroke counts.
  const SVGPaint noneFill = applySVGStyle(path, styleOf({{"stroke", "blue"}, {"fill", "none"}}));
  EXPECT_EQ(noneFill.strokefill, 0);
  expectColor(noneFill.stroke, 0, 0, 1, 1);
  // A fill alone keeps the default black stroke, which is not drawn.
  const SVGPaint fillOnly = applySVGStyle(path, styleOf({{"fill", "blue"}}));
  expectColor(fillOnly.stroke, 0, 0, 0, 1);
  expectColor(fillOnly.fill, 0, 0, 1, 1);
  // Capital R: no colour, so a black stroke.
  const SVGPaint capital = applySVGStyle(path, styleOf({{"fill", "Red"}}));
  EXPECT_EQ(capital.strokefill, 0);
  expectColor(capital.fill, 0, 0, 0, 1);
}

TEST(SVGStyle, StrokeSettings) {
  BezierPath path;
  applySVGStyle(path, styleOf({{"stroke-width", "2.5px"},
                               {"stroke-linecap", "round"},
                               {"stroke-linejoin", "bevel"},
                               {"stroke-miterlimit", "7"},
                               {"fill-rule", "evenodd"}}));
  EXPECT_EQ(path.lineWidth(), 2.5);
  EXPECT_EQ(path.lineCapStyle(), RoundLineCapStyle);
  EXPECT_EQ(path.lineJoinStyle(), BevelLineJoinStyle);
  EXPECT_EQ(path.miterLimit(), 7);
  EXPECT_EQ(path.windingRule(), EvenOddWindingRule);
  applySVGStyle(path, styleOf({{"stroke-linecap", "square"}, {"stroke-linejoin", "round"}, {"fill-rule", "nonzero"}}));
  EXPECT_EQ(path.lineCapStyle(), SquareLineCapStyle);
  EXPECT_EQ(path.lineJoinStyle(), RoundLineJoinStyle);
  EXPECT_EQ(path.windingRule(), NonZeroWindingRule);
  EXPECT_EQ(path.lineWidth(), 1);
  applySVGStyle(path, styleOf({{"stroke-linecap", "Round"}, {"stroke-linejoin", "miter"}}));
  EXPECT_EQ(path.lineCapStyle(), ButtLineCapStyle);
  EXPECT_EQ(path.lineJoinStyle(), MiterLineJoinStyle);
}

TEST(SVGStyle, DashArrayWithOffset) {
  BezierPath path;
  applySVGStyle(path, styleOf({{"stroke-dasharray", "5,3"}, {"stroke-dashoffset", "2"}}));
  EXPECT_EQ(path.lineDash(), (std::vector<double>{5, 3}));
  EXPECT_EQ(path.dashPhase(), 2);
  // No readable number: the dash is left as it was.
  BezierPath solid;
  applySVGStyle(solid, styleOf({{"stroke-dasharray", "none"}, {"stroke-dashoffset", "2"}}));
  EXPECT_TRUE(solid.lineDash().empty());
  EXPECT_EQ(solid.dashPhase(), 0);
  // An offset without a dash array changes nothing.
  BezierPath offsetOnly;
  applySVGStyle(offsetOnly, styleOf({{"stroke-dashoffset", "9"}}));
  EXPECT_EQ(offsetOnly.dashPhase(), 0);
}

TEST(SVGStyle, NumberList) {
  EXPECT_EQ(parseSVGNumberList("1 2,3-4 x 5"), (std::vector<double>{1, 2, 3, -4}));
  EXPECT_TRUE(parseSVGNumberList("").empty());
}

// --- argument lists and transforms -----------------------------------------------------------

TEST(SVGTransform, ArgumentLists) {
  size_t pos = 0;
  auto args = parseSVGArgumentList("f( 1,, 2\t3 )g(4)", pos);
  ASSERT_TRUE(args);
  EXPECT_EQ(*args, (std::vector<std::string_view>{"1", "2", "3"}));
  EXPECT_EQ(pos, 12u);
  pos = 0;
  EXPECT_FALSE(parseSVGArgumentList("f()", pos));
  EXPECT_FALSE(parseSVGArgumentList("f(1", pos));
  EXPECT_FALSE(parseSVGArgumentList(")(1", pos));
  EXPECT_EQ(pos, 0u);
  pos = 0;
  args = parseSVGArgumentList("f( )", pos);  // a blank list reads, with no arguments
  ASSERT_TRUE(args);
  EXPECT_TRUE(args->empty());
  EXPECT_EQ(pos, 4u);
}

TEST(SVGTransform, Functions) {
  const Point r = mapped(parseSVGTransform("rotate(90)"), {1, 0});
  EXPECT_NEAR(r.x, 0, 1e-15);
  EXPECT_NEAR(r.y, 1, 1e-15);
  const Point about = mapped(parseSVGTransform("rotate(90 10 10)"), {20, 10});
  EXPECT_NEAR(about.x, 10, 1e-12);
  EXPECT_NEAR(about.y, 20, 1e-12);
  const Point twoArgs = mapped(parseSVGTransform("rotate(90, 10)"), {1, 0});  // second ignored
  EXPECT_NEAR(twoArgs.x, 0, 1e-15);
  EXPECT_NEAR(twoArgs.y, 1, 1e-15);
  EXPECT_EQ(mapped(parseSVGTransform("translate(10)"), {0, 0}), (Point{10, 0}));
  EXPECT_EQ(mapped(parseSVGTransform("scale(2,3)"), {1, 1}), (Point{2, 3}));
  EXPECT_EQ(mapped(parseSVGTransform("scale(2)"), {1, 1}), (Point{2, 2}));
}

TEST(SVGTransform, ListAppliesRightToLeft) {
  EXPECT_EQ(mapped(parseSVGTransform("translate(10,0) scale(2)"), {1, 1}), (Point{12, 2}));
  EXPECT_EQ(mapped(parseSVGTransform("scale(2) translate(10,0)"), {1, 1}), (Point{22, 2}));
  EXPECT_EQ(mapped(parseSVGTransform("translate(1,2),translate(3,4)"), {0, 0}), (Point{4, 6}));
}

TEST(SVGTransform, UnknownFunctionsAreSkipped) {
  EXPECT_EQ(mapped(parseSVGTransform("matrix(1 0 0 1 5 5) translate(3,4)"), {0, 0}), (Point{3, 4}));
  EXPECT_EQ(mapped(parseSVGTransform("skewX(30) scale(3)"), {1, 1}), (Point{3, 3}));
}

TEST(SVGTransform, EmptyOrUnclosedListYieldsNothingAtAll) {
  EXPECT_FALSE(parseSVGTransform("translate()"));
  EXPECT_FALSE(parseSVGTransform("translate(1,2"));
  EXPECT_FALSE(parseSVGTransform("scale(2) translate()"));
  EXPECT_FALSE(parseSVGTransform("rotate( )"));
}

TEST(SVGTransform, TextWithoutAListEndsReadingKeepingWhatWasRead) {
  EXPECT_EQ(mapped(parseSVGTransform("scale(2) junk"), {1, 1}), (Point{2, 2}));
  EXPECT_EQ(mapped(parseSVGTransform(""), {5, 6}), (Point{5, 6}));
  EXPECT_EQ(mapped(parseSVGTransform("   "), {5, 6}), (Point{5, 6}));
}

}  // namespace
