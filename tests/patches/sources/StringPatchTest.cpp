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

// The outline reversed (the path tests check reversal itself), drawn from (inputX, inputY).
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
  EXPECT_GT(forward.elementCount(), 100u);
  EXPECT_TRUE(out->isEqualToBezierPath(*forward.bezierPathByReversingPath()));
}

TEST(VectorWithString, EachExecutionANewPathTheEmptyStringItsStartAnUnknownFontNothing) {
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
  patch.inputFontName.setStringValue("DejaVuSans-Heavy");
  EXPECT_FALSE(run(patch));
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
