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

// Reads the file and answers the number of entries; the log lines go to `log`.
size_t entriesIn(const std::string& file) {
  auto s = readFile(file);
  EXPECT_TRUE(s) << "the output is an empty structure, not nothing";
  return s ? s->count() : size_t(-1);
}

// Missing, a directory, and a FIFO (which would block forever if it were opened for reading):
// an empty structure and one log line naming the file and why, however often it is executed.
TEST(SVGBadInput, FilesThatCannotBeReadGiveAnEmptyStructureAndSaySo) {
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
    V2DBezierPathStructureWithSVGPatch patch;
    patch.inputFile.setStringValue(file);
    for (int frame = 0; frame < 3; ++frame) {
      EXPECT_TRUE(patch.execute(nullptr, frame, {}));
      ASSERT_TRUE(patch.outputBezierPaths.structureValue());
      EXPECT_EQ(patch.outputBezierPaths.structureValue()->count(), 0u);
    }
    ASSERT_EQ(log.lines.size(), 1u) << file;
    EXPECT_EQ(log.lines[0], "[V2DBezierPathStructureWithSVGPatch execute:time:arguments:]  inputFile: cannot read \"" + file +
                                "\": " + why + "; the output is an empty structure. A relative name is found in the "
                                "composition's folder.");
  }
}

// Everything read before the error is dropped; the log line is expat's message.
TEST(SVGBadInput, MalformedXmlGivesAnEmptyStructureAndOneLogLine) {
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"", "no element found at line 1, column 1"},
      {"<svg>\n<rect width=\"1\" height=\"1\"/>\n<g></svg>", "mismatched tag at line 3, column 6"},
      {"<svg><rect width=\"1\" height=\"1\"/><path d=\"M0 0 L", "unclosed token at line 1, column 34"},
      {"<svg><text>caf\xe9 \xff</text></svg>", "not well-formed (invalid token) at line 1, column 15"},
  };
  ScratchFolder folder;
  for (const auto& [doc, message] : rows) {
    CapturedLog log;
    const std::string file = folder.write("bad.svg", doc).string();
    EXPECT_EQ(entriesIn(file), 0u) << doc;
    ASSERT_EQ(log.lines.size(), 1u) << doc;
    EXPECT_EQ(log.lines[0], kPrefix + message + " of " + file + "'");
  }
}

TEST(SVGBadInput, BinaryGarbage) {
  ScratchFolder folder;
  std::string junk;
  uint32_t x = 12345;
  for (int i = 0; i < 100000; ++i) {
    x = x * 1103515245 + 12345;
    junk += char(x >> 24);
  }
  CapturedLog log;
  EXPECT_EQ(entriesIn(folder.write("junk.svg", "<svg>" + junk).string()), 0u);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind(kPrefix, 0), 0u);
}

TEST(SVGBadInput, DeclaredLatin1IsConverted) {
  ScratchFolder folder;
  CapturedLog log;
  const std::string doc = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><svg><text>caf\xe9</text></svg>";
  EXPECT_EQ(entriesIn(folder.write("latin1.svg", doc).string()), 1u);
  EXPECT_TRUE(log.lines.empty());
}

TEST(SVGBadInput, OverflowingNumbersAreReadAndNotDrawnAsGarbage) {
  ScratchFolder folder;
  CapturedLog log;
  auto s = readSVG(folder, "<svg><rect width=\"1e999\" height=\"99999999999999999999\"/>"
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
  ScratchFolder folder;
  CapturedLog log;
  auto s = readSVG(folder, "<svg><path d='M0 0 L 5 5 L 7'/><path d='M 1 1 x'/><path d='M0 0 h 3'/></svg>");
  ASSERT_EQ(s->count(), 3u);
  EXPECT_EQ(pathAt(s, 0)->elementCount(), 3u);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_NE(log.lines[0].find(": path data has an error at byte 12 of \"M0 0 L 5 5 L 7\""), std::string::npos)
      << log.lines[0];
}

TEST(SVGBadInput, TenMegabytesOfPathData) {
  ScratchFolder folder;
  std::string d = "M0 0";
  while (d.size() < 10'000'000) d += " l1 0.5 0.25-1";
  const auto start = std::chrono::steady_clock::now();
  auto s = readSVG(folder, "<svg><path d=\"" + d + "\"/></svg>");
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(pathAt(s, 0)->elementCount(), 2 + (d.size() - 4) / 14 * 2);
  EXPECT_EQ(pathAt(s, 0)->currentPoint().x, 1.25 * double((d.size() - 4) / 14));
  EXPECT_LT(seconds, 60) << "bounded time, not a speed target";
}

// --- safety ---------------------------------------------------------------------------------

TEST(SVGSafety, ExternalEntitiesAndDtdAreNeverLoaded) {
  ScratchFolder folder;
  folder.write("inner.xml", "<rect width=\"7\" height=\"7\"/>");
  folder.write("outer.dtd", "<!ENTITY inner SYSTEM \"inner.xml\"><!ENTITY % p SYSTEM \"inner.xml\">");
  const std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE svg SYSTEM \"" + (folder.path() / "outer.dtd").string() +
                          "\" [\n<!ENTITY ext SYSTEM \"" + (folder.path() / "inner.xml").string() +
                          "\">\n]>\n<svg>&ext;<circle r=\"1\"/></svg>";
  CapturedLog log;
  auto s = readSVG(folder, doc);
  ASSERT_EQ(s->count(), 1u);  // the circle alone: nothing from inner.xml
  EXPECT_EQ(pathAt(s, 0)->elementCount(), 5u);
  EXPECT_TRUE(log.lines.empty());
}

TEST(SVGSafety, InternalEntitiesExpand) {
  ScratchFolder folder;
  auto s = readSVG(folder, "<!DOCTYPE svg [<!ENTITY w \"12\">]><svg><rect width=\"&w;\" height=\"1\"/></svg>");
  ASSERT_EQ(s->count(), 1u);
  EXPECT_EQ(pathAt(s, 0)->bounds().size.width, 12);
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
  EXPECT_EQ(entriesIn(folder.write("lol.svg", doc).string()), 0u);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind(kPrefix + "limit on input amplification factor (from DTD and entities) breached", 0), 0u)
      << log.lines[0];
  EXPECT_LT(seconds, 10) << "bounded time, not a speed target";
}

TEST(SVGSafety, HundredThousandNestedGroupsDoNotOverflowTheStack) {
  constexpr int kDepth = 100000;
  std::string doc = "<svg>";
  doc.reserve(kDepth * 40);
  for (int i = 0; i < kDepth; ++i) doc += "<g transform=\"translate(1,0)\" fill=\"red\">";
  doc += "<rect width=\"1\" height=\"1\"/>";
  for (int i = 0; i < kDepth; ++i) doc += "</g>";
  doc += "<rect width=\"1\" height=\"1\"/></svg>";
  ScratchFolder folder;
  CapturedLog log;
  auto s = readSVG(folder, doc);
  ASSERT_EQ(s->count(), 2u);
  EXPECT_EQ(pathAt(s, 0)->bounds(), (Rect{{kDepth, 0}, {1, 1}}));
  EXPECT_EQ(entryAt(s, 0).memberForKey("strokefill"), Value(1));
  expectColor(colorOf(entryAt(s, 0), "fill"), 1, 0, 0, 1);
  EXPECT_EQ(pathAt(s, 1)->bounds(), (Rect{{0, 0}, {1, 1}}));
  EXPECT_EQ(entryAt(s, 1).memberForKey("strokefill"), Value(1));
  EXPECT_TRUE(log.lines.empty());
}

TEST(SVGSafety, ManyShapesInDeepGroupsReadInLinearTime) {
  // 20 000 levels, each holding a shape: every entry is finished where it is read.
  constexpr int kDepth = 20000;
  std::string doc = "<svg>";
  for (int i = 0; i < kDepth; ++i) doc += "<g stroke=\"blue\"><line x2=\"1\"/>";
  for (int i = 0; i < kDepth; ++i) doc += "</g>";
  doc += "</svg>";
  ScratchFolder folder;
  const auto start = std::chrono::steady_clock::now();
  auto s = readSVG(folder, doc);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(s->count(), size_t(kDepth));
  expectColor(colorOf(entryAt(s, kDepth - 1), "stroke"), 0, 0, 1, 1);
  EXPECT_LT(seconds, 30) << "bounded time, not a speed target";
}

}  // namespace
