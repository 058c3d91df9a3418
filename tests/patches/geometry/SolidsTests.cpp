// Line Structure, Extrusion, Lathe and Grid: worked meshes, watertightness, and inputs that
// cannot work.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>

#include "patches/geometry/V2DExtrusionTriangleStructurePatch.h"
#include "patches/geometry/V2DGridPatch.h"
#include "patches/geometry/V2DLatheTriangleStructurePatch.h"
#include "patches/geometry/V2DLineStructurePatch.h"
#include "patches/sources/V2DBezierPathWithStringPatch.h"
#include "tests/support/Polylines.h"
#include "tests/support/CapturedLog.h"
#include "tests/support/MeshVertices.h"
#include "tests/support/PatchInputs.h"
#include "tests/support/PathElements.h"

namespace vellum::test {
namespace {

using namespace vellum::testing;

const std::vector<Point> kUnitSquare = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};


// Whether every number of every vertex (every member that is a structure) is finite.
bool allFinite(const Structure& mesh) {
  for (const auto& m : mesh) {
    for (const auto& n : m.value.structure() ? *m.value.structure() : Structure())
      if (!std::isfinite(n.value.doubleValue())) return false;
  }
  return true;
}

// Every directed edge meets its reverse exactly once and itself never again: each edge is shared
// by two consistently oriented triangles. Triangles with coincident corners fail it too.
bool watertight(const Structure& mesh) {
  std::map<std::array<float, 6>, int> edges;
  for (size_t t = 0; t < mesh.count() / 3; ++t)
    for (size_t c = 0; c < 3; ++c) {
      const V2DVector3 a = positionOf(mesh, t * 3 + c), b = positionOf(mesh, t * 3 + (c + 1) % 3);
      ++edges[{a.x, a.y, a.z, b.x, b.y, b.z}];
    }
  for (const auto& [e, count] : edges) {
    auto back = edges.find({e[3], e[4], e[5], e[0], e[1], e[2]});
    if (count != 1 || back == edges.end() || back->second != 1) return false;
  }
  return !edges.empty();
}

// Vertex k's position and normal, each checked when given.
struct Spot {
  size_t k;
  std::optional<V2DVector3> position, normal;
};
void expectSpots(const Structure& mesh, const std::vector<Spot>& spots) {
  for (const Spot& s : spots) {
    EXPECT_EQ(s.position.value_or(positionOf(mesh, s.k)), positionOf(mesh, s.k)) << "vertex " << s.k;
    EXPECT_EQ(s.normal.value_or(normalOf(mesh, s.k)), normalOf(mesh, s.k)) << "vertex " << s.k;
  }
}
const auto kAny = std::nullopt;
const V2DVector3 kUp{0, 0, 1}, kDown{0, 0, -1};

Structure outputOf(Patch& patch, StructurePort& port) {
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  EXPECT_TRUE(port.structureValue());
  return port.structureValue() ? *port.structureValue() : Structure();
}

// ---- Line Structure ---------------------------------------------------------------------------

Structure lineStructure(std::shared_ptr<const BezierPath> path, double flatness = 0.01) {
  V2DLineStructurePatch patch("id");
  setInputs(patch, {{"inputBezierPath", objectValue(path)}, {"inputFlatness", flatness}});
  return outputOf(patch, patch.outputLines);
}

TEST(LineStructure, TwoPointsPerSegmentWithoutJoins) {
  using Points = std::vector<std::vector<double>>;
  // A move before the subpath's own: the close returns to (0, 0).
  auto stacked = pathOf({M(9, 9), M(0, 0), L(4, 0), L(0, 4), Z()});
  const std::vector<std::pair<std::shared_ptr<const BezierPath>, Points>> rows = {
      {stacked, {{0, 0, 0}, {4, 0, 0}, {4, 0, 0}, {0, 4, 0}, {0, 4, 0}, {0, 0, 0}}},
      // Open, with a zero-length segment kept.
      {polyline({{{0, 0}, {3, 0}, {3, 4}, {3, 4}}}, false), {{0, 0, 0}, {3, 0, 0}, {3, 0, 0}, {3, 4, 0}, {3, 4, 0}, {3, 4, 0}}},
      // Segments with a non-finite end are left out.
      {polyline({{{0, 0}, {NAN, 1}, {2, 2}, {3, 3}, {INFINITY, 0}}}, false), {{2, 2, 0}, {3, 3, 0}}},
      {polyline({{{1, 1}}, {{2, 2}}}, false), {}},
      {nullptr, {}},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    Points got;
    for (const auto& m : lineStructure(rows[i].first)) {
      EXPECT_FALSE(m.keyed());
      got.emplace_back();
      for (const auto& n : *m.value.structure()) got.back().push_back(n.value.doubleValue());
    }
    EXPECT_EQ(got, rows[i].second);
  }
}

// ---- Extrusion ----------------------------------------------------------------------------------

struct Extrude {
  double depth = 1;
  bool front = true, back = true;
  uint64_t smooth = 0;
};

Structure extrude(std::shared_ptr<const BezierPath> path, Extrude o = {}) {
  V2DExtrusionTriangleStructurePatch patch("id");
  setInputs(patch, {{"inputBezierPath", objectValue(path)}, {"inputDepth", o.depth}, {"inputFrontCap", o.front},
                    {"inputBackCap", o.back}, {"inputSmooth", o.smooth}});
  return outputOf(patch, patch.outputTriangles);
}

// Front cap, walls, back cap; the caps' positions follow from the mesh being watertight.
TEST(Extrusion, UnitSquareFrontCapWallsBackCap) {
  const Structure mesh = extrude(polyline({kUnitSquare}));
  ASSERT_EQ(mesh.count(), 36u);
  EXPECT_TRUE(watertight(mesh));
  // The wall of (0,0) -> (1,0): corners (P,0), (C,0), (C,d) then (C,d), (P,d), (P,0). The closing
  // wall, (0,1) -> (0,0), faces -x.
  const V2DVector3 south{0, -1, 0};
  expectSpots(mesh, {{0, kAny, kUp}, {5, kAny, kUp}, {6, {{0, 0, 0}}, south}, {7, {{1, 0, 0}}, south},
                     {8, {{1, 0, 1}}, south}, {9, {{1, 0, 1}}, south}, {10, {{0, 0, 1}}, south},
                     {11, {{0, 0, 0}}, south}, {24, kAny, {{-1, 0, 0}}}, {30, kAny, kDown}, {35, kAny, kDown}});
}

TEST(Extrusion, VertexCountsForCapsOpenPathsAndDepthsThatCannotBeWalls) {
  const std::vector<std::tuple<std::shared_ptr<const BezierPath>, Extrude, size_t>> rows = {
      {polyline({kUnitSquare}), {.front = false, .back = false}, 24},
      {polyline({kUnitSquare}), {.front = false}, 30},
      {polyline({{{0, 0}, {1, 0}, {1, 1}}}, false), {}, 12},  // an open polyline: a ribbon
      // A depth that is not a number counts as 0; 0.0004 rounds to 0 when written; negative
      // depths give nothing either. Walls without area are left out, the two caps stay.
      {polyline({kUnitSquare}), {.depth = NAN}, 12},
      {polyline({kUnitSquare}), {.depth = 0}, 12},
      {polyline({kUnitSquare}), {.depth = 0.0004}, 12},
      {polyline({kUnitSquare}), {.depth = -5}, 12},
      {nullptr, {}, 0},
  };
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(extrude(std::get<0>(rows[i]), std::get<1>(rows[i])).count(), std::get<2>(rows[i])) << i;
  expectSpots(extrude(polyline({kUnitSquare}), {.front = false}), {{29, kAny, kDown}});
  // The two caps of a flat extrusion make a double-sided sheet at z = 0.
  const Structure flat = extrude(polyline({kUnitSquare}), {.depth = NAN});
  expectSpots(flat, {{0, kAny, kUp}, {11, kAny, kDown}});
  EXPECT_EQ(positionOf(flat, 0).z, 0);
}

// Watertight: every cap edge meets exactly one wall or other cap triangle the other way round, so
// the caps fill the outline (a ring with a hole among them) without gap or overlap.
TEST(Extrusion, ClosedOutlinesAreWatertight) {
  EXPECT_TRUE(watertight(extrude(polyline({{{-2, -2}, {6, -2}, {6, 6}, {-2, 6}}, {{1, 1}, {1, 3}, {4, 3}, {3, 1.5}}}))));
  auto oval = BezierPath::bezierPathWithOvalInRect({{0, 0}, {30, 20}});
  oval->closePath();
  EXPECT_TRUE(watertight(extrude(oval, {.depth = 3, .smooth = 1})));
  // A repeated point makes a wall without area, which is left out.
  EXPECT_TRUE(watertight(extrude(polyline({{{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}}))));
  // A move before the subpath's own: the closing wall ends at (0, 0), not at (9, 9).
  const Structure square = extrude(pathOf({M(9, 9), M(0, 0), L(1, 0), L(1, 1), L(0, 1), Z()}));
  EXPECT_EQ(square.count(), 36u);
  EXPECT_TRUE(watertight(square));
  // Text: a move to the baseline, then every glyph contour with its own move.
  V2DBezierPathWithStringPatch text("id");
  setInputs(text, {{"inputString", "Ag&8"}, {"inputFontName", "DejaVuSerif-Bold"}, {"inputFontSize", 200}});
  const Structure lettering = extrude(run(text), {.depth = 40, .smooth = 1});
  EXPECT_GT(lettering.count(), 3000u);
  EXPECT_TRUE(watertight(lettering));
}

TEST(Extrusion, HugeDepthsAndNonFinitePointsWriteFiniteNumbers) {
  // Depths are limited to 1e30; the walls keep their unit normals.
  for (double depth : {1e300, double(INFINITY)}) {
    const Structure deep = extrude(polyline({kUnitSquare}), {.depth = depth});
    ASSERT_EQ(deep.count(), 36u);
    EXPECT_TRUE(allFinite(deep));
    EXPECT_EQ(positionOf(deep, 0).z, V2DVector3Rounded({0, 0, 1e30f}).z);
    EXPECT_EQ(normalOf(deep, 6), (V2DVector3{0, -1, 0}));
  }
  const Structure mesh = extrude(polyline({{{0, 0}, {NAN, 0}, {1, 1}, {1e300, 2}, {0, 1}}}), {.smooth = 1});
  EXPECT_TRUE(allFinite(mesh));
  EXPECT_EQ(mesh.count(), 6u);  // only the wall (0,1) -> (0,0); no cap for a path it cannot hold
}

// ---- Lathe --------------------------------------------------------------------------------------

struct Lathe {
  double begin = 0, end = 90;
  uint64_t steps = 2;
  bool top = false, bottom = false;
  uint64_t smooth = 0;
};

void setUp(V2DLatheTriangleStructurePatch& patch, std::shared_ptr<const BezierPath> path, const Lathe& o) {
  setInputs(patch, {{"inputBezierPath", objectValue(path)}, {"inputAngleBegin", o.begin}, {"inputAngleEnd", o.end},
                    {"inputAngleSteps", o.steps}, {"inputTopCap", o.top}, {"inputBottomCap", o.bottom}, {"inputSmooth", o.smooth}});
}

Structure lathe(std::shared_ptr<const BezierPath> path, Lathe o = {}) {
  V2DLatheTriangleStructurePatch patch("id");
  setUp(patch, std::move(path), o);
  return outputOf(patch, patch.outputTriangles);
}

// (1, 1) down to (1, 0): a cylinder wall at distance 1 from the axis.
std::shared_ptr<BezierPath> wall() { return polyline({{{1, 1}, {1, 0}}}, false); }

// Step 1: P0, C1, C0 then P1, C1, P0, facing away from the axis at 22.5 degrees (0.92388, 0,
// 0.38268, stored rounded to thousandths), step 2 at 67.5; reversed, the range turns the normals
// inwards. With caps, each step is top cap, two band triangles, bottom cap.
TEST(Lathe, WorkedQuarterTurns) {
  const float r = float(std::cos(45 * 3.141592653589793 / 180));
  const V2DVector3 first{0.924f, 0, 0.383f}, up{0, 1, 0}, down{0, -1, 0};
  const std::vector<std::tuple<Lathe, size_t, std::vector<Spot>>> rows = {
      {{}, 12, {{0, {{1, 1, 0}}, first}, {1, V2DVector3Rounded({r, 0, r}), first}, {2, {{1, 0, 0}}, first},
                {5, kAny, first}, {6, kAny, {{0.383f, 0, 0.924f}}}, {10, {{0, 0, 1}}, kAny}}},
      {{.begin = 90, .end = 0}, 12, {{0, kAny, {{-0.383f, 0, -0.924f}}}}},
      {{.top = true, .bottom = true}, 24, {{0, {{0, 1, 0}}, up}, {2, kAny, up}, {12, kAny, up}, {3, kAny, first},
                                           {9, kAny, down}, {10, {{0, 0, 0}}, down}, {23, kAny, down}}},
  };
  for (const auto& [options, count, spots] : rows) {
    const Structure mesh = lathe(wall(), options);
    ASSERT_EQ(mesh.count(), count);
    expectSpots(mesh, spots);
  }
}

TEST(Lathe, TriangleCountsForProfilesOnTheAxisCapsAndRangesThatCannotWork) {
  const std::vector<std::tuple<std::shared_ptr<const BezierPath>, Lathe, size_t>> rows = {
      // A cone from the apex (0, 1): one band triangle per step, no top cap around the apex.
      {polyline({{{0, 1}, {1, 0}}}, false), {.steps = 3, .top = true, .bottom = true}, 3 * 2},
      // The bottom cap follows segment E - 2: the last of an open profile of 3 elements...
      {polyline({{{1, 2}, {1, 1}, {2, 0}}}, false), {.steps = 1, .bottom = true}, 4 + 1},
      // ... past the last segment with two subpaths, so no bottom cap.
      {polyline({{{1, 2}, {1, 1}}, {{3, 2}, {3, 1}}}, false), {.steps = 1, .bottom = true}, 4},
      // Every band touches the far point: only the caps survive.
      {polyline({{{1, 1}, {1e300, 0}, {1, -1}}}, false), {.top = true, .bottom = true, .smooth = 1}, 4},
      {wall(), {.steps = 0}, 0},
      {wall(), {.begin = NAN}, 0},
      {wall(), {.end = INFINITY}, 0},
      {wall(), {.begin = -1e308, .end = 1e308}, 0},  // the step overflows
      {wall(), {.begin = 30, .end = 30}, 0},          // no area
      {nullptr, {}, 0},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    const Structure mesh = lathe(std::get<0>(rows[i]), std::get<1>(rows[i]));
    EXPECT_EQ(mesh.count(), 3 * std::get<2>(rows[i])) << i;
    EXPECT_TRUE(allFinite(mesh)) << i;
  }
  // A closed triangle of 4 elements: the cap is at the close, around the first point (1, 2).
  const Structure closed = lathe(polyline({{{1, 2}, {1, 1}, {2, 0}}}), {.steps = 1, .bottom = true});
  ASSERT_EQ(closed.count(), (6u + 1) * 3);
  EXPECT_EQ(positionOf(closed, 19), (V2DVector3{0, 2, 0}));
}

// With its initial inputs (no steps, no angle) the lathe of a profile is empty: the log says
// which input, once however many frames run; with no profile, or a usable one, it says nothing.
TEST(Lathe, ZeroStepsOrZeroAngleAreNamedOnceInTheLog) {
  const std::string prefix = "[V2DLatheTriangleStructurePatch execute:time:arguments:]  ";
  const std::vector<std::pair<Lathe, std::string>> rows = {
      {{.end = 0, .steps = 0}, "inputAngleSteps is 0, so the lathe makes no triangles; give it 1 or more steps."},
      {{.begin = 30, .end = 30}, "inputAngleBegin and inputAngleEnd are both 30, so the lathe sweeps no angle; set "
                                 "inputAngleEnd to 360 for a full turn."},
      {{}, ""},
  };
  for (const auto& [inputs, line] : rows) {
    for (auto path : {std::shared_ptr<BezierPath>(), wall()}) {
      testing::CapturedLog log;
      V2DLatheTriangleStructurePatch patch("id");
      setUp(patch, path, inputs);
      for (int frame = 0; frame < 3; ++frame) EXPECT_TRUE(patch.execute(nullptr, frame, {}));
      EXPECT_EQ(log.lines, line.empty() || !path ? std::vector<std::string>{} : std::vector<std::string>{prefix + line});
    }
  }
}

TEST(Lathe, HugeStepCountsAreLoweredToCoverTheRange) {
  V2DLatheTriangleStructurePatch patch("id");
  setUp(patch, wall(), {.end = 360, .steps = 4000000000u, .top = true, .bottom = true});
  V2DTriangleList triangles;
  V2DTriangleIndexMap map;
  patch._latheStructureForBezierPath(wall().get(), triangles, map);
  // Four triangles per step: the budget divided by four steps.
  EXPECT_EQ(triangles.size(), V2DLatheTriangleStructurePatch::kMaxTriangles);
  EXPECT_TRUE(map.empty());
  // The last step still ends at 360 degrees: its band's C1 is (1, 0, 0).
  EXPECT_EQ(triangles[triangles.size() - 3].corners[1], (V2DVector3{1, 0, 0}));
}

// ---- Grid ---------------------------------------------------------------------------------------

Value grid(std::vector<Value> members, uint64_t width = 2, bool structure = true) {
  V2DGridPatch patch("id");
  setInputs(patch, {{"inputBezierPaths", structure ? Value(members) : Value()}, {"inputWidth", width}});
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  return patch.outputGrid.value();
}

Value line(Point a, Point b) { return Value(ObjectRef(polyline({{a, b}}, false))); }

TEST(Grid, FewerThanTwoPathsOrNoWidthGiveNothing) {
  EXPECT_TRUE(grid({line({0, 0}, {1, 0})}).isNothing());
  EXPECT_TRUE(grid({}).isNothing());
  EXPECT_TRUE(grid({}, 2, false).isNothing());
  EXPECT_TRUE(grid({line({0, 0}, {1, 0}), line({0, 1}, {1, 1})}, 0).isNothing());
  // A member that is not a path is skipped: one path is left.
  EXPECT_TRUE(grid({line({0, 0}, {1, 0}), Value(3.5)}).isNothing());
  // With two paths among them, a grid of two rows, its width lowered to fit.
  const StructureRef two = grid({line({0, 0}, {1, 0}), Value(3.5), line({0, 1}, {1, 1})}, 4000000000u).structure();
  EXPECT_EQ(std::pair(two->memberForKey("width"), two->memberForKey("height")), std::pair(Value(kMaxGridVertices / 2 - 1), Value(1)));
}

}  // namespace
}  // namespace vellum::test
