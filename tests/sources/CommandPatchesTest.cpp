#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Log.h"
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

}  // namespace

// ---- Vector With Commands -------------------------------------------------------------------

TEST(VectorWithCommands, NameAndPorts) {
  V2DBezierPathWithStructurePatch patch("w");
  ASSERT_EQ(patch.inputPorts().size(), 1u);
  EXPECT_EQ(patch.inputPorts()[0]->key(), "inputStructure");
  EXPECT_EQ(patch.outputPorts()[0]->key(), "outputBezierPath");
}

TEST(VectorWithCommands, NothingConnectedOutputsAnEmptyPath) {
  CapturedLog log;
  V2DBezierPathWithStructurePatch patch("w");
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  BezierPathRef out = patch.outputBezierPath.bezierPathValue();
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->isEmpty());
  EXPECT_TRUE(log.lines.empty());
}

TEST(VectorWithCommands, ClosedTriangle) {
  V2DBezierPathWithStructurePatch patch("w");
  BezierPathRef out =
      runWith(patch, {V{"moveto", 0, 0}, V{"lineto", 100, 0}, V{"lineto", 100, 100}, V{"close"}});
  ASSERT_TRUE(out);
  expectElements(*out, {M(0, 0), L(100, 0), L(100, 100), Z()});
}

TEST(VectorWithCommands, ErrorIsLoggedAndOutputsNothing) {
  CapturedLog log;
  V2DBezierPathWithStructurePatch patch("w");
  ASSERT_TRUE(runWith(patch, {V{"moveto", 0, 0}}));
  EXPECT_FALSE(runWith(patch, {V{"lineto", 5, 5}}));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0], "[V2DBezierPathWithStructurePatch execute:time:arguments:]  exception = 'No current point for line'");
}

TEST(VectorWithCommands, PartlyBuiltPathIsDropped) {
  CapturedLog log;
  V2DBezierPathWithStructurePatch patch("w");
  EXPECT_FALSE(runWith(patch, {V{"moveto", 0, 0}, V{"lineto", 1, 1}, V{"lineto", 2, V{}}}));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0],
            "[V2DBezierPathWithStructurePatch execute:time:arguments:]  exception = 'argument 2 of 'lineto' is not a "
            "number (structure)'");
}

TEST(VectorWithCommands, SkippedCommandsLeaveNoTrace) {
  CapturedLog log;
  V2DBezierPathWithStructurePatch patch("w");
  BezierPathRef out = runWith(patch, {Value(1), V{"moveto", 0, 0, 5}, V{"moveto", 2, 3}, V{"wiggle", 1},
                                      V{"text", "x", 12, "NotAFont-Regular"}, V{"lineto", 4, 5}});
  ASSERT_TRUE(out);
  expectElements(*out, {M(2, 3), L(4, 5)});
  EXPECT_TRUE(log.lines.empty());
}

TEST(VectorWithCommands, AStructureOfTheWrongShapeIsHarmless) {
  CapturedLog log;
  V2DBezierPathWithStructurePatch patch("w");
  // A keyed structure of numbers, as a different patch might output.
  patch.inputStructure.setStructureValue(Structure::withMembersAndKeys({{"x", 1}, {"y", 2}}));
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  ASSERT_TRUE(patch.outputBezierPath.bezierPathValue());
  EXPECT_TRUE(patch.outputBezierPath.bezierPathValue()->isEmpty());
  EXPECT_TRUE(log.lines.empty());
}

// ---- Vector Commands ----------------------------------------------------------------------------

TEST(VectorCommands, NameAndPorts) {
  V2DBezierPathCommandsPatch patch("c");
  EXPECT_EQ(patch.inputPorts()[0]->key(), "inputBezierPath");
  EXPECT_EQ(patch.outputPorts()[0]->key(), "outputCommands");
}

TEST(VectorCommands, NothingConnectedOutputsNothing) {
  V2DBezierPathCommandsPatch patch("c");
  patch.outputCommands.setStructureValue(Structure());
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_FALSE(patch.outputCommands.structureValue());
}

TEST(VectorCommands, EmptyPathGivesAnEmptyStructure) {
  StructureRef s = commandsOf(BezierPath::bezierPath());
  ASSERT_TRUE(s);
  EXPECT_EQ(s->count(), 0u);
}

TEST(VectorCommands, Triangle) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  path->lineToPoint({100, 0});
  path->lineToPoint({100, 100});
  path->closePath();
  StructureRef s = commandsOf(path);
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, Structure(V{V{"moveTo", 0.0, 0.0}, V{"lineTo", 100.0, 0.0}, V{"lineTo", 100.0, 100.0}, V{"close"}}));
  // Numbers are doubles, members unkeyed.
  EXPECT_EQ(s->memberAtIndex(1).structure()->memberAtIndex(1).kind(), Value::Kind::Double);
  EXPECT_FALSE(s->keyAtIndex(0));
}

TEST(VectorCommands, CurveEndPointFirst) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  path->curveToPoint({10, 0}, {0, 5}, {10, 5});
  StructureRef s = commandsOf(path);
  ASSERT_TRUE(s);
  EXPECT_EQ(*s, Structure(V{V{"moveTo", 0.0, 0.0}, V{"curveTo", 10.0, 0.0, 0.0, 5.0, 10.0, 5.0}}));
}

TEST(VectorCommands, CurvesStayCurvesAndCloseCarriesNoPoint) {
  auto path = BezierPath::bezierPath();
  path->appendBezierPathWithOvalInRect({{0, 0}, {10, 10}});
  path->closePath();
  StructureRef s = commandsOf(path);
  ASSERT_EQ(s->count(), 6u);
  for (size_t i = 1; i <= 4; ++i) EXPECT_EQ(s->memberAtIndex(i).structure()->count(), 7u);
  EXPECT_EQ(s->memberAtIndex(5).structure()->count(), 1u);
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

  CapturedLog log;
  V2DBezierPathWithStructurePatch reader("w");
  reader.inputStructure.setStructureValue(commandsOf(path));
  ASSERT_TRUE(reader.execute(nullptr, 0, {}));
  BezierPathRef rebuilt = reader.outputBezierPath.bezierPathValue();
  ASSERT_TRUE(rebuilt);
  EXPECT_TRUE(rebuilt->isEqualToBezierPath(*path));
  EXPECT_TRUE(log.lines.empty());
}
