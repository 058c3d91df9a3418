// The shared renderer: bounds, automatic and fixed sizes, the bitmap's format, painting modes,
// the buffer rule, the size limit and paths through far coordinates.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "RenderTestSupport.h"

namespace vellum::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr Px kHalfBlack{0, 0, 0, 128};  // a unit-wide black line on a pixel edge covers half of each side

std::shared_ptr<BezierPath> withWidth(std::shared_ptr<BezierPath> p, double width) {
  p->setLineWidth(width);
  return p;
}

// One entry, stroked black and filled red unless told otherwise.
Structure one(std::shared_ptr<BezierPath> path, int mode, std::optional<Color> stroke = kBlack,
              std::optional<Color> fill = kRed) {
  return structureOf({entry(std::move(path), mode, stroke, fill)});
}

Structure square(double x, double y, double w, double h, std::optional<Color> fill = kRed) {
  return one(rectPath(x, y, w, h), 1, kBlack, fill);
}

// Every pixel `px`, or those of the w x h block at the lower left and the rest clear.
std::function<Px(int, int)> everywhere(Px px) {
  return [px](int, int) { return px; };
}
std::function<Px(int, int)> lowerLeft(int w, int h, Px px) {
  return [=](int x, int y) { return x < w && y < h ? px : kClear; };
}

// The bounds always hold the origin; a stroke widens them by the full line width.
TEST(StructureBounds, StrokeMarginsAndSkippedMembers) {
  auto line = linePath({10, 10}, {20, 20});
  auto box = [](double width) { return withWidth(rectPath(10, 10, 10, 10), width); };
  Structure undrawable =
      structureOf({entry(nullptr, 0, kBlack, kRed), entry(BezierPath::bezierPath(), 0, kBlack, kRed)});
  undrawable.addMember(42);
  undrawable.addMember("path");
  struct Row {
    std::string what;
    Structure s;
    bool stroke;
    Rect bounds;
  };
  std::vector<Row> rows = {
      {"stroked line", one(line, 0), true, {{0, 0}, {21, 21}}},
      {"stroked line, strokes left out", one(line, 0), false, {{0, 0}, {20, 20}}},
      {"width 4", one(box(4), 0), true, {{0, 0}, {24, 24}}},
      {"NaN width", one(box(kNaN), 0), true, {{0, 0}, {20, 20}}},
      {"negative width", one(box(-4), 0), true, {{0, 0}, {20, 20}}},
      {"width 3.5 and a square",
       structureOf({entry(box(3.5), 0, kBlack, {}), entry(rectPath(-5, 40, 1, 1), 1, {}, kRed)}), true,
       {{-5, 0}, {28.5, 41}}},
      {"nothing", Structure{}, true, {}},
      {"members that draw nothing", undrawable, true, {}},
      {"non-finite coordinates",
       structureOf({entry(linePath({0, 0}, {kNaN, 5}), 0, kBlack, {}),
                    entry(linePath({0, 0}, {kInf, 5}), 0, kBlack, {}), entry(rectPath(2, 3, 4, 5), 1, kBlack, kRed)}),
       true, {{0, 0}, {6, 8}}},
  };
  // Fill and stroke, and every mode other than fill, get the margin.
  for (int mode : {0, 2, 5, -1})
    rows.push_back({"mode " + std::to_string(mode), one(rectPath(0, 0, 10, 20), mode), true, {{-1, -1}, {12, 22}}});
  for (const Row& row : rows) EXPECT_EQ(bezierPathStructureBounds(row.s, row.stroke), row.bounds) << row.what;
}

// A 40 x 40 square with a 20 x 20 hole: two subpaths turning the same way.
std::shared_ptr<BezierPath> squareWithHole(int windingRule) {
  auto p = withWidth(rectPath(0, 0, 40, 40), 2);
  p->appendBezierPathWithRect({{10, 10}, {20, 20}});
  p->setWindingRule(windingRule);
  return p;
}

// Sizes, placement, the bytes' format, painting modes and bad input that still draws.
TEST(Renderer, Drawings) {
  Structure others = square(0, 0, 4, 4);
  others.insertObject(Value(3.0), 0);
  others.addMember(Value("x"));
  // Widths are held to 2^22 pixels, inside Cairo's fixed-point range, so a stroke wider than
  // any image still covers it.
  auto huge = withWidth(linePath({5, 5}, {15, 15}), 1e9);
  huge->lineToPoint({25, 5});
  huge->setLineJoinStyle(RoundLineJoinStyle);
  huge->setLineCapStyle(RoundLineCapStyle);
  const Structure nanLine = structureOf({entry(linePath({0, 0}, {kNaN, kNaN}), 0, kBlack, {}),
                                         entry(rectPath(0, 0, 4, 4), 1, kBlack, kRed)});
  std::vector<Drawing> rows = {
      {"a stroked line at automatic size is 21 x 21, not translated", one(linePath({10, 10}, {20, 20}), 0, kBlue, {}),
       0, 0, 21, 21, {{0, 0, kClear}, {5, 5, kClear}, {10, 19, kClear}, {20, 20, kClear}}},
      {"at negative coordinates, moved to the lower left", square(-30, -30, 10, 10), 0, 0, 30, 30, {},
       lowerLeft(10, 10, kOpaqueRed)},
      {"a fractional width rounds up; the last column is a fifth covered", square(0, 0, 10.2, 4), 0, 0, 11, 4,
       {{9, 2, kOpaqueRed}, {10, 2, {51, 0, 0, 51}, 2}}},
      // Moved by (1, 1): each edge's unit-wide line half covers the pixels either side of it.
      {"an outlined 10 x 20 rectangle is 12 x 22", one(rectPath(0, 0, 10, 20), 0, kBlack, {}), 0, 0, 12, 22,
       {{0, 11, kHalfBlack, 1}, {1, 11, kHalfBlack, 1}, {2, 11, kClear}, {6, 11, kClear}, {6, 21, kHalfBlack, 1},
        {10, 11, kHalfBlack, 1}, {11, 11, kHalfBlack, 1}}},
      // at() reads the first row as the top: asymmetric rows like this one check that too.
      {"a fixed size draws at pixel coordinates", square(-5, -5, 10, 10), 20, 10, 20, 10, {},
       lowerLeft(5, 5, kOpaqueRed)},
      {"fractional sizes round up", square(0, 0, 7, 9), 3.5, 2.01, 4, 3},
      // Cairo carries a colour premultiplied in 16 bits (rounded) and stores the high byte:
      // 0.6 x 65535 is 39321, whose high byte is 153; 0.12 x 65535 is 7864, 30. These two rows
      // also place R, G, B and A in that order.
      {"a background is premultiplied", Structure{}, 2, 2, 2, 2, {}, everywhere({153, 0, 30, 153}),
       Color::colorWithRed(1, 0, 0.2, 0.6)},
      {"a fill over a clear background keeps its premultiplied value",
       square(0, 0, 2, 2, Color::colorWithRed(0, 1, 0, 0.2)), 2, 2, 2, 2, {}, everywhere({0, 51, 0, 51})},
      // 0.7 x 0.7 of the corner pixel is covered: antialiased, a part of red; not, none.
      {"antialiased", square(0.3, 0.3, 5.4, 5.4), 8, 8, 8, 8, {{0, 0, {125, 0, 0, 125}, 2}, {3, 3, kOpaqueRed}}},
      {"not antialiased: the pixels whose centres are inside", square(0.3, 0.3, 5.4, 5.4), 8, 8, 8, 8, {},
       lowerLeft(6, 6, kOpaqueRed), Color::colorWithRed(0, 0, 0, 0), 0.01, false},
      {"later entries paint over earlier ones",
       structureOf({entry(rectPath(10, 10, 20, 20), 1, kBlack, kBlue),
                    entry(withWidth(rectPath(10, 10, 20, 20), 4), 0, kRed, {})}),
       40, 40, 40, 40, {{20, 20, kOpaqueBlue}, {10, 20, kOpaqueRed}, {8, 20, kOpaqueRed}, {12, 20, kOpaqueBlue}}},
      {"a missing fill colour paints no fill", one(withWidth(rectPath(5, 5, 10, 10), 2), 2, kRed, {}), 20, 20, 20, 20,
       {{10, 10, kOpaqueBlue}, {5, 10, kOpaqueRed}}, {}, kBlue},
      {"no colours paint nothing", one(rectPath(5, 5, 10, 10), 2, {}, {}), 20, 20, 20, 20, {}, everywhere(kClear),
       Value()},
      {"a path with non-finite coordinates is skipped", nanLine, 0, 0, 4, 4, {}, everywhere(kOpaqueRed)},
      {"members that are not entries are skipped", others, 0, 0, 4, 4, {}, everywhere(kOpaqueRed)},
      {"a huge line width covers the image", one(huge, 0, kRed, {}), 30, 30, 30, 30, {}, everywhere(kOpaqueRed)},
  };
  // The diagonal runs through the centres of the pixels (10, 10) ... (19, 19): a unit-wide band
  // at 45 degrees covers 1 - (1 - sqrt(1/2))^2 of each, opaque blue premultiplied by that.
  for (int i = 10; i < 20; ++i) rows[0].probes.push_back({i, i, {0, 0, 233, 233}, 3});
  // One side not positive means automatic size for both.
  for (auto [w, h] : {std::pair{100.0, 0.0}, {0.0, 50.0}, {-3.0, 50.0}, {kNaN, 50.0}, {100.0, kNaN}})
    rows.push_back({"size " + std::to_string(w) + " x " + std::to_string(h), square(0, 0, 7, 9), w, h, 7, 9});
  // A curve is still drawn whatever the flatness.
  for (double flatness : {kNaN, 0.0, -1.0, 1e-300, kInf})
    rows.push_back({"flatness " + std::to_string(flatness),
                    one(BezierPath::bezierPathWithOvalInRect({{2, 2}, {16, 16}}), 1), 20, 20, 20, 20,
                    {{10, 10, kOpaqueRed}, {0, 0, kClear}}, {}, Value(), flatness});
  // A width that is no number, not positive or infinite draws no stroke; the fill is still drawn.
  for (double width : {kNaN, -3.0, 0.0, -kInf, kInf})
    rows.push_back({"line width " + std::to_string(width),
                    one(withWidth(rectPath(5, 5, 10, 10), width), 2, kRed, kBlue), 20, 20, 20, 20,
                    {{4, 10, kClear}, {5, 10, kOpaqueBlue}}});
  // Mode 1 fills, 2 fills and strokes, anything else only strokes; the winding rule decides the
  // hole. Probes along y = 20: the hole (20), the ring (5), the inner outline (x = 9 .. 11) and
  // the outer one (x = -1 .. 1).
  std::vector<std::tuple<int, int, std::vector<std::pair<int, Px>>>> modes = {
      {EvenOddWindingRule, 2, {{20, kClear}, {5, kOpaqueBlue}, {9, kOpaqueRed}, {10, kOpaqueRed}, {0, kOpaqueRed}}},
      {NonZeroWindingRule, 2, {{20, kOpaqueBlue}, {10, kOpaqueRed}}},
      {EvenOddWindingRule, 1, {{20, kClear}, {10, kClear}, {9, kOpaqueBlue}, {0, kOpaqueBlue}}},
  };
  for (int mode : {0, 3, 5, -2}) modes.push_back({EvenOddWindingRule, mode, {{5, kClear}, {10, kOpaqueRed}}});
  for (const auto& [rule, mode, probes] : modes) {
    rows.push_back({"mode " + std::to_string(mode) + ", rule " + std::to_string(rule),
                    one(squareWithHole(rule), mode, kRed, kBlue), 40, 40, 40, 40});
    for (auto [x, px] : probes) rows.back().probes.push_back({x, 20, px});
  }
  // The settings of one entry do not carry over to the next: the second line is solid and one
  // unit wide, so y 14.5 .. 15.5 half covers two rows.
  auto dashed = withWidth(linePath({0, 5}, {40, 5}), 6);
  dashed->setLineDash({2, 2}, 0);
  dashed->setLineCapStyle(RoundLineCapStyle);
  rows.push_back({"the entry before's settings",
                  structureOf({entry(dashed, 0, kBlue, {}), entry(linePath({0, 15}, {40, 15}), 0, kRed, {})}), 40, 20,
                  40, 20});
  for (int x = 0; x < 40; ++x)
    for (auto [y, a] : {std::pair{13, 0}, {14, 128}, {15, 128}, {16, 0}})
      rows.back().probes.push_back({x, y, {a, 0, 0, a}, 1});
  for (const Drawing& d : rows) expectDrawing(d);
}

// Nothing to draw, or more than 16 384 pixels a side: no image, and the buffer is freed.
TEST(Renderer, SizeLimit) {
  std::vector<Drawing> rows = {
      {"nothing at automatic size", Structure{}},
      {"a line a billion units long", one(linePath({0, 0}, {1e9, 1e9}), 0)},
      {"a square a billion units away", square(-1e9, 5, 1, 1)},
      {"automatic, a hair over the limit", square(0, 0, 16384.5, 1)},
      {"automatic, at the limit", square(0, 0, 16384, 1), 0, 0, 16384, 1, {{16383, 0, kOpaqueRed}}},
      {"fixed, at the limit", Structure{}, double(kMaxImageSide), 1, 16384, 1, {{16383, 0, kOpaqueRed}}, {}, kRed},
  };
  for (auto [w, h] : {std::pair{16385.0, 1.0}, {1.0, 16384.01}, {1e300, 1e300}, {kInf, 5.0}})
    rows.push_back({"fixed " + std::to_string(w) + " x " + std::to_string(h), Structure{}, w, h, 0, 0, {}, {}, kRed});
  for (const Drawing& d : rows) expectDrawing(d);
}

TEST(CreateCGColorFromColor, AnswersTheComponentsWithinRange) {
  EXPECT_EQ(createCGColorFromColor(Color{0.25, 0.5, 0.75, 0.125}), (Color{0.25, 0.5, 0.75, 0.125}));
  EXPECT_EQ(createCGColorFromColor(Color{-1, 2, kNaN, kInf}), (Color{0, 1, 0, 1}));
  for (const Value& notAColour : {Value(), Value("red"), Value(1.0)}) EXPECT_FALSE(createCGColorFromColor(notAColour));
}

// A buffer is reused while what is needed is more than half its capacity; old pixels do not show
// through it, and an image keeps its pixels when it is reused.
TEST(Renderer, SteadySizesReuseTheBuffer) {
  Renderer render;
  auto red = render(nullptr, 100, 100, kRed);
  ASSERT_TRUE(red);
  uint8_t* first = render.bitmap.get();
  for (int side : {80, 71}) {
    auto blue = render(nullptr, side, side, kBlue);
    ASSERT_TRUE(blue);
    EXPECT_EQ(render.bitmap.get(), first) << side;
    EXPECT_EQ(at(*blue, side - 1, side - 1), kOpaqueBlue);
  }
  EXPECT_EQ(at(*red, 50, 50), kOpaqueRed);
  auto clear = render(nullptr, 70, 70, Value());  // 19 600 bytes, under half of 40 000: a new buffer
  ASSERT_TRUE(clear);
  EXPECT_EQ(render.capacity, 19600u);
  for (uint8_t byte : clear->data()) ASSERT_EQ(byte, 0);
}

// ---- far coordinates ----------------------------------------------------------------------

// Each drawing is made with its far points at a distance `far`, and again with them brought to
// 200 along the same lines (outside the image, but where Cairo draws them right): the visible
// parts are the same, so the images must be.
TEST(Renderer, PathsThroughFarCoordinatesDrawWhatIsVisibleOfThem) {
  auto polyline = [](std::initializer_list<Point> points, bool closed, double width) {
    auto p = BezierPath::bezierPath();
    for (Point q : points) p->isEmpty() ? p->moveToPoint(q) : p->lineToPoint(q);
    if (closed) p->closePath();
    p->setLineWidth(width);
    return p;
  };
  // A dash period no finer than 2^19 periods over the line's length, so it stays dashed; the
  // near line starts a whole number of periods along, in the same phase.
  auto dashed = [](double far) {
    const double period = std::exp2(std::ceil(std::log2(2e7 / (1 << 19)) + std::max(0.0, std::log2(far / 1e7))));
    const double from = -far + std::floor((far - 200) / period) * period;
    auto p = withWidth(linePath({from, 20}, {far, 20}), 3);
    p->setLineDash({period * 0.75, period * 0.25}, 0);
    return one(p, 0, kRed, {});
  };
  const std::vector<std::pair<const char*, std::function<Structure(double)>>> drawings = {
      {"across", [&](double f) { return one(polyline({{-f, 12}, {f, 12}}, false, 3), 0, kRed, {}); }},
      {"diagonal", [&](double f) { return one(polyline({{-f, -f}, {f, f}}, false, 2), 0, kRed, {}); }},
      {"triangle", [&](double f) { return one(polyline({{5, 5}, {f, 5}, {5, f}}, true, 1), 1, {}, kBlue); }},
      // Its start is a corner inside the image: the join there stays a join.
      {"wedge", [&](double f) {
         return one(polyline({{20, 20}, {20 + f, 20 - f}, {20 + f, 20 + f}}, true, 3), 2, kRed, kBlue);
       }},
      {"band", [&](double f) { return one(polyline({{-f, 8}, {f, 8}, {f, 30}, {-f, 30}}, true, 2), 2, kRed, kBlue); }},
      {"frame", [&](double f) {
         auto p = rectPath(-f, -f, 2 * f, 2 * f);
         p->appendBezierPathWithRect({{10, 10}, {20, 20}});
         p->setWindingRule(EvenOddWindingRule);
         return one(p, 1, {}, kRed);
       }},
      {"straight curve", [&](double f) {
         auto p = withWidth(BezierPath::bezierPath(), 4);
         p->moveToPoint({-f, 20});
         p->curveToPoint({f, 20}, {-f / 3, 20}, {f / 3, 20});
         return one(p, 0, kRed, {});
       }},
      {"shadowed", [&](double f) {
         Structure e = entry(polyline({{5, 5}, {f, 5}, {5, f}}, true, 1), 1, {}, kBlue);
         addShadow(e, {3, -3}, 4, kBlack);
         return structureOf({e});
       }},
      {"dashed", dashed},
  };
  for (const auto& [name, make] : drawings)
    for (double far : {1e7, 1e9, 1e15}) {
      const Structure nearDrawing = make(200), farDrawing = make(far);
      Renderer render;
      auto expected = render(&nearDrawing, 40, 40), actual = render(&farDrawing, 40, 40);
      ASSERT_TRUE(expected && actual) << name;
      int worst = 0, painted = 0;
      for (size_t i = 0; i < expected->data().size(); ++i) {
        worst = std::max(worst, std::abs(int(expected->data()[i]) - int(actual->data()[i])));
        painted += expected->data()[i] != 0;
      }
      EXPECT_GT(painted, 0) << name;
      EXPECT_LE(worst, 1) << name << " through " << far;
    }
}

TEST(QuartzPath, SameElementsDrawnByCairoAndSameContainment) {
  auto p = BezierPath::bezierPathWithOvalInRect({{1, 1}, {30, 20}});
  p->closePath();
  p->appendBezierPathWithRect({{10, 6}, {8, 8}});
  const QuartzPath q = p->quartzPath();
  EXPECT_EQ(q.elementCount(), p->elementCount());
  EXPECT_EQ(q.boundingBox(), p->bounds());
  EXPECT_TRUE(BezierPath().quartzPath().isEmpty());

  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
  cairo_t* cr = cairo_create(s);
  cairo_set_tolerance(cr, 0.01);
  appendPath(cr, q);
  cairo_path_t* copied = cairo_copy_path(cr);
  int curves = 0;
  for (int i = 0; i < copied->num_data; i += copied->data[i].header.length)
    curves += copied->data[i].header.type == CAIRO_PATH_CURVE_TO;
  EXPECT_EQ(curves, 4);
  cairo_path_destroy(copied);
  int checked = 0;
  for (int evenOdd = 0; evenOdd < 2; ++evenOdd) {
    cairo_set_fill_rule(cr, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    for (double y = 0.25; y < 22; y += 0.5)
      for (double x = 0.25; x < 32; x += 0.5) {
        // Cairo is a reference only away from the outline (it flattens and rounds to 1/256).
        if (std::fabs(x - 10) < 0.1 || std::fabs(x - 18) < 0.1 || std::fabs(y - 6) < 0.1 || std::fabs(y - 14) < 0.1)
          continue;
        const double ex = (x - 16) / 15, ey = (y - 11) / 10;
        if (std::fabs(ex * ex + ey * ey - 1) < 0.03) continue;
        ++checked;
        EXPECT_EQ(q.containsPoint({x, y}, evenOdd), static_cast<bool>(cairo_in_fill(cr, x, y))) << x << ", " << y;
      }
  }
  EXPECT_GT(checked, 2000);
  cairo_destroy(cr);
  cairo_surface_destroy(s);
}

}  // namespace
}  // namespace vellum::test
