// Whole documents through the SVG reader: vocabulary, groups, inheritance, order, the flip,
// reuse, viewports, gradients, markers, text and locales; and where a file name points.
#include <chrono>
#include <cmath>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <tuple>

#include "render/Renderer.h"
#include "tests/svg/SVGTestSupport.h"

using namespace vellum;
using namespace vellum::svgtest;
using namespace vellum::testing;

namespace {

std::string svg(const std::string& body) { return "<svg xmlns=\"http://www.w3.org/2000/svg\">" + body + "</svg>"; }
// A unit square with more attributes.
std::string unit(const std::string& attributes = "") { return "<rect width='1' height='1' " + attributes + "/>"; }

const Color kBlackPaint{0, 0, 0, 1}, kRedPaint{1, 0, 0, 1}, kBluePaint{0, 0, 1, 1}, kLimePaint{0, 1, 0, 1};

// Where the path of a document's single entry lies, after the flip within the drawing's height H
// (the largest y): the same corners, visited from the other side.
TEST(SVGDocument, GeometryTransformsAndTheFlip) {
  const std::vector<std::pair<std::string, std::vector<El>>> rows = {
      // At y 30 with height 20: H = 50, so the band above the content stays.
      {svg("<rect x='0' y='30' width='10' height='20'/>"), {M(0, 20), L(10, 20), L(10, 0), L(0, 0), Z()}},
      // Innermost first: (22, 0) and (24, 0); H = 0.
      {svg("<g transform='scale(2)'><g transform='translate(10,0)'><line x1='1' y1='0' x2='2' y2='0'/></g></g>"),
       {M(22, 0), L(24, 0)}},
      // The element's own transform before its groups': (1, 1) -> (3, 3) -> (13, 3). H = 3.
      {svg("<g transform='translate(10,0)'><line x1='0' y1='0' x2='1' y2='1' transform='scale(3)'/></g>"),
       {M(10, 3), L(13, 0)}},
      // An unreadable transform is none; the root's transform is ignored.
      {svg("<g transform='translate(5,5) scale()'><rect width='2' height='2'/></g>"),
       {M(0, 2), L(2, 2), L(2, 0), L(0, 0), Z()}},
      {"<svg transform='scale(5)'><rect width='2' height='2'/></svg>", {M(0, 2), L(2, 2), L(2, 0), L(0, 0), Z()}},
      // Shapes outside every "svg" and "g" are resolved like any other.
      {"<drawing><rect width='2' height='1' transform='scale(2)'/></drawing>",
       {M(0, 2), L(4, 2), L(4, 0), L(0, 0), Z()}},
      // Unknown elements are looked into; definitions, symbols and prefixed names are not drawn.
      {"<svg xmlns:svg='http://www.w3.org/2000/svg'><defs>" + unit() + "</defs><symbol><circle r='1'/></symbol>"
       "<svg:rect width='5' height='5'/><Rect width='5'/><foo><polygon points='0,0 1,0 1,1'/></foo></svg>",
       {M(0, 1), L(1, 1), L(1, 0), Z()}},
  };
  for (const auto& [doc, elements] : rows) {
    SCOPED_TRACE(doc);
    auto s = readSVG(doc);
    ASSERT_EQ(s->count(), 1u);
    expectElements(*pathAt(s, 0), elements);
  }
}

// How each entry is painted: fill, stroke, mode (1 fill, 2 both, 0 stroke) and line width.
struct Paint {
  Color fill, stroke;
  int strokefill;
  double lineWidth;
};

TEST(SVGDocument, PaintInheritanceAndTheCascade) {
  const Paint black{kBlackPaint, kBlackPaint, 1, 1}, red{kRedPaint, kBlackPaint, 1, 1};
  const double c128 = 128.0 / 255;
  const std::vector<std::pair<std::string, std::vector<Paint>>> rows = {
      // No paint given: filled black, not stroked. A fill of its own wins over the group's; the
      // root's paint is inherited, and so is paint outside any "svg" or "g".
      {svg("<rect width='10' height='20'/>"), {black}},
      {svg("<g fill='red'><circle cx='5' cy='5' r='5' fill='blue'/>" + unit() + "</g>"),
       {{kBluePaint, kBlackPaint, 1, 1}, red}},
      {"<svg fill='red'>" + unit() + "</svg>", {red}},
      {"<drawing>" + unit("fill='red'") + "</drawing>", {red}},
      // An inner group overrides per attribute; its values, then the outer group's, end with them.
      {svg("<g stroke='red' stroke-width='4' fill='lime'><g stroke='blue' fill-opacity='0.5'>" + unit() + "</g>" +
           unit() + "</g>" + unit()),
       {{{0, 1, 0, 0.5}, kBluePaint, 2, 4}, {kLimePaint, kRedPaint, 2, 4}, black}},
      // Sheet beats attribute, class beats type, id beats class, the style attribute beats the
      // sheet, !important beats the style attribute; currentColor is the inherited colour, and
      // the child combinator matches in the group.
      {svg("<style>rect{fill:lime} .a{fill:blue} #i{fill:yellow} .imp{fill:teal!important} g>.k{stroke:red}</style>" +
           unit("fill='red'") + unit("class='a'") + unit("class='a' id='i'") + unit("class='a' style='fill:#000'") +
           unit("class='imp' style='fill:#000'") + "<g color='#0000ff' fill='red'>" +
           unit("class='k' style='fill:currentColor'") + unit("style='fill:inherit;stroke:currentColor' class='q'") +
           "</g>"),
       {{kLimePaint, kBlackPaint, 1, 1}, {kBluePaint, kBlackPaint, 1, 1}, {{1, 1, 0, 1}, kBlackPaint, 1, 1}, black,
        {{0, c128, c128, 1}, kBlackPaint, 1, 1}, {kBluePaint, kRedPaint, 2, 1}, {kRedPaint, kBluePaint, 2, 1}}},
      // Opacities multiply; display none hides a subtree, visibility hidden only what it covers;
      // painted with nothing, an entry draws nothing (clear stroke, no width).
      {svg("<g opacity='0.5'>" + unit("fill='red' fill-opacity='50%' stroke='blue' stroke-opacity='.5' opacity='.5'") +
           "</g><g display='none'>" + unit("display='inline'") + "</g><g visibility='hidden'>" + unit() +
           unit("visibility='visible' fill='none' stroke='none'") + "</g>"),
       {{{1, 0, 0, 0.125}, {0, 0, 1, 0.125}, 2, 1}, {kBlackPaint, {0, 0, 0, 0}, 0, 0}}},
      // Gradients in plain paint are their first stop; a missing one falls back, or is none.
      {svg("<linearGradient id='base'><stop offset='0' style='stop-color:#00f;stop-opacity:.5'/>"
           "<stop offset='1' stop-color='red'/></linearGradient><linearGradient id='g' xlink:href='#base'/>" +
           unit("fill='url(#g)'") + unit("fill='url(#none) lime'") + unit("fill='url(#none)' stroke='red'")),
       {{{0, 0, 1, 0.5}, kBlackPaint, 1, 1}, {kLimePaint, kBlackPaint, 1, 1}, {kBlackPaint, kRedPaint, 0, 1}}},
      // A stroke width scales by the geometric mean of the transform's scales (2 and 8); a
      // percentage is of the 100 x 100 viewport's diagonal measure.
      {svg("<g transform='scale(2 8)'><line x2='1' stroke='red' stroke-width='3'/></g>"
           "<line x2='1' stroke='red' stroke-width='10%'/>"),
       {{kBlackPaint, kRedPaint, 2, 12}, {kBlackPaint, kRedPaint, 2, 10}}},
  };
  for (const auto& [doc, paints] : rows) {
    auto s = readSVG(doc);
    ASSERT_EQ(s->count(), paints.size()) << doc;
    for (size_t i = 0; i < paints.size(); ++i) {
      SCOPED_TRACE(doc + " entry " + std::to_string(i));
      const Structure& e = entryAt(s, i);
      EXPECT_EQ(colorOf(e, "fill"), paints[i].fill);
      EXPECT_EQ(colorOf(e, "stroke"), paints[i].stroke);
      EXPECT_EQ(e.memberForKey("strokefill"), Value(paints[i].strokefill));
      EXPECT_DOUBLE_EQ(pathAt(s, i)->lineWidth(), paints[i].lineWidth);
    }
  }
  EXPECT_EQ(pathAt(readSVG(svg("<g stroke-linejoin='round'>" + unit() + "</g>")), 0)->lineJoinStyle(),
            RoundLineJoinStyle);
  EXPECT_EQ(pathAt(readSVG(svg("<line x2='1' stroke-dasharray='1 2' transform='scale(2 8)'/>")), 0)->lineDash(),
            (std::vector<double>{4, 8}));
}

// Text as the font draws it at its place: character data in several pieces is joined (expat
// hands "&amp;" over as a piece of its own, and tspan content is collected too), and font
// properties reach the text from the root. Character data outside text draws nothing; a text
// element inside another ends it.
TEST(SVGDocument, Text) {
  const std::tuple<std::string, const char*, const char*, double, Point, const char*> rows[] = {
      {svg("<text font-family='DejaVu Sans' font-size='10'>A<tspan>&amp;</tspan>B</text>"), "A&B", "DejaVuSans", 10,
       {0, 0}, ""},
      {"<svg font-family='DejaVu Sans' font-size='20' font-weight='bold'><g text-anchor='end'><text x='100' y='50'>Hi"
       "</text></g></svg>",
       "Hi", "DejaVuSans-Bold", 20, {100, 50}, "end"},
  };
  for (const auto& [doc, text, fontName, size, at, anchor] : rows) {
    auto s = readSVG(doc);
    ASSERT_EQ(s->count(), 1u) << doc;
    auto font = Font::fontWithName(fontName, size);
    ASSERT_NE(font, nullptr);
    auto reference = svgTextPath(text, at, font.get(), anchor);
    EXPECT_EQ(pathAt(s, 0)->elementCount(), reference->elementCount()) << doc;
    EXPECT_NEAR(pathAt(s, 0)->bounds().size.width, reference->bounds().size.width, 1e-9) << doc;
    EXPECT_NEAR(pathAt(s, 0)->bounds().origin.x, reference->bounds().origin.x, 1e-9) << doc;
    EXPECT_EQ(entryAt(s, 0).memberForKey("strokefill"), Value(1));
  }
  EXPECT_EQ(readSVG(svg("stray words<g>more</g>"))->count(), 0u);
  EXPECT_EQ(readSVG(svg("<text>A<text>B</text>C</text>"))->count(), 1u);
}

// A 20 x 10 box into 1 in x 48 px: meet scales by 4.8 and centres across; into 96 x 96 as the
// aspect ratio says. A box of no size draws nothing and says so.
TEST(SVGDocument, ViewBoxUnitsAndAspectRatio) {
  ScratchFolder folder;
  struct Row {
    const char* svgAttributes;
    double x0, width, height, documentHeight;
  };
  const Row rows[] = {{"width='1in' height='48'", 0, 96, 48, 48},
                      {"width='96' height='96' preserveAspectRatio='xMinYMin meet'", 0, 96, 48, 96},
                      {"width='96' height='96' preserveAspectRatio='none'", 0, 96, 96, 96},
                      {"width='96' height='96' preserveAspectRatio='xMaxYMax slice'", -96, 192, 96, 96}};
  for (const Row& row : rows) {
    SVGReader reader;
    const std::string doc = std::string("<svg ") + row.svgAttributes + " viewBox='0 0 20 10'>";
    auto s = readFile(folder.write("v.svg", doc + "<rect width='20' height='10'/></svg>").string(), &reader);
    ASSERT_EQ(s->count(), 1u);
    EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{row.x0, 0}, {row.width, row.height}})) << row.svgAttributes;
    EXPECT_EQ(reader.documentSize, (Size{96, row.documentHeight})) << row.svgAttributes;
  }
  CapturedLog log;
  EXPECT_EQ(readSVG("<svg viewBox='0 0 0 10'><rect width='1' height='1'/></svg>")->count(), 0u);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("viewBox \"0 0 0 10\" has no positive size"), std::string::npos) << log.lines[0];
}

TEST(SVGDocument, UseSymbolAndDefs) {
  auto s = readSVG(svg("<defs><rect id='r' width='2' height='1' fill='inherit'/></defs>"
                       "<symbol id='s' viewBox='0 0 1 1'><circle cx='0.5' cy='0.5' r='0.5'/></symbol>"
                       "<use href='#r' x='10' y='5' fill='blue' transform='scale(2)'/>"
                       "<use xlink:href='#s' x='1' width='4' height='4'/><use href='#later'/>"
                       "<rect id='later' x='30' width='1' height='1'/><use href='#missing'/>"));
  ASSERT_EQ(s->count(), 4u);
  // Drawn as if in the "use": its paint inherited, moved by x and y, then its transform; a
  // symbol through its viewBox; a forward reference too.
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{20, 0}, {4, 2}}));
  EXPECT_EQ(colorOf(entryAt(s, 0), "fill"), kBluePaint);
  EXPECT_NEAR(pathAt(s, 1)->bounds().origin.x, 1, 1e-12);
  EXPECT_NEAR(pathAt(s, 1)->bounds().size.width, 4, 1e-12);
  EXPECT_EQ(pathAt(s, 2)->bounds().origin.x, 30);
}

TEST(SVGDocument, UseCyclesAndExponentialReuseAreBounded) {
  CapturedLog log;
  auto cycle = readSVG(svg("<g id='a'>" + unit() + "<use href='#b'/></g><g id='b'><use href='#a'/></g>"
                           "<use id='self' href='#self'/>"));
  EXPECT_EQ(cycle->count(), 2u);  // a's rect, and again through b's use of a
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines[0].find("refers to itself"), std::string::npos) << log.lines[0];
  // Ten levels of ten uses each would be 10^10 rectangles.
  std::string doc = "<defs>" + unit("id='l0'");
  for (int i = 1; i <= 10; ++i) {
    doc += "<g id='l" + std::to_string(i) + "'>";
    for (int j = 0; j < 10; ++j) doc += "<use href='#l" + std::to_string(i - 1) + "'/>";
    doc += "</g>";
  }
  log.lines.clear();
  const auto start = std::chrono::steady_clock::now();
  auto many = readSVG(svg(doc + "</defs><use href='#l10'/>"));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30)
      << "bounded time, not a speed target";
  EXPECT_TRUE(many->count() > 1000u && many->count() <= size_t(1) << 17) << many->count();
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines.back().find("131 072"), std::string::npos);
}

// Gradients and clip paths become members the renderer draws with Cairo's own gradients and clips.
TEST(SVGDocument, GradientsAndClipPathsAreDrawn) {
  auto s = readSVG(svg("<linearGradient id='lr' x2='1' y2='0' spreadMethod='reflect'><stop offset='0' "
                       "stop-color='red'/><stop offset='120%' stop-color='blue'/></linearGradient>"
                       "<clipPath id='c'><rect width='20' height='5'/></clipPath><rect width='20' height='10' "
                       "fill='url(#lr)' fill-opacity='0.5' clip-path='url(#c)'/>"));
  ASSERT_EQ(s->count(), 1u);
  const Structure& e = entryAt(s, 0);
  const StructureRef g = e.memberForKey("fill-gradient").structure();
  ASSERT_TRUE(g);
  EXPECT_EQ(*g->memberForKey("kind").string(), "linear");
  EXPECT_EQ(*g->memberForKey("spread").string(), "reflect");
  // Bounding-box units, then the flip within H = 10: (u, v) -> (20 u, 10 - 10 v).
  std::vector<double> matrix;
  for (const auto& v : *g->memberForKey("matrix").structure()) matrix.push_back(v.value.doubleValue());
  EXPECT_EQ(matrix, (std::vector<double>{20, 0, 0, -10, 0, 10}));
  const StructureRef stops = g->memberForKey("stops").structure();
  ASSERT_EQ(stops->count(), 2u);
  EXPECT_EQ(stops->memberAtIndex(1).structure()->memberForKey("offset").doubleValue(), 1);  // clamped
  EXPECT_EQ(*stops->memberAtIndex(1).structure()->memberForKey("color").color(), (Color{0, 0, 1, 0.5}));
  EXPECT_EQ(colorOf(e, "fill"), (Color{1, 0, 0, 0.5}));  // the first stop, for consumers without gradients
  EXPECT_EQ(e.memberForKey("clip").objectAs<BezierPath>()->bounds(), (Rect{{0, 5}, {20, 5}}));

  // Drawn upright: the first row of the image is the top of the drawing.
  BitmapBuffer bitmap;
  uint64_t capacity = 0;
  auto image = renderBezierPathStructure(s.get(), 0.01, 0, 0, true, Value(), bitmap, capacity);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 20);
  const uint8_t *left = image->pixel(0, 0), *right = image->pixel(19, 0);
  EXPECT_TRUE(left[0] > 100 && left[2] < 20) << int(left[0]) << " " << int(left[2]);  // red, half covered
  EXPECT_TRUE(right[0] < 20 && right[2] > 100) << int(right[0]) << " " << int(right[2]);  // blue
  EXPECT_EQ(image->pixel(10, 7)[3], 0);  // below the clip: nothing
}

// A group's clip applies to each of its shapes (flipped once, however many share it) and
// intersects a shape's own; a clip's shapes may come through "use" and groups; a group's clip in
// bounding-box units is relative to its content's box.
TEST(SVGDocument, NestedClipPathsIntersect) {
  auto s = readSVG(svg("<defs><g id='l'><rect width='1' height='2' transform='scale(5)'/></g></defs><clipPath "
                       "id='top' clipPathUnits='objectBoundingBox'><rect width='1' height='0.5'/></clipPath><clipPath "
                       "id='left'><use href='#l' x='1'/><use href='#l' x='-1'/></clipPath><g clip-path='url(#top)'><rect "
                       "width='20' height='10' fill='red'/><rect width='20' height='10' fill='blue' "
                       "clip-path='url(#left)'/></g>"));
  ASSERT_EQ(s->count(), 2u);
  const Rect top{{0, 5}, {20, 5}}, left{{-1, 0}, {7, 10}};
  EXPECT_EQ(entryAt(s, 0).memberForKey("clip").objectAs<BezierPath>()->bounds(), top);
  const StructureRef both = entryAt(s, 1).memberForKey("clip").structure();
  ASSERT_TRUE(both && both->count() == 2);
  EXPECT_EQ(both->memberAtIndex(0).objectAs<BezierPath>()->bounds(), left);
  EXPECT_EQ(both->memberAtIndex(1).objectAs<BezierPath>()->bounds(), top);

  BitmapBuffer bitmap;
  uint64_t capacity = 0;
  auto image = renderBezierPathStructure(s.get(), 0.01, 0, 0, true, Value(), bitmap, capacity);
  ASSERT_TRUE(image);
  const std::pair<Point, Color> probes[] = {{{5, 2}, {0, 0, 1, 1}}, {{15, 2}, {1, 0, 0, 1}}, {{5, 7}, {0, 0, 0, 0}}, {{15, 7}, {0, 0, 0, 0}}};
  for (const auto& [at, color] : probes) {
    const uint8_t* p = image->pixel(int(at.x), int(at.y));
    EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}),
              (std::array<int, 4>{int(color.red * 255), int(color.green * 255), int(color.blue * 255), int(color.alpha * 255)}))
        << at.x << ", " << at.y;
  }
}

TEST(SVGDocument, MarkersAreEntriesAtTheVertices) {
  // The content's paint comes from the marker's ancestors, not from the path.
  auto s = readSVG(svg("<g fill='red'><marker id='m' refX='1' refY='1' orient='auto' markerUnits='userSpaceOnUse'>"
                       "<rect width='2' height='2'/></marker></g>"
                       "<path d='M0 0 L10 0 L10 10' fill='none' stroke='blue' marker-start='url(#m)' "
                       "marker-mid='url(#m)' marker-end='url(#m)'/>"));
  ASSERT_EQ(s->count(), 4u);
  // Centred on each vertex, turned along the path: level, along the bisector of 0 and 90 degrees,
  // upright.
  const double centres[] = {0, 10, 10}, widths[] = {2, 2 * std::sqrt(2.0), 2};
  for (size_t i = 0; i < 3; ++i) {
    const Rect b = pathAt(s, i + 1)->bounds();
    EXPECT_NEAR(b.origin.x + b.size.width / 2, centres[i], 1e-9) << i;
    EXPECT_NEAR(b.size.width, widths[i], 1e-9) << i;
    EXPECT_EQ(colorOf(entryAt(s, i + 1), "fill"), kRedPaint);
  }
}

TEST(SVGDocument, NumbersReadTheSameUnderACommaDecimalLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
    if (std::setlocale(LC_ALL, name)) {
      EXPECT_EQ(std::to_string(1.5), "1,500000") << "the locale " << name << " writes a decimal comma";
      break;
    }
  auto s = readSVG(svg("<g transform='scale(1.5)'><rect x='0.5' width='2.5' height='1.5' stroke-width='0.25' "
                       "fill='rgb(127.5,0,0)' fill-opacity='0.5'/></g>"));
  std::setlocale(LC_ALL, previous.c_str());
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{0.75, 0}, {3.75, 2.25}}));
  EXPECT_EQ(pathAt(s, 0)->lineWidth(), 0.375);  // scaled with the group
  EXPECT_EQ(colorOf(entryAt(s, 0), "fill"), (Color{0.5, 0, 0, 0.5}));
}

// Relative names resolve against the composition's folder; without a composition location (or
// with one that is not a file URL), against the working directory. %00 is not decoded: it would
// cut the name short. A tilde is the home folder, or a user's.
TEST(SVGFileLocation, RelativeNamesAndTildes) {
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", "/home/tester", 1);
  const std::tuple<const char*, std::optional<std::string_view>, const char*> rows[] = {
      {"art/a.svg", "file:///home/me/My%20Work/comp.json", "/home/me/My Work/art/a.svg"},
      {"a.svg", "file://localhost/srv/c.json", "/srv/a.svg"},
      {"a.svg", "file:///c.json", "/a.svg"},
      {"/abs/a.svg", "file:///home/me/comp.json", "/abs/a.svg"},
      {"a.svg", std::nullopt, "a.svg"},
      {"a.svg", "http://example.invalid/c.json", "a.svg"},
      {"a.svg", "file:///x%00y/c.json", "/x%00y/a.svg"},
      {"~/d/a.svg", "file:///elsewhere/c.json", "/home/tester/d/a.svg"},
      {"~", std::nullopt, "/home/tester"},
      {"~root/a.svg", std::nullopt, "/root/a.svg"},
      {"~no-such-user-here/a.svg", std::nullopt, "~no-such-user-here/a.svg"},
  };
  for (const auto& [name, composition, location] : rows)
    EXPECT_EQ(svgFileLocation(name, composition), location) << name;
  if (old) setenv("HOME", saved.c_str(), 1);
  else unsetenv("HOME");
}

}  // namespace
