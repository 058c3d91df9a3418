// The source patches: primitive shapes, paths from drawing commands and back, paths through
// point lists, and text outlines.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "patches/sources/PrimitiveShapePatches.h"
#include "patches/sources/V2DBezierPathCommandPatches.h"
#include "patches/sources/V2DBezierPathWithPointStructurePatches.h"
#include "patches/sources/V2DBezierPathWithStringPatch.h"
#include "tests/support/CapturedLog.h"
#include "tests/support/Fontconfig.h"
#include "tests/support/PatchInputs.h"
#include "tests/support/PathElements.h"
#include "text/Font.h"
#include "text/TextOutlines.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using V = std::vector<Value>;  // a command or point as a list of members

// The output of a new patch with these inputs. Every execution makes a new path with the same
// elements: a host sees a new object as news.
template <class T>
BezierPathRef runWith(const Inputs& inputs) {
  T patch("p");
  setInputs(patch, inputs);
  BezierPathRef first = run(patch);
  patch.outputBezierPath.setUpdated(false);
  BezierPathRef second = run(patch);
  EXPECT_EQ(bool(first), bool(second));
  if (!first || !second) return first;
  EXPECT_TRUE(first != second && patch.outputBezierPath.wasUpdated());
  EXPECT_EQ(first->elementCount(), second->elementCount());
  return first;
}

BezierPathRef pathFrom(V2DBezierPathWithStructurePatch& patch, const Members& commands) {
  patch.inputStructure.setStructureValue(Structure(commands.values));
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputBezierPath.bezierPathValue();
}

StructureRef commandsOf(BezierPathRef path) {
  V2DBezierPathCommandsPatch patch("c");
  patch.inputBezierPath.setBezierPathValue(std::move(path));
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputCommands.structureValue();
}

BezierPathRef lines(const Members& points, double x = 0, double y = 0, bool segments = false, bool relative = false) {
  return runWith<V2DBezierPathWithLineStructurePatch>(
      {{"inputX", x}, {"inputY", y}, {"inputLines", points.values}, {"inputType", segments}, {"inputRelative", relative}});
}

BezierPathRef curves(const Members& entries, double x = 0, double y = 0, bool relative = false) {
  return runWith<V2DBezierPathWithCurveStructurePatch>(
      {{"inputX", x}, {"inputY", y}, {"inputCurves", entries.values}, {"inputRelative", relative}});
}

const std::string kCommandsPrefix = "[V2DBezierPathWithStructurePatch execute:time:arguments:]  exception = ";

}  // namespace

// ---- Primitive shapes ---------------------------------------------------------------------------

// Every shape from its initial inputs, and inputs that change its course. The oval is the path's
// own (tests/path checks its construction), closed.
TEST(PrimitiveShapes, WorkedPaths) {
  const double k = 1 - kK, h = 10 / std::sqrt(2.0);
  auto oval = [](Rect r) {
    auto p = BezierPath::bezierPathWithOvalInRect(r);
    p->closePath();
    return elementsOf(*p);
  };
  const std::vector<std::pair<BezierPathRef, std::vector<El>>> rows = {
      {runWith<V2DBezierPathWithArcPatch>({}), {M(10, 0), C({10, 10 * kK}, {10 * kK, 10}, {0, 10})}},
      // Clockwise sweeps the other three quarters.
      {runWith<V2DBezierPathWithArcPatch>({{"inputClockwise", true}}),
       {M(10, 0), C({10, -10 * kK}, {10 * kK, -10}, {0, -10}), C({-10 * kK, -10}, {-10, -10 * kK}, {-10, 0}),
        C({-10, 10 * kK}, {-10 * kK, 10}, {0, 10})}},
      {runWith<V2DBezierPathWithArcPatch>({{"inputStartDegrees", 45}, {"inputEndDegrees", 45}}), {M(h, h)}},
      {runWith<V2DBezierPathWithCurvePatch>({}), {M(0, 0), C({2, 12}, {9, 4}, {10, 10})}},
      {runWith<V2DBezierPathWithLinePatch>({}), {M(0, 0), L(10, 10)}},
      {runWith<V2DBezierPathWithRectanglePatch>({}), {M(0, 0), L(10, 0), L(10, 10), L(0, 10), Z()}},
      {runWith<V2DBezierPathWithRectanglePatch>({{"inputWidth", 0}, {"inputHeight", 0}}), {M(0, 0), L(0, 0), L(0, 0), L(0, 0), Z()}},
      {runWith<V2DBezierPathWithRoundedRectanglePatch>({}),
       {M(1, 10), C({k, 10}, {0, 10 - k}, {0, 9}), L(0, 1), C({0, k}, {k, 0}, {1, 0}), L(9, 0),
        C({10 - k, 0}, {10, k}, {10, 1}), L(10, 9), C({10, 10 - k}, {10 - k, 10}, {9, 10}), Z()}},
      {runWith<V2DBezierPathWithOvalPatch>({}), oval({{0, 0}, {10, 10}})},
      {runWith<V2DBezierPathWithOvalPatch>({{"inputX", 2}, {"inputWidth", 0}}), oval({{2, 0}, {0, 10}})},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_TRUE(rows[i].first);
    expectElements(*rows[i].first, rows[i].second, 1e-12);
  }
}

// ---- Vector With Commands and Vector Commands -------------------------------------------------

TEST(VectorWithCommands, WorkedCommandListsLogNothing) {
  CapturedLog log;
  V2DBezierPathWithStructurePatch patch("w");
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));  // nothing connected: an empty path
  ASSERT_TRUE(patch.outputBezierPath.bezierPathValue());
  EXPECT_TRUE(patch.outputBezierPath.bezierPathValue()->isEmpty());
  // Members that are not commands, unknown names and text in a missing font are skipped without a
  // trace (the command reader's own tests have the rest).
  expectElements(*pathFrom(patch, {Value(1), V{"moveto", 2, 3}, V{"wiggle", 1}, V{"text", "x", 12, "NotAFont-Regular"},
                                  V{"lineto", 4, 5}, V{"close"}}),
                 {M(2, 3), L(4, 5), Z()});
  EXPECT_TRUE(log.lines.empty());
}

// An error is logged once per execution and the output is nothing, even when part of the path
// was built.
TEST(VectorWithCommands, AnErrorIsLoggedAndOutputsNothing) {
  const std::vector<std::pair<Members, std::string>> rows = {
      {{V{"lineto", 5, 5}}, "'No current point for line'"},
      {{V{"moveto", 0, 0}, V{"lineto", 1, 1}, V{"lineto", 2, V{}}},
       "'argument 2 of 'lineto' is not a number (structure)'"},
  };
  for (const auto& [commands, message] : rows) {
    V2DBezierPathWithStructurePatch patch("w");
    ASSERT_TRUE(pathFrom(patch, {V{"moveto", 0, 0}}));
    CapturedLog log;
    EXPECT_FALSE(pathFrom(patch, commands));
    EXPECT_EQ(log.lines, std::vector<std::string>{kCommandsPrefix + message});
  }
}

TEST(VectorCommands, NothingAnEmptyListOrThePathsCommandList) {
  V2DBezierPathCommandsPatch patch("c");
  patch.outputCommands.setStructureValue(Structure());
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputCommands.structureValue());  // nothing connected: nothing
  ASSERT_TRUE(commandsOf(BezierPath::bezierPath()));
  EXPECT_EQ(commandsOf(BezierPath::bezierPath())->count(), 0u);
  // The list itself is the path's command list (tests/path).
  EXPECT_EQ(*commandsOf(unitSquare()), unitSquare()->commandList());
}

// ---- Vector With Line Structure and Vector With Curve Structure -------------------------------

// The point lists themselves are read by the path library (tests/path): here, that the inputs
// reach it and that a path without elements is output as nothing.
TEST(VectorWithLineAndCurveStructure, InputsReachThePathAndNothingUsableOutputsNothing) {
  V2DBezierPathWithLineStructurePatch patch("l");
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputBezierPath.bezierPathValue());
  EXPECT_FALSE(lines({Value(1), V{1}}));
  EXPECT_FALSE(curves({V{1, 2}}));
  expectElements(*lines({V{1, 1}, V{2, 2}, V{3, 3}}, 5, 6, true, true), {M(5, 6), L(6, 7), M(2, 2), L(5, 5)});
  expectElements(*curves({V{10, 0, 0, 5, 10, 5}}, 1, 1, true), {M(1, 1), C({1, 6}, {11, 6}, {11, 1})});
}

// ---- Vector With String -------------------------------------------------------------------------

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
    const std::string head = std::string("[V2DBezierPathWithStringPatch execute:time:arguments:]  inputFontName: no "
                                         "installed font is named \"") + name +
                             "\", so the output is nothing. The closest installed face is \"";
    const std::string tail = "\"; `fc-list : postscriptname` lists every installed name.";
    ASSERT_TRUE(line.size() > head.size() + tail.size() && line.starts_with(head) && line.ends_with(tail)) << line;
    const std::string alike = line.substr(head.size(), line.size() - head.size() - tail.size());
    EXPECT_EQ(alike.find('"'), std::string::npos) << line;
    EXPECT_TRUE(Font::fontWithName(alike, 12)) << alike;
  }
}

// The outline reversed (the path tests check reversal itself), drawn from (inputX, inputY).
TEST(VectorWithString, OutputIsTheReversedOutlineFromThePosition) {
  BezierPathRef out = runWith<V2DBezierPathWithStringPatch>({{"inputFontName", "DejaVuSerif-Bold"}, {"inputX", 3}, {"inputY", -4}});
  ASSERT_TRUE(out);
  BezierPath forward;
  forward.moveToPoint({3, -4});
  appendBezierPathWithString(forward, "Goodbye World!", *Font::fontWithName("DejaVuSerif-Bold", 20));
  EXPECT_GT(forward.elementCount(), 100u);
  EXPECT_TRUE(out->isEqualToBezierPath(*forward.bezierPathByReversingPath()));
}

TEST(VectorWithString, TheEmptyStringGivesItsStart) {
  V2DBezierPathWithStringPatch patch("s");
  setInputs(patch, {{"inputFontName", "DejaVuSans"}, {"inputString", ""}, {"inputX", 7}});
  ASSERT_TRUE(run(patch));
  expectElements(*run(patch), {M(7, 0)});
}

// NaN positions stay NaN; invalid UTF-8, control characters, emoji and combining marks all draw
// something or nothing, never fail.
TEST(VectorWithString, BadInputsStayBounded) {
  V2DBezierPathWithStringPatch patch("s");
  setInputs(patch, {{"inputFontName", "DejaVuSans"}, {"inputFontSize", -3},
                    {"inputString", std::string("a\xff\x00\n\xF0\x9F\x98\x80q\xCC\x81", 11)}});
  BezierPathRef out = run(patch);
  ASSERT_TRUE(out);
  EXPECT_GT(out->elementCount(), 2u);
  patch.inputX.setDoubleValue(kNaN);
  out = run(patch);
  ASSERT_TRUE(out);
  EXPECT_TRUE(std::isnan(out->associatedPoints(0)[0].x));
}
