// Whole documents through "Vellum Vector With SVG": vocabulary, groups, inheritance, order,
// the flip, file names, and the log line for malformed XML.
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
  EXPECT_EQ(e.memberForKey("strokefill"), Value(0));
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
  EXPECT_EQ(entryAt(s, 2).memberForKey("strokefill"), Value(0));
  EXPECT_EQ(pathAt(s, 2)->lineWidth(), 1);
}

TEST(SVGDocument, SvgElementAttributesDoNotInherit) {
  ScratchFolder folder;
  auto s = readSVG(folder, "<svg fill=\"red\" transform=\"scale(5)\"><rect width=\"2\" height=\"2\"/></svg>");
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(entryAt(s, 0).memberForKey("strokefill"), Value(0));
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

TEST(SVGDocument, ShapesInsideOtherElementsAreDrawnAndPrefixedNamesAreNot) {
  ScratchFolder folder;
  auto s = readSVG(folder, "<svg xmlns:svg=\"http://www.w3.org/2000/svg\"><defs><rect width=\"1\" height=\"1\"/></defs>"
                           "<symbol><circle r=\"1\"/></symbol><svg:rect width=\"5\" height=\"5\"/><Rect width=\"5\"/>"
                           "<foo><polygon points=\"0,0 1,0 1,1\"/></foo></svg>");
  ASSERT_EQ(s->count(), 3u);
  EXPECT_EQ(pathAt(s, 0)->elementCount(), 5u);  // rect
  EXPECT_EQ(pathAt(s, 1)->elementCount(), 5u);  // circle: move and four curves
  EXPECT_EQ(pathAt(s, 1)->elementAtIndex(1), K::CurveTo);
  EXPECT_EQ(pathAt(s, 2)->elementCount(), 4u);  // polygon
}

TEST(SVGDocument, TextCharacterDataSplitOverSeveralCallsIsJoined) {
  V2DBezierPathStructureWithSVGPatch patch;
  ScratchFolder folder;
  const auto file = folder.write("t.svg", svg("<text x=\"0\" y=\"20\" font-family=\"DejaVu Sans\" font-size=\"20\">"
                                              "Hello</text>"));
  auto whole = readFile(file.string());
  ASSERT_EQ(whole->count(), 1u);
  // The same document delivered event by event, the characters in three pieces.
  patch.didStartElement("svg", SVGAttributeList{});
  patch.didStartElement("text", SVGAttributeList{{"x", "0"}, {"y", "20"}, {"font-family", "DejaVu Sans"},
                                                 {"font-size", "20"}});
  patch.foundCharacters("He");
  patch.foundCharacters("l");
  patch.foundCharacters("lo");
  patch.didEndElement("text");
  patch.didEndElement("svg");
  ASSERT_EQ(patch.allBezierPaths.size(), 1u);
  auto pieces = patch.allBezierPaths[0].path;
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
  EXPECT_TRUE(patch.allBezierPaths.empty());  // nothing kept between executions
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
  EXPECT_EQ(pathAt(s, 0)->lineWidth(), 0.25);
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
