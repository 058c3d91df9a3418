// Colours, lengths, transform texts and style sheets.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "svg/SVGCSS.h"
#include "svg/SVGStyle.h"
#include "tests/svg/SVGTestSupport.h"

using namespace vellum;
using namespace vellum::svgtest;

namespace {

constexpr double k128 = 128.0 / 255.0;

// --- colours ---------------------------------------------------------------------------------

TEST(SVGColor, WorkedColours) {
  struct Row {
    const char* text;
    double r, g, b, a;
  };
  const std::vector<Row> rows = {
      {"#f80", 1, 8.0 / 15, 0, 1},        {"#ff8000", 1, k128, 0, 1},           {"#FFF", 1, 1, 1, 1},
      {"#f808", 1, 8.0 / 15, 0, 8.0 / 15}, {"#ff800080", 1, k128, 0, k128},      {" red ", 1, 0, 0, 1},
      {"Red", 1, 0, 0, 1} /* names and functions in any case */,                 {"transparent", 0, 0, 0, 0},
      {"rebeccapurple", 0x66 / 255.0, 0x33 / 255.0, 0x99 / 255.0, 1},           {"rgb(255, 128, 0)", 1, k128, 0, 1},
      {"RGBA(255,0,0,0.5)", 1, 0, 0, 0.5}, {"rgb(100%, 50%, 0%)", 1, 0.5, 0, 1}, {"rgb(255 0 0 / 25%)", 1, 0, 0, 0.25},
      {"rgb(300, -5, 51)", 1, 0, 0.2, 1} /* clamped */,                          {"hsl(120, 100%, 25%)", 0, 0.5, 0, 1},
      {"hsla(0deg, 100%, 50%, .5)", 1, 0, 0, 0.5},                               {"hsl(-120, 100%, 50%)", 0, 0, 1, 1},
  };
  for (const Row& row : rows) {
    const auto c = parseSVGColor(row.text);
    ASSERT_TRUE(c) << row.text;
    const double error = std::max({std::abs(c->red - row.r), std::abs(c->green - row.g), std::abs(c->blue - row.b),
                                   std::abs(c->alpha - row.a)});
    EXPECT_LT(error, 1e-12)
        << row.text << ": " << c->red << " " << c->green << " " << c->blue << " " << c->alpha;
  }
  for (const char* text : {"#", "#zz0", "#12345", "#123456789", "rgb(1, 2)", "rgb()", "rgb(1, 2, 3", "rgb(1x, 2, 3)",
                           "hsl(a, 1%, 1%)", "lab(1 2 3)", "none", "currentColor", "url(#g)", "reddish", ""})
    EXPECT_FALSE(parseSVGColor(text)) << text;
}

// --- lengths ---------------------------------------------------------------------------------

TEST(SVGLength, Units) {
  const SVGLengthContext c{10, 200, 50};
  struct Row {
    const char* text;
    SVGAxis axis;
    double pixels;
  };
  const Row rows[] = {
      {"12", SVGAxis::X, 12},     {"12px", SVGAxis::X, 12},  {"3pt", SVGAxis::X, 4},   {"1pc", SVGAxis::X, 16},
      {"25.4mm", SVGAxis::X, 96}, {"2.54cm", SVGAxis::X, 96}, {"1in", SVGAxis::Y, 96}, {"2em", SVGAxis::X, 20},
      {"2ex", SVGAxis::X, 10},    {"10%", SVGAxis::X, 20},    {"10%", SVGAxis::Y, 5},
      {"10%", SVGAxis::Other, 0.1 * std::sqrt((200.0 * 200 + 50 * 50) / 2)},  {" 1e1PX ", SVGAxis::X, 10},
  };
  for (const Row& row : rows) EXPECT_DOUBLE_EQ(parseSVGLength(row.text, c, row.axis).value_or(NAN), row.pixels) << row.text;
  for (const char* bad : {"", "px", "12furlongs", "auto"}) EXPECT_FALSE(parseSVGLength(bad, c, SVGAxis::X)) << bad;
}

// --- transforms ------------------------------------------------------------------------------

// A list applies right to left; anything unreadable gives no transform at all.
TEST(SVGTransform, Functions) {
  struct Row {
    const char* text;
    Point in, out;
  };
  const double t30 = std::tan(M_PI / 6);
  const Row rows[] = {
      {"rotate(90)", {1, 0}, {0, 1}},           {"rotate(90 10 10)", {20, 10}, {10, 20}},
      {"rotate(90, 10, 10)", {20, 10}, {10, 20}}, {"translate(10)", {0, 0}, {10, 0}},
      {"scale(2,3)", {1, 1}, {2, 3}},           {"scale(2)", {1, 1}, {2, 2}},
      {"matrix(1 2 3 4 5 6)", {1, 1}, {9, 12}}, {"matrix(1,0,0,-1,0,24)", {3, 4}, {3, 20}},
      {"skewX(30)", {0, 1}, {t30, 1}},          {"skewY(30)", {1, 0}, {1, t30}},
      {"translate(10,0) scale(2)", {1, 1}, {12, 2}}, {"scale(2) translate(10,0)", {1, 1}, {22, 2}},
      {"translate(1,2),translate(3,4)", {0, 0}, {4, 6}}, {"translate(-1.5e1-2)", {0, 0}, {-15, -2}},
      {"", {5, 6}, {5, 6}},                     {"   ", {5, 6}, {5, 6}},
  };
  for (const Row& row : rows) {
    const auto t = parseSVGTransform(row.text);
    ASSERT_TRUE(t) << row.text;
    const Point p = t->transformPoint(row.in);
    EXPECT_NEAR(p.x, row.out.x, 1e-12) << row.text;
    EXPECT_NEAR(p.y, row.out.y, 1e-12) << row.text;
  }
  for (const char* text : {"translate()", "translate(1,2", "scale(2) translate()", "rotate( )", "rotate(1, 2)",
                           "matrix(1 2 3)", "skewX(1 2)", "scale(2) junk", "shear(3)", "translate(1 2 3)"})
    EXPECT_FALSE(parseSVGTransform(text)) << text;
}

// --- style sheets ----------------------------------------------------------------------------

TEST(SVGStyleSheetTest, RulesSelectorsAndSpecificity) {
  SVGStyleSheet sheet;
  EXPECT_TRUE(sheet.add("/* drawn by a tool */ @import url(x.css); @media print { path { fill: red } }\n"
                        ".st0, #a .b>path{fill:#f00 ; STROKE: blue !important} svg * {opacity:.5} "
                        "a:hover{fill:red} path[d]{fill:red} g + g {fill:red} .c{}"));
  const auto& rules = sheet.rules();
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_EQ(std::tuple(rules[0].specificity, rules[1].specificity, rules[2].specificity),
            std::tuple(0x000100u, 0x010101u, 0x000001u));
  ASSERT_EQ(rules[0].declarations.size(), 2u);
  const SVGDeclaration &fill = rules[0].declarations[0], &stroke = rules[0].declarations[1];
  EXPECT_EQ(std::tuple(fill.property, fill.value, fill.important), std::tuple(SVGProperty::Fill, "#f00", false));
  EXPECT_EQ(std::tuple(stroke.property, stroke.value, stroke.important), std::tuple(SVGProperty::Stroke, "blue", true));

  // svg > g#a > g.b > path.st0, and a path directly in svg.
  SVGTree tree{{{.name = "svg"},
                {.name = "g", .attributes = {{"id", "a"}}, .parent = 0},
                {.name = "g", .attributes = {{"class", " x  b "}}, .parent = 1},
                {.name = "path", .attributes = {{"class", "st0"}}, .parent = 2},
                {.name = "path", .parent = 0}}};
  auto matching = [&](size_t rule) {
    std::vector<int> nodes;
    for (int32_t i = 0; i < 5; ++i)
      if (sheet.matches(rules[rule], tree, i)) nodes.push_back(i);
    return nodes;
  };
  EXPECT_EQ(matching(0), (std::vector<int>{3}));
  EXPECT_EQ(matching(1), (std::vector<int>{3}));
  EXPECT_EQ(matching(2), (std::vector<int>{1, 2, 3, 4}));
}

TEST(SVGStyleSheetTest, SheetsThatNeverEndOrNeverStop) {
  SVGStyleSheet open, unclosedComment, huge;
  open.add("path { fill: red; stroke: blue");
  ASSERT_EQ(open.rules().size(), 1u);
  EXPECT_EQ(open.rules()[0].declarations.size(), 2u);
  unclosedComment.add("path { fill: red } /* g { fill: blue }");
  EXPECT_EQ(unclosedComment.rules().size(), 1u);
  std::string many;
  for (int i = 0; i < 5000; ++i) many += ".c" + std::to_string(i) + "{fill:red}";
  EXPECT_FALSE(huge.add(many));
  EXPECT_EQ(huge.rules().size(), kMaxSVGRules);
}

}  // namespace
