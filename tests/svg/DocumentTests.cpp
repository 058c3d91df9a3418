// Whole documents through "Vellum Vector With SVG": vocabulary, groups, inheritance, order,
// the flip, file names, and the log line for malformed XML.
#include <chrono>
#include <cmath>
#include <clocale>
#include <cstdlib>

#include "patches/render/V2DImageWithBezierPathStructurePatch.h"
#include "tests/svg/SVGTestSupport.h"

using namespace vellum;
using namespace vellum::svgtest;
using namespace vellum::testing;

namespace {

std::string svg(const std::string& body) { return "<svg xmlns=\"http://www.w3.org/2000/svg\">" + body + "</svg>"; }

// Saved compositions name these ports.
TEST(SVGDocument, PortKeys) {
  V2DBezierPathStructureWithSVGPatch patch;
  EXPECT_EQ(patch.portForKey("inputFile"), &patch.inputFile);
  EXPECT_EQ(patch.portForKey("outputBezierPaths"), &patch.outputBezierPaths);
}

TEST(SVGDocument, OneRectangleWithNoOtherAttributes) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<rect x=\"0\" y=\"0\" width=\"10\" height=\"20\"/>"));
  ASSERT_TRUE(s);
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(s->keyAtIndex(0), std::optional<std::string>("0"));
  const Structure& e = entryAt(s, 0);
  // Flipped within H = 20: the same corners, visited from the other side.
  expectElements(*pathAt(s, 0), {M(0, 20), L(10, 20), L(10, 0), L(0, 0), Z()});
  expectColor(colorOf(e, "stroke"), 0, 0, 0, 1);
  expectColor(colorOf(e, "fill"), 0, 0, 0, 1);
  EXPECT_EQ(e.memberForKey("strokefill"), Value(1));  // no paint given: filled black, not stroked
  EXPECT_EQ(pathAt(s, 0)->lineWidth(), 1);
  // Exactly the members of a path entry, in this order.
  std::vector<std::string> keys;
  for (const auto& m : e) keys.push_back(m.key().value_or("?"));
  EXPECT_EQ(keys, (std::vector<std::string>{"path", "stroke", "fill", "strokefill"}));
}

TEST(SVGDocument, FlipKeepsTheBandAboveTheContent) {
  ScratchFolder folder;
  // At y 30 with height 20: H = 50, so the flipped rectangle spans y 0 to 20.
  auto s = readSVG(folder, svg("<rect x=\"0\" y=\"30\" width=\"10\" height=\"20\"/>"));
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{0, 0}, {10, 20}}));
  expectElements(*pathAt(s, 0), {M(0, 20), L(10, 20), L(10, 0), L(0, 0), Z()});
}

TEST(SVGDocument, NestedGroupTransformsApplyInnermostFirst) {
  ScratchFolder folder;
  // Before the flip (22, 0) and (24, 0); every point has y 0, so H = 0 and the flip keeps y 0.
  auto s = readSVG(folder, svg("<g transform=\"scale(2)\"><g transform=\"translate(10,0)\">"
                               "<line x1=\"1\" y1=\"0\" x2=\"2\" y2=\"0\"/></g></g>"));
  ASSERT_EQ(s->count(), 1u);
  expectElements(*pathAt(s, 0), {M(22, 0), L(24, 0)});
}

TEST(SVGDocument, ElementTransformActsBeforeItsGroups) {
  ScratchFolder folder;
  // Own scale(3) first: (1, 1) -> (3, 3); then the group's translate: (13, 3). H = 3.
  auto s = readSVG(folder, svg("<g transform=\"translate(10,0)\"><line x1=\"0\" y1=\"0\" x2=\"1\" y2=\"1\" "
                               "transform=\"scale(3)\"/></g>"));
  expectElements(*pathAt(s, 0), {M(10, 3), L(13, 0)});
}

TEST(SVGDocument, InheritedFillAndOwnFillWins) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<g fill=\"red\"><circle cx=\"5\" cy=\"5\" r=\"5\" fill=\"blue\"/>"
                               "<rect width=\"1\" height=\"1\"/></g>"));
  ASSERT_EQ(s->count(), 2u);
  expectColor(colorOf(entryAt(s, 0), "fill"), 0, 0, 1, 1);
  expectColor(colorOf(entryAt(s, 1), "fill"), 1, 0, 0, 1);
  EXPECT_EQ(entryAt(s, 0).memberForKey("strokefill"), Value(1));
  EXPECT_EQ(entryAt(s, 1).memberForKey("strokefill"), Value(1));
}

TEST(SVGDocument, InnerGroupOverridesOuterPerAttribute) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<g stroke=\"red\" stroke-width=\"4\" fill=\"lime\">"
                               "<g stroke=\"blue\" fill-opacity=\"0.5\"><rect width=\"1\" height=\"1\"/></g>"
                               "<rect width=\"1\" height=\"1\" stroke-linejoin=\"round\"/></g>"
                               "<rect width=\"1\" height=\"1\"/>"));
  ASSERT_EQ(s->count(), 3u);
  expectColor(colorOf(entryAt(s, 0), "stroke"), 0, 0, 1, 1);
  expectColor(colorOf(entryAt(s, 0), "fill"), 0, 1, 0, 0.5);
  EXPECT_EQ(pathAt(s, 0)->lineWidth(), 4);
  EXPECT_EQ(entryAt(s, 0).memberForKey("strokefill"), Value(2));
  // The inner group's values are gone once it closes.
  expectColor(colorOf(entryAt(s, 1), "stroke"), 1, 0, 0, 1);
  expectColor(colorOf(entryAt(s, 1), "fill"), 0, 1, 0, 1);
  EXPECT_EQ(pathAt(s, 1)->lineJoinStyle(), RoundLineJoinStyle);
  // And the outer group's once it closes.
  EXPECT_EQ(entryAt(s, 2).memberForKey("strokefill"), Value(1));
  EXPECT_EQ(pathAt(s, 2)->lineWidth(), 1);
}

TEST(SVGDocument, RootPaintInheritsAndRootTransformIsIgnored) {
  ScratchFolder folder;
  auto s = readSVG(folder, "<svg fill=\"red\" transform=\"scale(5)\"><rect width=\"2\" height=\"2\"/></svg>");
  ASSERT_EQ(s->count(), 1u);
  expectColor(colorOf(entryAt(s, 0), "fill"), 1, 0, 0, 1);
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{0, 0}, {2, 2}}));
}

TEST(SVGDocument, GroupWithUnreadableTransformHasNone) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<g transform=\"translate(5,5) scale()\"><rect width=\"2\" height=\"2\"/></g>"));
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{0, 0}, {2, 2}}));
}

TEST(SVGDocument, MembersInDocumentOrder) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<rect width=\"1\" height=\"1\" stroke=\"red\"/>"
                               "<g><rect width=\"1\" height=\"1\" stroke=\"lime\"/></g>"
                               "<rect width=\"1\" height=\"1\" stroke=\"blue\"/>"));
  ASSERT_EQ(s->count(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(s->keyAtIndex(i), std::optional<std::string>(std::to_string(i)));
  expectColor(colorOf(entryAt(s, 0), "stroke"), 1, 0, 0, 1);
  expectColor(colorOf(entryAt(s, 1), "stroke"), 0, 1, 0, 1);
  expectColor(colorOf(entryAt(s, 2), "stroke"), 0, 0, 1, 1);
}

TEST(SVGDocument, DefinitionsDrawOnlyThroughUseAndPrefixedNamesNever) {
  ScratchFolder folder;
  auto s = readSVG(folder, "<svg xmlns:svg=\"http://www.w3.org/2000/svg\"><defs><rect width=\"1\" height=\"1\"/></defs>"
                           "<symbol><circle r=\"1\"/></symbol><svg:rect width=\"5\" height=\"5\"/><Rect width=\"5\"/>"
                           "<foo><polygon points=\"0,0 1,0 1,1\"/></foo></svg>");
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(pathAt(s, 0)->elementCount(), 4u);  // the polygon inside the unknown element
}

TEST(SVGDocument, TextCharacterDataSplitOverSeveralCallsIsJoined) {
  V2DBezierPathStructureWithSVGPatch patch;
  ScratchFolder folder;
  const auto file = folder.write("t.svg", svg("<text x=\"0\" y=\"20\" font-family=\"DejaVu Sans\" font-size=\"20\">"
                                              "Hello</text>"));
  auto whole = readFile(file.string());
  ASSERT_EQ(whole->count(), 1u);
  // The same document delivered event by event, the characters in three pieces.
  patch.reader.didStartElement("svg", SVGAttributeList{});
  patch.reader.didStartElement("text", SVGAttributeList{{"x", "0"}, {"y", "20"}, {"font-family", "DejaVu Sans"},
                                                 {"font-size", "20"}});
  patch.reader.foundCharacters("He");
  patch.reader.foundCharacters("l");
  patch.reader.foundCharacters("lo");
  patch.reader.didEndElement("text");
  patch.reader.didEndElement("svg");
  ASSERT_EQ(patch.reader.allBezierPaths.size(), 1u);
  auto pieces = patch.reader.allBezierPaths[0].path;
  // Not flipped yet: flip it the way the file's path was (H is the same: same outline).
  const double H = pieces->bounds().size.height + pieces->bounds().origin.y;
  AffineTransform flip;
  flip.setTransformStruct(1, 0, 0, -1, 0, H);
  pieces->transformUsingAffineTransform(flip);
  EXPECT_TRUE(pieces->isEqualToBezierPath(*pathAt(whole, 0)));
}

TEST(SVGDocument, TextCollectsNestedCharacterDataAndSplitsAcrossEntities) {
  ScratchFolder folder;
  // "&amp;" arrives as its own piece of character data; tspan content is collected too.
  auto joined = readSVG(folder, svg("<text font-family=\"DejaVu Sans\" font-size=\"10\">A<tspan>&amp;</tspan>B</text>"));
  auto font = Font::fontWithName("DejaVu Sans", 10);
  ASSERT_NE(font, nullptr);
  auto reference = BezierPath::bezierPath();
  reference->moveToPoint({0, 0});
  appendBezierPathWithString(*reference, "A&B", *font);
  ASSERT_EQ(joined->count(), 1u);
  EXPECT_EQ(pathAt(joined, 0)->elementCount(), reference->elementCount());
}

TEST(SVGDocument, TextOutsideTextElementsIsIgnored) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("stray words<g>more</g>"));
  EXPECT_EQ(s->count(), 0u);
}

TEST(SVGDocument, NestedTextElementEndsTheOuterOne) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<text>A<text>B</text>C</text>"));
  EXPECT_EQ(s->count(), 1u);
}

// Entries outside every "svg" and "g" would otherwise stay unresolved, without paint and without
// their own transform; they are resolved like any other.
TEST(SVGDocument, EntriesOutsideAnyGroupAreStillResolved) {
  ScratchFolder folder;
  auto s = readSVG(folder, "<drawing><rect width=\"2\" height=\"1\" fill=\"red\" transform=\"scale(2)\"/></drawing>");
  ASSERT_EQ(s->count(), 1u);
  const Structure& e = entryAt(s, 0);
  EXPECT_EQ(e.count(), 4u);
  EXPECT_FALSE(e.hasKey("attributes"));
  EXPECT_FALSE(e.hasKey("transform"));
  expectColor(colorOf(e, "fill"), 1, 0, 0, 1);
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{0, 0}, {4, 2}}));
}

TEST(SVGDocument, FileReadAnewOnEveryExecution) {
  ScratchFolder folder;
  const auto file = folder.write("a.svg", svg("<rect width=\"1\" height=\"1\"/>"));
  V2DBezierPathStructureWithSVGPatch patch;
  patch.inputFile.setStringValue(file.string());
  patch.execute(nullptr, 0, {});
  EXPECT_EQ(patch.outputBezierPaths.structureValue()->count(), 1u);
  folder.write("a.svg", svg("<rect width=\"1\" height=\"1\"/><rect width=\"1\" height=\"1\"/>"));
  patch.execute(nullptr, 0, {});
  EXPECT_EQ(patch.outputBezierPaths.structureValue()->count(), 2u);
  EXPECT_TRUE(patch.reader.allBezierPaths.empty());  // nothing kept between executions
}

// --- style, reuse and viewports -----------------------------------------------------------------

TEST(SVGDocument, CascadeOfAttributesSheetsAndStyleAttributes) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg(
      "<style>rect{fill:lime} .a{fill:blue} #i{fill:yellow} .imp{fill:teal!important} g>.k{stroke:red}</style>"
      "<rect width='1' height='1' fill='red'/>"                          // sheet beats attribute: lime
      "<rect width='1' height='1' class='a'/>"                           // class beats type: blue
      "<rect width='1' height='1' class='a' id='i'/>"                    // id beats class: yellow
      "<rect width='1' height='1' class='a' style='fill:#000'/>"         // style attribute beats the sheet
      "<rect width='1' height='1' class='imp' style='fill:#000'/>"       // !important beats the style attribute
      "<g color='#0000ff' fill='red'><rect width='1' height='1' class='k' style='fill:currentColor'/>"
      "<rect width='1' height='1' style='fill:inherit;stroke:currentColor' class='q'/></g>"));
  ASSERT_EQ(s->count(), 7u);
  const double rows[][3] = {{0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 0, 0}, {0, 128.0 / 255, 128.0 / 255}, {0, 0, 1}, {1, 0, 0}};
  for (size_t i = 0; i < 5; ++i) expectColor(colorOf(entryAt(s, i), "fill"), rows[i][0], rows[i][1], rows[i][2], 1);
  // currentColor takes the inherited colour; the child combinator matched the rect in the group.
  expectColor(colorOf(entryAt(s, 5), "fill"), 0, 0, 1, 1);
  expectColor(colorOf(entryAt(s, 5), "stroke"), 1, 0, 0, 1);
  EXPECT_EQ(entryAt(s, 5).memberForKey("strokefill"), Value(2));
  expectColor(colorOf(entryAt(s, 6), "fill"), 1, 0, 0, 1);
  expectColor(colorOf(entryAt(s, 6), "stroke"), 0, 0, 1, 1);
}

TEST(SVGDocument, OpacityVisibilityAndDisplay) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<g opacity='0.5'><rect width='1' height='1' fill='red' fill-opacity='50%' "
                               "stroke='blue' stroke-opacity='0.5' opacity='0.5'/></g>"
                               "<g display='none'><rect width='1' height='1' display='inline'/></g>"
                               "<g visibility='hidden'><rect width='1' height='1'/>"
                               "<rect width='2' height='2' visibility='visible' fill='none' stroke='none'/></g>"));
  ASSERT_EQ(s->count(), 2u);
  expectColor(colorOf(entryAt(s, 0), "fill"), 1, 0, 0, 0.125);
  expectColor(colorOf(entryAt(s, 0), "stroke"), 0, 0, 1, 0.125);
  // Painted with nothing: an entry that draws nothing (clear stroke, no width).
  EXPECT_EQ(entryAt(s, 1).memberForKey("strokefill"), Value(0));
  EXPECT_EQ(colorOf(entryAt(s, 1), "stroke").alpha, 0);
  EXPECT_EQ(pathAt(s, 1)->lineWidth(), 0);
}

TEST(SVGDocument, StrokeWidthScalesWithTheTransform) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<g transform='scale(2 8)'><line x2='1' stroke='red' stroke-width='3' "
                               "stroke-dasharray='1 2'/></g><line x2='1' stroke='red' stroke-width='10%'/>"));
  ASSERT_EQ(s->count(), 2u);
  EXPECT_DOUBLE_EQ(pathAt(s, 0)->lineWidth(), 12);  // geometric mean of 2 and 8
  EXPECT_EQ(pathAt(s, 0)->lineDash(), (std::vector<double>{4, 8}));
  EXPECT_DOUBLE_EQ(pathAt(s, 1)->lineWidth(), 10);  // of the 100 x 100 viewport's diagonal measure
}

TEST(SVGDocument, ViewBoxUnitsAndAspectRatio) {
  ScratchFolder folder;
  // A 20 x 10 box into 1 in x 48 px: meet scales by 4.8 and centres across.
  V2DBezierPathStructureWithSVGPatch patch;
  patch.inputFile.setStringValue(folder.write("v.svg", "<svg width='1in' height='48' viewBox='0 0 20 10'>"
                                                       "<rect width='20' height='10'/></svg>").string());
  patch.execute(nullptr, 0, {});
  auto s = patch.outputBezierPaths.structureValue();
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(patch.reader.documentSize, (Size{96, 48}));
  const Rect b = pathAt(s, 0)->bounds();
  EXPECT_DOUBLE_EQ(b.size.width, 96);
  EXPECT_DOUBLE_EQ(b.size.height, 48);
  struct Row {
    const char* aspect;
    double x0, width, height;
  };
  const Row rows[] = {{"xMinYMin meet", 0, 96, 48}, {"none", 0, 96, 96}, {"xMaxYMax slice", -96, 192, 96}};
  for (const Row& row : rows) {
    auto r = readSVG(folder, std::string("<svg width='96' height='96' viewBox='0 0 20 10' preserveAspectRatio='") +
                                 row.aspect + "'><rect width='20' height='10'/></svg>");
    ASSERT_EQ(r->count(), 1u);
    const Rect rb = pathAt(r, 0)->bounds();
    EXPECT_DOUBLE_EQ(rb.origin.x, row.x0) << row.aspect;
    EXPECT_DOUBLE_EQ(rb.size.width, row.width) << row.aspect;
    EXPECT_DOUBLE_EQ(rb.size.height, row.height) << row.aspect;
  }
  CapturedLog log;
  auto zero = readSVG(folder, "<svg viewBox='0 0 0 10'><rect width='1' height='1'/></svg>");
  EXPECT_EQ(zero->count(), 0u);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find("viewBox \"0 0 0 10\" has no positive size"), std::string::npos) << log.lines[0];
}

TEST(SVGDocument, UseSymbolAndDefs) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<defs><rect id='r' width='2' height='1' fill='inherit'/></defs>"
                               "<symbol id='s' viewBox='0 0 1 1'><circle cx='0.5' cy='0.5' r='0.5'/></symbol>"
                               "<use href='#r' x='10' y='5' fill='blue' transform='scale(2)'/>"
                               "<use xlink:href='#s' x='1' width='4' height='4'/><use href='#later'/>"
                               "<rect id='later' x='30' width='1' height='1'/><use href='#missing'/>"));
  ASSERT_EQ(s->count(), 4u);
  // Drawn as if in the "use": its paint inherited, moved by x and y, then its transform.
  const Rect r = pathAt(s, 0)->bounds();
  EXPECT_EQ(r.origin.x, 20);
  EXPECT_EQ(r.size.width, 4);
  expectColor(colorOf(entryAt(s, 0), "fill"), 0, 0, 1, 1);
  const Rect circle = pathAt(s, 1)->bounds();
  EXPECT_NEAR(circle.origin.x, 1, 1e-12);
  EXPECT_NEAR(circle.size.width, 4, 1e-12);
  EXPECT_EQ(pathAt(s, 2)->bounds().origin.x, 30);  // a forward reference
}

TEST(SVGDocument, UseCyclesAndExponentialReuseAreBounded) {
  ScratchFolder folder;
  CapturedLog log;
  auto cycle = readSVG(folder, svg("<g id='a'><rect width='1' height='1'/><use href='#b'/></g>"
                                   "<g id='b'><use href='#a'/></g><use id='self' href='#self'/>"));
  EXPECT_EQ(cycle->count(), 2u);  // a's rect, and again through b's use of a
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines[0].find("refers to itself"), std::string::npos) << log.lines[0];
  // Ten levels of ten uses each would be 10^10 rectangles.
  std::string doc = "<defs><rect id='l0' width='1' height='1'/>";
  for (int i = 1; i <= 10; ++i) {
    doc += "<g id='l" + std::to_string(i) + "'>";
    for (int j = 0; j < 10; ++j) doc += "<use href='#l" + std::to_string(i - 1) + "'/>";
    doc += "</g>";
  }
  doc += "</defs><use href='#l10'/>";
  log.lines.clear();
  const auto start = std::chrono::steady_clock::now();
  auto many = readSVG(folder, svg(doc));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30)
      << "bounded time, not a speed target";
  EXPECT_LE(many->count(), size_t(1) << 17);
  EXPECT_GT(many->count(), 1000u);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_NE(log.lines.back().find("131 072"), std::string::npos);
}

TEST(SVGDocument, GradientPaintIsItsFirstStopColour) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<linearGradient id='base'><stop offset='0' style='stop-color:#00f;stop-opacity:.5'/>"
                               "<stop offset='1' stop-color='red'/></linearGradient>"
                               "<linearGradient id='g' xlink:href='#base'/>"
                               "<rect width='1' height='1' fill='url(#g)'/><rect width='1' height='1' fill='url(#none) lime'/>"
                               "<rect width='1' height='1' fill='url(#none)' stroke='red'/>"));
  ASSERT_EQ(s->count(), 3u);
  expectColor(colorOf(entryAt(s, 0), "fill"), 0, 0, 1, 0.5);
  expectColor(colorOf(entryAt(s, 1), "fill"), 0, 1, 0, 1);
  EXPECT_EQ(entryAt(s, 2).memberForKey("strokefill"), Value(0));
}

// Gradients and clip paths become members the renderer draws with Cairo's own gradients and clips.
TEST(SVGDocument, GradientsAndClipPathsAreDrawn) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<linearGradient id='lr' x2='1' y2='0' spreadMethod='reflect'>"
                               "<stop offset='0' stop-color='red'/><stop offset='120%' stop-color='blue'/></linearGradient>"
                               "<clipPath id='c'><rect width='20' height='5'/></clipPath>"
                               "<rect width='20' height='10' fill='url(#lr)' fill-opacity='0.5' clip-path='url(#c)'/>"));
  ASSERT_EQ(s->count(), 1u);
  const Structure& e = entryAt(s, 0);
  const StructureRef g = e.memberForKey("fill-gradient").structure();
  ASSERT_TRUE(g);
  EXPECT_EQ(*g->memberForKey("kind").string(), "linear");
  EXPECT_EQ(*g->memberForKey("spread").string(), "reflect");
  // Bounding-box units, then the flip within H = 10: (u, v) -> (20 u, 10 - 10 v).
  const StructureRef m = g->memberForKey("matrix").structure();
  ASSERT_TRUE(m);
  std::vector<double> matrix;
  for (const auto& v : *m) matrix.push_back(v.value.doubleValue());
  EXPECT_EQ(matrix, (std::vector<double>{20, 0, 0, -10, 0, 10}));
  const StructureRef stops = g->memberForKey("stops").structure();
  ASSERT_EQ(stops->count(), 2u);
  EXPECT_EQ(stops->memberAtIndex(1).structure()->memberForKey("offset").doubleValue(), 1);  // clamped
  expectColor(*stops->memberAtIndex(1).structure()->memberForKey("color").color(), 0, 0, 1, 0.5);
  expectColor(colorOf(e, "fill"), 1, 0, 0, 0.5);  // the first stop, for consumers without gradients
  EXPECT_EQ(e.memberForKey("clip").objectAs<BezierPath>()->bounds(), (Rect{{0, 5}, {20, 5}}));

  V2DImageWithBezierPathStructurePatch render;
  render.inputBezierPaths.setStructureValue(s);
  render.execute(nullptr, 0, {});
  auto image = render.outputImage.imageValue();
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 20);
  const uint8_t* left = image->pixel(0, 0);
  const uint8_t* right = image->pixel(19, 0);
  const uint8_t* clipped = image->pixel(10, 7);
  EXPECT_GT(left[0], 100);   // red, half covered
  EXPECT_LT(left[2], 20);
  EXPECT_LT(right[0], 20);   // blue
  EXPECT_GT(right[2], 100);
  EXPECT_EQ(clipped[3], 0);  // below the clip: nothing
}

TEST(SVGDocument, MarkersAreEntriesAtTheVertices) {
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<marker id='m' refX='1' refY='1' orient='auto' markerUnits='userSpaceOnUse'>"
                               "<rect width='2' height='2' fill='red'/></marker>"
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
    expectColor(colorOf(entryAt(s, i + 1), "fill"), 1, 0, 0, 1);
  }
}

TEST(SVGDocument, FontPropertiesReachTextFromTheRoot) {
  ScratchFolder folder;
  auto s = readSVG(folder, "<svg font-family='DejaVu Sans' font-size='20' font-weight='bold'><g text-anchor='end'>"
                           "<text x='100' y='50'>Hi</text></g></svg>");
  ASSERT_EQ(s->count(), 1u);
  auto font = Font::fontWithName("DejaVuSans-Bold", 20);
  ASSERT_NE(font, nullptr);
  auto reference = svgTextPath("Hi", {100, 50}, font.get(), "end");
  EXPECT_EQ(pathAt(s, 0)->elementCount(), reference->elementCount());
  EXPECT_NEAR(pathAt(s, 0)->bounds().size.width, reference->bounds().size.width, 1e-9);
  EXPECT_NEAR(pathAt(s, 0)->bounds().origin.x, reference->bounds().origin.x, 1e-9);
  EXPECT_EQ(entryAt(s, 0).memberForKey("strokefill"), Value(1));
}

// --- file names ----------------------------------------------------------------------------

TEST(SVGFileLocation, RelativeNamesResolveAgainstTheCompositionFolder) {
  EXPECT_EQ(svgFileLocation("art/a.svg", "file:///home/me/My%20Work/comp.json"), "/home/me/My Work/art/a.svg");
  EXPECT_EQ(svgFileLocation("a.svg", "file://localhost/srv/c.json"), "/srv/a.svg");
  EXPECT_EQ(svgFileLocation("a.svg", "file:///c.json"), "/a.svg");
  EXPECT_EQ(svgFileLocation("/abs/a.svg", "file:///home/me/comp.json"), "/abs/a.svg");
  // No composition location (or not a file URL): the working directory resolves it.
  EXPECT_EQ(svgFileLocation("a.svg", std::nullopt), "a.svg");
  EXPECT_EQ(svgFileLocation("a.svg", "http://example.invalid/c.json"), "a.svg");
  // %00 is not decoded: it would cut the name short.
  EXPECT_EQ(svgFileLocation("a.svg", "file:///x%00y/c.json"), "/x%00y/a.svg");
}

TEST(SVGFileLocation, TildeExpandsToTheHomeFolder) {
  const char* old = std::getenv("HOME");
  const std::string saved = old ? old : "";
  setenv("HOME", "/home/tester", 1);
  EXPECT_EQ(svgFileLocation("~/d/a.svg", "file:///elsewhere/c.json"), "/home/tester/d/a.svg");
  EXPECT_EQ(svgFileLocation("~", std::nullopt), "/home/tester");
  EXPECT_EQ(svgFileLocation("~root/a.svg", std::nullopt), "/root/a.svg");
  EXPECT_EQ(svgFileLocation("~no-such-user-here/a.svg", std::nullopt), "~no-such-user-here/a.svg");
  if (old) setenv("HOME", saved.c_str(), 1);
  else unsetenv("HOME");
}

TEST(SVGFileLocation, PatchUsesTheCompositionURLFromItsOptions) {
  ScratchFolder folder;
  folder.write("with space.svg", svg("<rect width=\"3\" height=\"3\"/>"));
  V2DBezierPathStructureWithSVGPatch patch;
  std::string url = "file://";
  for (char c : folder.path().string()) url += c == ' ' ? std::string("%20") : std::string(1, c);
  url += "/comp%2Ejson";
  patch.userInfo().setMember(
      Value(std::make_shared<const Structure>(Structure::withMembersAndKeys({{"compositionURL", url}}))), ".options");
  patch.inputFile.setStringValue("with space.svg");
  patch.execute(nullptr, 0, {});
  ASSERT_TRUE(patch.outputBezierPaths.structureValue());
  EXPECT_EQ(patch.outputBezierPaths.structureValue()->count(), 1u);
}

TEST(SVGFileLocation, EmptyNameGivesNothing) {
  V2DBezierPathStructureWithSVGPatch patch;
  patch.execute(nullptr, 0, {});
  EXPECT_TRUE(patch.outputBezierPaths.value().isNothing());
}

// --- numbers under a comma-decimal locale ----------------------------------------------------

TEST(SVGDocument, NumbersReadTheSameUnderACommaDecimalLocale) {
  std::string previous = std::setlocale(LC_ALL, nullptr);
  const char* german = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
    if (std::setlocale(LC_ALL, name)) {
      german = name;
      break;
    }
  if (german) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    EXPECT_STREQ(buf, "1,5") << "the locale " << german << " writes a decimal comma";
  }
  ScratchFolder folder;
  auto s = readSVG(folder, svg("<g transform=\"scale(1.5)\"><rect x=\"0.5\" width=\"2.5\" height=\"1.5\" "
                               "stroke-width=\"0.25\" fill=\"rgb(127.5,0,0)\" fill-opacity=\"0.5\"/></g>"));
  std::setlocale(LC_ALL, previous.c_str());
  ASSERT_EQ(s->count(), 1u);
  const Rect b = pathAt(s, 0)->bounds();
  EXPECT_EQ(b.origin.x, 0.75);
  EXPECT_EQ(b.size.width, 3.75);
  EXPECT_EQ(b.size.height, 2.25);
  EXPECT_EQ(pathAt(s, 0)->lineWidth(), 0.375);  // scaled with the group
  expectColor(colorOf(entryAt(s, 0), "fill"), 0.5, 0, 0, 0.5);
}

// --- rendering what was read --------------------------------------------------------------------

TEST(SVGDocument, RendersUprightThroughTheStructureRenderer) {
  ScratchFolder folder;
  // A red band at the top of a 10 x 10 document, blue below it.
  auto s = readSVG(folder, svg("<rect width=\"10\" height=\"10\" fill=\"blue\"/>"
                               "<rect width=\"10\" height=\"3\" fill=\"red\"/>"));
  V2DImageWithBezierPathStructurePatch render;
  render.inputBezierPaths.setStructureValue(s);
  render.execute(nullptr, 0, {});
  auto image = render.outputImage.imageValue();
  ASSERT_TRUE(image);
  ASSERT_EQ(image->width(), 10);
  ASSERT_EQ(image->height(), 10);
  const uint8_t* top = image->pixel(0, 0);     // first row: the image's top
  const uint8_t* bottom = image->pixel(0, 9);  // last row
  EXPECT_EQ((std::vector<int>{top[0], top[1], top[2], top[3]}), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ((std::vector<int>{bottom[0], bottom[1], bottom[2], bottom[3]}), (std::vector<int>{0, 0, 255, 255}));
}

}  // namespace
