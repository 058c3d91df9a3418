// Vector With String: text outlines in an installed font.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "patches/sources/V2DBezierPathWithStringPatch.h"
#include "text/Font.h"
#include "text/TextOutlines.h"
#include "tests/support/CapturedLog.h"
#include "tests/support/Fontconfig.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

// Subpaths as lists of elements, in order.
std::vector<std::vector<El>> subpaths(const BezierPath& path) {
  std::vector<std::vector<El>> out;
  for (const El& e : elementsOf(path)) {
    if (e.kind == K::MoveTo || out.empty()) out.emplace_back();
    out.back().push_back(e);
  }
  return out;
}

// Twice the signed area of a closed polygon through a contour's on-curve points.
double signedArea(const std::vector<El>& contour) {
  std::vector<Point> pts;
  for (const El& e : contour)
    if (!e.points.empty()) pts.push_back(e.points.back());
  double a = 0;
  for (size_t i = 0; i < pts.size(); ++i) {
    const Point p = pts[i], q = pts[(i + 1) % pts.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return a;
}

}  // namespace

// The default font is missing here: the output is nothing, and the log says so once per name,
// naming an installed look-alike that the patch would find.
TEST(VectorWithString, MissingFontOutputsNothingAndIsLoggedOncePerName) {
  if (fontconfigLists(FC_POSTSCRIPT_NAME, "Georgia-Bold")) GTEST_SKIP() << "Georgia-Bold is installed here";
  CapturedLog log;
  V2DBezierPathWithStringPatch patch("s");
  EXPECT_FALSE(run(patch));
  for (const char* name : {"Georgia-Bold", "Arial", "DejaVuSans", "Arial", "Georgia-Bold"}) {
    patch.inputFontName.setStringValue(name);
    EXPECT_EQ(bool(run(patch)), name == std::string("DejaVuSans")) << name;
  }
  ASSERT_EQ(log.lines.size(), 2u);
  for (auto [line, name] : {std::pair{log.lines[0], "Georgia-Bold"}, std::pair{log.lines[1], "Arial"}}) {
    const std::string head = std::string("[V2DBezierPathWithStringPatch execute:time:arguments:]  inputFontName: no installed "
                                         "font is named \"") + name + "\", so the output is nothing. The closest installed face is \"";
    ASSERT_EQ(line.rfind(head, 0), 0u) << line;
    const std::string tail = "\"; `fc-list : postscriptname` lists every installed name.";
    ASSERT_TRUE(line.ends_with(tail)) << line;
    const std::string alike = line.substr(head.size(), line.size() - head.size() - tail.size());
    EXPECT_TRUE(Font::fontWithName(alike, 12)) << alike;
  }
}

TEST(VectorWithString, UnknownFontOutputsNothingAfterAnEarlierPath) {
  V2DBezierPathWithStringPatch patch("s");
  patch.inputFontName.setStringValue("DejaVuSans");
  ASSERT_TRUE(run(patch));
  patch.inputFontName.setStringValue("DejaVuSans-Heavy");
  EXPECT_FALSE(run(patch));
}

TEST(VectorWithString, OutputIsTheReversedOutlineFromThePosition) {
  V2DBezierPathWithStringPatch patch("s");
  patch.inputFontName.setStringValue("DejaVuSerif-Bold");
  patch.inputX.setDoubleValue(3);
  patch.inputY.setDoubleValue(-4);
  BezierPathRef out = run(patch);
  ASSERT_TRUE(out);

  FontRef font = Font::fontWithName("DejaVuSerif-Bold", 20);
  BezierPath forward;
  forward.moveToPoint({3, -4});
  appendBezierPathWithString(forward, "Goodbye World!", *font);
  EXPECT_TRUE(out->isEqualToBezierPath(*forward.bezierPathByReversingPath()));

  // Contour by contour: the same points, traversed the other way round, so every signed area
  // changes sign; the subpaths keep their order (the baseline start first, the pen move last).
  const auto in = subpaths(forward), rev = subpaths(*out);
  ASSERT_EQ(in.size(), rev.size());
  EXPECT_EQ(rev.front().front().points[0], (Point{3, -4}));
  int contours = 0;
  for (size_t i = 0; i < in.size(); ++i) {
    ASSERT_EQ(in[i].size(), rev[i].size());
    if (in[i].back().kind != K::ClosePath) continue;
    ++contours;
    const double a = signedArea(in[i]), b = signedArea(rev[i]);
    EXPECT_NE(a, 0);
    EXPECT_NEAR(a, -b, std::abs(a) * 1e-9);
    EXPECT_EQ(rev[i].back().kind, K::ClosePath);
  }
  EXPECT_GE(contours, 15);  // "Goodbye World!" has more contours than glyphs
}

TEST(VectorWithString, MovingXMovesEveryPoint) {
  V2DBezierPathWithStringPatch a("a"), b("b");
  for (auto* p : {&a, &b}) {
    p->inputFontName.setStringValue("LiberationSans-Bold");
    p->inputString.setStringValue("Move me");
  }
  b.inputX.setDoubleValue(10);
  const auto pa = elementsOf(*run(a)), pb = elementsOf(*run(b));
  ASSERT_EQ(pa.size(), pb.size());
  for (size_t i = 0; i < pa.size(); ++i)
    for (size_t j = 0; j < pa[i].points.size(); ++j) {
      EXPECT_NEAR(pb[i].points[j].x, pa[i].points[j].x + 10, 1e-9);
      EXPECT_EQ(pb[i].points[j].y, pa[i].points[j].y);
    }
}

TEST(VectorWithString, EmptyStringGivesJustTheStartPointAndEachExecutionANewPath) {
  V2DBezierPathWithStringPatch patch("s");
  patch.inputFontName.setStringValue("DejaVuSans");
  BezierPathRef first = run(patch), second = run(patch);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  EXPECT_TRUE(first->isEqualToBezierPath(*second));
  patch.inputString.setStringValue("");
  patch.inputX.setDoubleValue(7);
  ASSERT_TRUE(run(patch));
  expectElements(*run(patch), {M(7, 0)});
}

// NaN positions stay NaN; invalid UTF-8, control characters, emoji and combining marks all draw
// something or nothing, never fail.
TEST(VectorWithString, BadInputsStayBounded) {
  V2DBezierPathWithStringPatch patch("s");
  patch.inputFontName.setStringValue("DejaVuSans");
  patch.inputFontSize.setValue(Value(-3));
  patch.inputString.setStringValue(std::string("a\xff\x00\n\xF0\x9F\x98\x80q\xCC\x81", 11));
  BezierPathRef out = run(patch);
  ASSERT_TRUE(out);
  EXPECT_GT(out->elementCount(), 2u);
  patch.inputX.setDoubleValue(std::numeric_limits<double>::quiet_NaN());
  out = run(patch);
  ASSERT_TRUE(out);
  EXPECT_TRUE(std::isnan(out->associatedPoints(0)[0].x));
}
