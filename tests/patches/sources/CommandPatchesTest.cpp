// Vector With Commands (a structure of drawing commands in, a path out) and Vector Commands
// (the way back).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "patches/sources/V2DBezierPathCommandPatches.h"
#include "tests/support/CapturedLog.h"
#include "tests/support/PathElements.h"

using namespace vellum;
using namespace vellum::testing;

namespace {

using V = std::vector<Value>;  // a command or point as a list of members

BezierPathRef runWith(V2DBezierPathWithStructurePatch& patch, const Members& commands) {
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

const std::string kPrefix = "[V2DBezierPathWithStructurePatch execute:time:arguments:]  exception = ";

}  // namespace

TEST(VectorWithCommands, WorkedCommandListsLogNothing) {
  CapturedLog log;
  V2DBezierPathWithStructurePatch patch("w");
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));  // nothing connected: an empty path
  ASSERT_TRUE(patch.outputBezierPath.bezierPathValue());
  EXPECT_TRUE(patch.outputBezierPath.bezierPathValue()->isEmpty());
  expectElements(*runWith(patch, {V{"moveto", 0, 0}, V{"lineto", 100, 0}, V{"lineto", 100, 100}, V{"close"}}),
                 {M(0, 0), L(100, 0), L(100, 100), Z()});
  // Members that are not commands, extra arguments, unknown names and text in a missing font
  // are skipped without a trace.
  expectElements(*runWith(patch, {Value(1), V{"moveto", 0, 0, 5}, V{"moveto", 2, 3}, V{"wiggle", 1},
                                  V{"text", "x", 12, "NotAFont-Regular"}, V{"lineto", 4, 5}}),
                 {M(2, 3), L(4, 5)});
  // A keyed structure of numbers, as a different patch might output.
  patch.inputStructure.setStructureValue(Structure::withMembersAndKeys({{"x", 1}, {"y", 2}}));
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(patch.outputBezierPath.bezierPathValue()->isEmpty());
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
    ASSERT_TRUE(runWith(patch, {V{"moveto", 0, 0}}));
    CapturedLog log;
    EXPECT_FALSE(runWith(patch, commands));
    EXPECT_EQ(log.lines, std::vector<std::string>{kPrefix + message});
  }
}

TEST(VectorCommands, NothingConnectedOutputsNothingAnEmptyPathAnEmptyStructure) {
  V2DBezierPathCommandsPatch patch("c");
  patch.outputCommands.setStructureValue(Structure());
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputCommands.structureValue());
  StructureRef s = commandsOf(BezierPath::bezierPath());
  ASSERT_TRUE(s);
  EXPECT_EQ(s->count(), 0u);
}

TEST(VectorCommands, WorkedPathsWithTheCurveEndPointFirst) {
  StructureRef s = commandsOf(pathOf({M(0, 0), L(100, 0), L(100, 100), Z()}));
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, Structure(V{V{"moveTo", 0.0, 0.0}, V{"lineTo", 100.0, 0.0}, V{"lineTo", 100.0, 100.0}, V{"close"}}));
  // Numbers are doubles, members unkeyed.
  EXPECT_EQ(s->memberAtIndex(1).structure()->memberAtIndex(1).kind(), Value::Kind::Double);
  EXPECT_FALSE(s->keyAtIndex(0));
  EXPECT_EQ(*commandsOf(pathOf({M(0, 0), C({0, 5}, {10, 5}, {10, 0})})),
            Structure(V{V{"moveTo", 0.0, 0.0}, V{"curveTo", 10.0, 0.0, 0.0, 5.0, 10.0, 5.0}}));
}

TEST(VectorCommands, RoundTripThroughVectorWithCommands) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({1.5, -2});
  path->curveToPoint({7, 8}, {3, 4}, {5, 6});
  path->lineToPoint({0.1, 0.7});
  path->closePath();
  path->moveToPoint({9, 9});
  path->appendBezierPathWithRoundedRect({{0, 0}, {20, 10}}, 3, 2);
  path->appendBezierPathWithArcWithCenter({5, 5}, 4, 10, 300);
  path->appendBezierPathWithOvalInRect({{0, 0}, {10, 10}});
  path->closePath();

  CapturedLog log;
  V2DBezierPathWithStructurePatch reader("w");
  reader.inputStructure.setStructureValue(commandsOf(path));
  ASSERT_TRUE(reader.execute(nullptr, 0, {}));
  BezierPathRef rebuilt = reader.outputBezierPath.bezierPathValue();
  ASSERT_TRUE(rebuilt);
  EXPECT_TRUE(rebuilt->isEqualToBezierPath(*path));
  EXPECT_TRUE(log.lines.empty());
}
