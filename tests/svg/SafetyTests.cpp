// Files that are missing, unreadable, malformed, hostile or huge: an empty structure (with the
// log line where the XML is malformed), in bounded time, reading nothing but the file.
#include <sys/stat.h>

#include <chrono>
#include <cmath>

#include "tests/svg/SVGTestSupport.h"

using namespace vellum;
using namespace vellum::svgtest;

namespace {

const std::string kPrefix = "[V2DBezierPathStructureWithSVGPatch parser:parseErrorOccurred:]  parseError = '";

// Missing, a directory, and a FIFO (which would block forever if it were opened for reading):
// nothing read, and one log line naming the file and why, however often it is read.
TEST(SVGBadInput, FilesThatCannotBeReadGiveNothingAndSaySo) {
  ScratchFolder folder;
  const auto fifo = folder.path() / "pipe.svg";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string missing = (folder.path() / "nothing-here.svg").string();
  const std::vector<std::pair<std::string, std::string>> rows = {
      {missing, "No such file or directory"},
      {folder.path().string(), "it is a directory"},
      {fifo.string(), "it is not a regular file (a pipe or a device is never read)"},
  };
  for (const auto& [file, why] : rows) {
    CapturedLog log;
    SVGReader reader;
    for (int frame = 0; frame < 3; ++frame) {
      EXPECT_FALSE(reader.read(file));
      EXPECT_TRUE(reader.allBezierPaths.empty());
    }
    ASSERT_EQ(log.lines.size(), 1u) << file;
    EXPECT_EQ(log.lines[0], "[V2DBezierPathStructureWithSVGPatch execute:time:arguments:]  inputFile: cannot read \"" + file +
                                "\": " + why + "; the output is an empty structure. A relative name is found in the "
                                "composition's folder.");
  }
}

// Everything read before the error is dropped; the log line is expat's message (for binary
// garbage, whatever expat makes of it).
TEST(SVGBadInput, MalformedXmlGivesAnEmptyStructureAndOneLogLine) {
  std::string junk = "<svg>";
  for (uint32_t i = 0, x = 12345; i < 100000; ++i) junk += char((x = x * 1103515245 + 12345) >> 24);
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"", "no element found at line 1, column 1"},
      {"<svg>\n<rect width=\"1\" height=\"1\"/>\n<g></svg>", "mismatched tag at line 3, column 6"},
      {"<svg><rect width=\"1\" height=\"1\"/><path d=\"M0 0 L", "unclosed token at line 1, column 34"},
      {"<svg><text>caf\xe9 \xff</text></svg>", "not well-formed (invalid token) at line 1, column 15"},
      // Declared Latin-1 is converted: not an error at all.
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><svg><text>caf\xe9</text></svg>", "-"},
      {junk, ""},
  };
  ScratchFolder folder;
  for (const auto& [doc, message] : rows) {
    CapturedLog log;
    const std::string file = folder.write("bad.svg", doc).string();
    EXPECT_EQ(readFile(file)->count(), message == "-" ? 1u : 0u) << doc.substr(0, 40);
    ASSERT_EQ(log.lines.size(), message == "-" ? 0u : 1u) << doc.substr(0, 40);
    if (message == "-") continue;
    if (message.empty()) EXPECT_EQ(log.lines[0].rfind(kPrefix, 0), 0u) << log.lines[0];
    else EXPECT_EQ(log.lines[0], kPrefix + message + " of " + file + "'");
  }
}

TEST(SVGBadInput, OverflowingNumbersAreReadAndNotDrawnAsGarbage) {
  CapturedLog log;
  auto s = readSVG("<svg><rect width=\"1e999\" height=\"99999999999999999999\"/>"
                   "<path d=\"M 1e999 5 L 99999999999999999999 3\"/><rect width=\"4\" height=\"2\"/></svg>");
  ASSERT_EQ(s->count(), 3u);
  // Infinite coordinates keep their entries but no part of the bounds: H = 2 from the last.
  EXPECT_EQ(pathAt(s, 0)->associatedPoints(1)[0].x, INFINITY);
  ASSERT_EQ(pathAt(s, 1)->elementCount(), 3u);
  EXPECT_EQ(pathAt(s, 1)->associatedPoints(1)[0].x, INFINITY);
  EXPECT_EQ(pathAt(s, 1)->associatedPoints(2)[0], (Point{1e20, -1}));
  EXPECT_EQ(pathAt(s, 2)->bounds(), (Rect{{0, 0}, {4, 2}}));
  EXPECT_TRUE(log.lines.empty());
}

// Path data in error keeps what came before the error, with one log line for the file.
TEST(SVGBadInput, PathDataInErrorIsLoggedOnce) {
  CapturedLog log;
  auto s = readSVG("<svg><path d='M0 0 L 5 5 L 7'/><path d='M 1 1 x'/><path d='M0 0 h 3'/></svg>");
  ASSERT_EQ(s->count(), 3u);
  EXPECT_EQ(pathAt(s, 0)->elementCount(), 3u);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find(": path data has an error at byte 12 of \"M0 0 L 5 5 L 7\""), std::string::npos)
      << log.lines[0];
}

TEST(SVGBadInput, TenMegabytesOfPathData) {
  std::string d = "M0 0";
  while (d.size() < 10'000'000) d += " l1 0.5 0.25-1";
  const auto start = std::chrono::steady_clock::now();
  auto s = readSVG("<svg><path d=\"" + d + "\"/></svg>");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(pathAt(s, 0)->elementCount(), 2 + (d.size() - 4) / 14 * 2);
  EXPECT_EQ(pathAt(s, 0)->currentPoint().x, 1.25 * double((d.size() - 4) / 14));
  EXPECT_LT(seconds, 60) << "bounded time, not a speed target";
}

// --- safety ---------------------------------------------------------------------------------

// Internal entities expand; external ones and the DTD are never loaded.
TEST(SVGSafety, ExternalEntitiesAndDtdAreNeverLoaded) {
  ScratchFolder folder;
  folder.write("inner.xml", "<rect width=\"7\" height=\"7\"/>");
  folder.write("outer.dtd", "<!ENTITY inner SYSTEM \"inner.xml\"><!ENTITY % p SYSTEM \"inner.xml\">");
  const std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE svg SYSTEM \"" + (folder.path() / "outer.dtd").string() +
                          "\" [\n<!ENTITY ext SYSTEM \"" + (folder.path() / "inner.xml").string() +
                          "\">\n<!ENTITY w \"12\">]>\n<svg>&ext;<rect width=\"&w;\" height=\"1\"/></svg>";
  CapturedLog log;
  auto s = readFile(folder.write("drawing.svg", doc).string());
  ASSERT_EQ(s->count(), 1u);  // the rectangle alone: nothing from inner.xml
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{0, 0}, {12, 1}}));
  EXPECT_TRUE(log.lines.empty());
}

TEST(SVGSafety, BillionLaughsIsRefusedQuickly) {
  std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE svg [\n<!ENTITY l0 \"ha\">\n";
  for (int i = 1; i <= 10; ++i) {
    doc += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) doc += "&l" + std::to_string(i - 1) + ";";
    doc += "\">\n";
  }
  doc += "]>\n<svg><text>&l10;</text></svg>";
  ScratchFolder folder;
  CapturedLog log;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(readFile(folder.write("lol.svg", doc).string())->count(), 0u);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind(kPrefix + "limit on input amplification factor (from DTD and entities) breached", 0), 0u)
      << log.lines[0];
  EXPECT_LT(seconds, 10) << "bounded time, not a speed target";
}

// 100 000 nested groups do not overflow the stack; 20 000 levels each holding a shape read in
// linear time, every entry finished where it is read.
TEST(SVGSafety, DeeplyNestedGroups) {
  constexpr int kDepth = 100000, kShapes = 20000;
  std::string deep = "<svg>", shapes = "<svg>";
  for (int i = 0; i < kDepth; ++i) deep += "<g transform=\"translate(1,0)\" fill=\"red\">";
  deep += "<rect width=\"1\" height=\"1\"/>";
  for (int i = 0; i < kDepth; ++i) deep += "</g>";
  for (int i = 0; i < kShapes; ++i) shapes += "<g stroke=\"blue\"><line x2=\"1\"/>";
  for (int i = 0; i < kShapes; ++i) shapes += "</g>";
  CapturedLog log;
  auto s = readSVG(deep + "<rect width=\"1\" height=\"1\"/></svg>");
  ASSERT_EQ(s->count(), 2u);
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{kDepth, 0}, {1, 1}}));
  EXPECT_EQ(colorOf(entryAt(s, 0), "fill"), (Color{1, 0, 0, 1}));
  EXPECT_EQ(pathAt(s, 1)->bounds(), (Rect{{0, 0}, {1, 1}}));
  EXPECT_EQ(colorOf(entryAt(s, 1), "fill"), (Color{0, 0, 0, 1}));
  EXPECT_TRUE(log.lines.empty());
  const auto start = std::chrono::steady_clock::now();
  s = readSVG(shapes + "</svg>");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 30)
      << "bounded time, not a speed target";
  ASSERT_EQ(s->count(), size_t(kShapes));
  EXPECT_EQ(colorOf(entryAt(s, kShapes - 1), "stroke"), (Color{0, 0, 1, 1}));
}

}  // namespace
