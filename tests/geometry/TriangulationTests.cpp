#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <set>

#include "GeometryTestSupport.h"
#include "text/Font.h"
#include "text/TextOutlines.h"

namespace vellum {
namespace {

using namespace vellum::test;

// ---- worked cases --------------------------------------------------------------------------

TEST(TriangleStructure, UnitSquareGivesTwoTrianglesFacingUp) {
  auto path = polygonPath({square(0, 0, 1)});
  const auto input = V2DCollectTriangulationInput(*path);
  EXPECT_EQ(input.vertices.size(), 4u);
  EXPECT_EQ(input.constraints.size(), 4u);
  const auto list = triangulate(*path);
  ASSERT_EQ(list.size(), 2u);
  for (const auto& t : list) {
    EXPECT_EQ(t.normal, (V2DVector3{0, 0, 1}));
    EXPECT_FALSE(t.smoothable);
    EXPECT_GT(signedArea(t), 0) << "corners run counter-clockwise seen from +z";
    for (const auto& c : t.corners) {
      EXPECT_EQ(c.z, 0.0f);
      EXPECT_TRUE(c.x == 0 || c.x == 1);
      EXPECT_TRUE(c.y == 0 || c.y == 1);
    }
  }
  EXPECT_DOUBLE_EQ(totalArea(list), 1.0);
  const Structure mesh = V2DMeshStructureFromTriangles(list, {}, false);
  ASSERT_EQ(mesh.count(), 6u);
  for (size_t k = 0; k < 6; ++k) {
    auto v = mesh.memberForKey(std::to_string(k)).structure();
    ASSERT_TRUE(v);
    EXPECT_EQ(v->memberForKey("Z").doubleValue(), 0.0);
    EXPECT_EQ(v->memberForKey("NX").doubleValue(), 0.0);
    EXPECT_EQ(v->memberForKey("NY").doubleValue(), 0.0);
    EXPECT_EQ(v->memberForKey("NZ").doubleValue(), 1.0);
  }
}

TEST(TriangleStructure, TriangleGivesOneTriangle) {
  auto path = polygonPath({{{0, 0}, {4, 0}, {1, 3}}});
  const auto list = triangulate(*path);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_DOUBLE_EQ(totalArea(list), 6.0);
}

TEST(TriangleStructure, TwoSegmentRunCommitsNothing) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  path->lineToPoint({5, 5});
  path->closePath();
  const auto input = V2DCollectTriangulationInput(*path);
  EXPECT_TRUE(input.vertices.empty());
  EXPECT_TRUE(input.constraints.empty());
  EXPECT_TRUE(triangulate(*path).empty());
}

TEST(TriangleStructure, OpenPathGivesNothing) {
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  path->lineToPoint({5, 0});
  path->lineToPoint({5, 5});
  path->lineToPoint({0, 5});
  EXPECT_TRUE(triangulate(*path).empty());
}

TEST(TriangleStructure, OpenRunIsCommittedWithTheNextClosedRun) {
  // Two lines left open, then a move and a closed triangle: the open run's segments count
  // towards the next close and become constraints.
  auto path = BezierPath::bezierPath();
  path->moveToPoint({10, 0});
  path->lineToPoint({11, 0});
  path->moveToPoint({0, 0});
  path->lineToPoint({2, 0});
  path->closePath();
  const auto input = V2DCollectTriangulationInput(*path);
  // Pending: (10,0)-(11,0), (0,0)-(2,0), (2,0)-(0,0): three segments, committed at the close.
  EXPECT_EQ(input.constraints.size(), 3u);
  EXPECT_EQ(input.vertices.size(), 4u);
}

TEST(TriangleStructure, ZeroLengthSegmentsAreNoConstraints) {
  auto path = polygonPath({{{0, 0}, {0, 0}, {3, 0}, {3, 0}, {0, 3}}});
  const auto input = V2DCollectTriangulationInput(*path);
  EXPECT_EQ(input.vertices.size(), 3u);
  EXPECT_EQ(input.constraints.size(), 3u);
  EXPECT_EQ(triangulate(*path).size(), 1u);
}

TEST(TriangleStructure, NegativeZeroIsTheSameVertex) {
  auto path = polygonPath({{{0, 0}, {1, 0}, {0, 1}}, {{-0.0, -0.0}, {0, 1}, {-1, 0}}});
  EXPECT_EQ(V2DCollectTriangulationInput(*path).vertices.size(), 4u);
}

struct HoleCase {
  bool innerSameDirection;
  int rule;
  double area;
};

class Holes : public ::testing::TestWithParam<HoleCase> {};

TEST_P(Holes, FillFollowsTheWindingRule) {
  const auto& c = GetParam();
  auto path = polygonPath({square(0, 0, 10), square(3, 3, 4, c.innerSameDirection)}, c.rule);
  const auto t = phase2(*path);
  double least = 0;
  EXPECT_NEAR(exactArea(t, &least), c.area, 1e-9 * c.area);
  EXPECT_GT(least, 0);
  EXPECT_TRUE(everyCentroidInside(t, *path));
}

INSTANTIATE_TEST_SUITE_P(TriangleStructure, Holes,
                         ::testing::Values(HoleCase{false, NonZeroWindingRule, 84}, HoleCase{true, NonZeroWindingRule, 100},
                                           HoleCase{false, EvenOddWindingRule, 84}, HoleCase{true, EvenOddWindingRule, 84}));

TEST(TriangleStructure, ConformingGivesAtLeastAsManyTrianglesAllInside) {
  // A long thin shape whose edges the refinement must split.
  auto path = polygonPath({{{0, 0}, {20, 0}, {20, 1}, {11, 1}, {10, 8}, {9, 1}, {0, 1}}});
  const auto plain = phase2(*path, false);
  const auto refined = phase2(*path, true);
  EXPECT_GE(refined.triangles.size(), plain.triangles.size());
  EXPECT_GT(refined.vertices.size(), plain.vertices.size()) << "the refinement inserts vertices here";
  EXPECT_TRUE(everyCentroidInside(refined, *path));
  EXPECT_NEAR(exactArea(refined), exactArea(plain), 1e-9 * 27);
  EXPECT_NEAR(exactArea(plain), 20 + 7, 1e-9);
}

TEST(TriangleStructure, BackFacesAreReversed) {
  auto path = polygonPath({square(0, 0, 10), square(3, 3, 4, false), {{20, 0}, {25, 0}, {22, 4}}});
  const auto front = triangulate(*path, false, 0, false);
  const auto back = triangulate(*path, false, 0, true);
  ASSERT_EQ(front.size(), back.size());
  ASSERT_GT(front.size(), 2u);
  const size_t n = front.size();
  for (size_t i = 0; i < n; ++i) {
    const auto& f = front[i];
    const auto& b = back[n - 1 - i];
    EXPECT_EQ(b.corners[0], f.corners[2]);
    EXPECT_EQ(b.corners[1], f.corners[1]);
    EXPECT_EQ(b.corners[2], f.corners[0]);
    EXPECT_EQ(b.normal, (V2DVector3{0, 0, -1}));
    EXPECT_LT(signedArea(b), 0);
  }
}

TEST(TriangleStructure, ZOffsetIsEveryCornersZ) {
  const auto list = triangulate(*polygonPath({square(0, 0, 1)}), false, 2.5f);
  ASSERT_EQ(list.size(), 2u);
  for (const auto& t : list)
    for (const auto& c : t.corners) EXPECT_EQ(c.z, 2.5f);
}

TEST(TriangleStructure, CornersAreRoundedToThousandths) {
  const auto list = triangulate(*polygonPath({{{0.00049, 0}, {1.2344, 0}, {0, 1.9996}}}));
  ASSERT_EQ(list.size(), 1u);
  std::set<float> xs, ys;
  for (const auto& c : list[0].corners) xs.insert(c.x), ys.insert(c.y);
  EXPECT_EQ(xs, (std::set<float>{0.0f, 1.234f}));
  EXPECT_EQ(ys, (std::set<float>{0.0f, 2.0f}));
}

// ---- crossing outlines fill by the winding rule --------------------------------------------

TEST(TriangleStructure, FigureEightFillsBothLobes) {
  // Lobes of area 2 each, wound in opposite directions: both have winding +-1.
  auto path = polygonPath({{{0, 0}, {2, 2}, {2, 0}, {0, 2}}});
  const auto t = phase2(*path);
  EXPECT_NEAR(exactArea(t), 2.0, 1e-12);
  EXPECT_TRUE(everyCentroidInside(t, *path));
}

TEST(TriangleStructure, PentagramCentreDependsOnTheRule) {
  std::vector<Point> star;
  for (int i = 0; i < 5; ++i) {
    const double a = M_PI / 2 + i * 4 * M_PI / 5;
    star.push_back({std::cos(a), std::sin(a)});
  }
  // The inner pentagon has winding 2: filled under non-zero, a hole under even-odd.
  const double R = 1, r = R * std::sin(M_PI / 10) / std::sin(7 * M_PI / 10);
  const double pentagon = 2.5 * r * r * std::sin(2 * M_PI / 5);
  const double starArea = 5 * R * r * std::sin(M_PI / 5);  // the ten-sided outline
  for (int rule : {NonZeroWindingRule, EvenOddWindingRule}) {
    auto path = polygonPath({star}, rule);
    const auto t = phase2(*path);
    const double expected = rule == NonZeroWindingRule ? starArea : starArea - pentagon;
    EXPECT_NEAR(exactArea(t), expected, 1e-9) << "rule " << rule;
    EXPECT_TRUE(everyCentroidInside(t, *path));
  }
}

TEST(TriangleStructure, OverlappingSquaresUnderBothRules) {
  for (int rule : {NonZeroWindingRule, EvenOddWindingRule}) {
    auto path = polygonPath({square(0, 0, 4), square(2, 2, 4)}, rule);
    const auto t = phase2(*path);
    EXPECT_NEAR(exactArea(t), rule == NonZeroWindingRule ? 28.0 : 24.0, 1e-9);
    EXPECT_TRUE(everyCentroidInside(t, *path));
  }
}

// ---- degenerate input ----------------------------------------------------------------------

TEST(TriangleStructureRegression, ConstraintThroughAVertex) {
  // The second triangle's edge passes exactly through the first one's corner (2, 0).
  auto path = polygonPath({{{0, 0}, {4, 0}, {2, 3}}, {{2, 0}, {3, -2}, {1, -2}}});
  const auto t = phase2(*path);
  EXPECT_NEAR(exactArea(t), 6 + 2, 1e-12);
  EXPECT_TRUE(everyCentroidInside(t, *path));
}

TEST(TriangleStructureRegression, OverlappingCollinearEdges) {
  // Two squares side by side whose shared side only partly overlaps.
  auto path = polygonPath({square(0, 0, 4), {{4, 1}, {6, 1}, {6, 3}, {4, 3}}});
  const auto t = phase2(*path);
  EXPECT_NEAR(exactArea(t), 16 + 4, 1e-12);
  EXPECT_TRUE(everyCentroidInside(t, *path));
}

TEST(TriangleStructureRegression, ThirteenVertexSimplePolygon) {
  // A comb-like simple polygon with many collinear vertices on a small integer grid.
  const std::vector<Point> ring = {{0, 0}, {6, 0}, {6, 3}, {5, 3}, {5, 1}, {4, 1}, {4, 3}, {3, 3}, {3, 1}, {2, 1}, {2, 3}, {1, 3}, {0, 3}};
  auto path = polygonPath({ring});
  const auto t = phase2(*path);
  EXPECT_NEAR(exactArea(t), ringArea(ring), 1e-12);
  EXPECT_TRUE(everyCentroidInside(t, *path));
}

TEST(TriangleStructureRegression, CircleOfCollinearFreeEdgesIsFilled) {
  // Created after the vertices, constraints that are already Delaunay edges went unmarked and a
  // circle gave nothing.
  auto path = BezierPath::bezierPath();
  path->appendBezierPathWithOvalInRect({{-1, -1}, {2, 2}});
  path->closePath();
  auto flat = path->bezierPathByFlatteningPathWithFlatness(0.001);
  const auto t = phase2(*flat);
  EXPECT_NEAR(exactArea(t), M_PI, 0.01);
  EXPECT_TRUE(everyCentroidInside(t, *flat));
}

TEST(TriangleStructureRegression, RandomStarShapedPolygon) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> radius(0.3, 1.0);
  const int n = 10000;
  std::vector<Point> ring;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n, r = radius(rng);
    ring.push_back({r * std::cos(a), r * std::sin(a)});
  }
  const auto t = phase2(*polygonPath({ring}));
  EXPECT_EQ(t.triangles.size(), size_t(3 * (n - 2)));
  EXPECT_NEAR(exactArea(t), ringArea(ring), 1e-9 * ringArea(ring));
}

// ---- bad input -----------------------------------------------------------------------------

TEST(TriangleStructureBadInput, NotANumberInfinityAndBeyondSinglePrecisionGiveNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(triangulate(*polygonPath({{{0, 0}, {1, 0}, {nan, 1}}, square(5, 5, 1)})).empty());
  EXPECT_TRUE(triangulate(*polygonPath({{{0, 0}, {INFINITY, 0}, {0, 1}}})).empty());
  EXPECT_TRUE(triangulate(*polygonPath({{{0, 0}, {1e300, 0}, {0, 1e300}}})).empty());
}

TEST(TriangleStructureBadInput, HugeAndTinyMagnitudesWithinRangeAreTriangulated) {
  auto big = polygonPath({square(1e30, -1e30, 1e30)});
  EXPECT_NEAR(exactArea(phase2(*big)), 1e60, 1e51);
  auto tiny = polygonPath({square(1e-200, 1e-200, 1e-200)});
  const auto t = phase2(*tiny);
  ASSERT_EQ(t.triangles.size(), 6u);
  for (uint32_t i : t.triangles) {
    EXPECT_GE(t.vertices[i].x, 1e-200);
    EXPECT_LE(t.vertices[i].x, 2e-200);
  }
}

TEST(TriangleStructureBadInput, NearlyCoincidentPointsMerge) {
  auto path = polygonPath({{{0, 0}, {1, 0}, {1, 1e-15}, {1, 1}, {0, 1}}});
  const auto t = phase2(*path);
  EXPECT_NEAR(exactArea(t), 1.0, 1e-9);
  EXPECT_TRUE(everyCentroidInside(t, *path));
}

TEST(TriangleStructureBadInput, DuplicateRingsAndReversedRings) {
  // The same square twice in one direction (winding 2) and once reversed (net 1).
  auto twice = polygonPath({square(0, 0, 2), square(0, 0, 2)}, EvenOddWindingRule);
  EXPECT_TRUE(phase2(*twice).triangles.empty()) << "winding 2 is outside under even-odd";
  auto thrice = polygonPath({square(0, 0, 2), square(0, 0, 2), square(0, 0, 2, false)});
  EXPECT_NEAR(exactArea(phase2(*thrice)), 4, 1e-12);
}

TEST(TriangleStructureBadInput, AllPointsEqualGivesNothing) {
  auto path = polygonPath({{{1, 1}, {1, 1}, {1, 1}, {1, 1}}});
  EXPECT_TRUE(triangulate(*path).empty());
}

TEST(TriangleStructureBadInput, OpenSubpathBesideAClosedOneUsesTheWholePathsWinding) {
  // An open triangle (counted as closed by the containment test) inside a closed square: the
  // faces whose centroid falls in it have winding 2, still inside under non-zero.
  auto path = polygonPath({square(0, 0, 10)});
  path->moveToPoint({1, 1});
  path->lineToPoint({9.5, 1});
  path->lineToPoint({1, 9.5});
  const auto input = V2DCollectTriangulationInput(*path);
  EXPECT_FALSE(input.covered);
  const auto t = phase2(*path);
  EXPECT_TRUE(everyCentroidInside(t, *path));
  EXPECT_NEAR(exactArea(t), 100, 1e-9);
  path->setWindingRule(EvenOddWindingRule);
  const auto odd = phase2(*path);
  EXPECT_TRUE(everyCentroidInside(odd, *path));
  EXPECT_LT(exactArea(odd), 100);
}

TEST(TriangleStructureBadInput, NoPathAndEmptyPath) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  _triangleStructureForBezierPath(nullptr, false, 0, false, list, map);
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(triangulate(*BezierPath::bezierPath()).empty());
}

// ---- the patch -----------------------------------------------------------------------------

TEST(TriangleStructurePatch, PortsAndDefaults) {
  V2DTriangleStructurePatch patch("id");
  EXPECT_EQ(patch._getUserInfo("name").stringValue(), "Vellum Triangle Structure With Vector");
  EXPECT_EQ(patch.inputFlatness.doubleValue(), 0.01);
  EXPECT_EQ(patch.inputFlatness.minDoubleValue(), 0.0001);
  EXPECT_FALSE(patch.inputConforming.booleanValue());
  EXPECT_NE(patch.portForKey("outputLines"), nullptr);
}

TEST(TriangleStructurePatch, NoPathGivesAnEmptyStructure) {
  V2DTriangleStructurePatch patch("id");
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  ASSERT_TRUE(patch.outputLines.structureValue());
  EXPECT_EQ(patch.outputLines.structureValue()->count(), 0u);
}

TEST(TriangleStructurePatch, FlattensAndFillsAnOval) {
  V2DTriangleStructurePatch patch("id");
  auto oval = BezierPath::bezierPath();
  oval->appendBezierPathWithOvalInRect({{0, 0}, {10, 10}});
  oval->closePath();
  patch.inputBezierPath.setBezierPathValue(oval);
  patch.inputFlatness.setDoubleValue(0.001);
  EXPECT_TRUE(patch.execute(nullptr, 0, {}));
  auto mesh = patch.outputLines.structureValue();
  ASSERT_TRUE(mesh);
  ASSERT_GT(mesh->count(), 30u);
  EXPECT_EQ(mesh->count() % 3, 0u);
  double area = 0;
  for (size_t k = 0; k < mesh->count(); k += 3) {
    double x[3], y[3];
    for (int c = 0; c < 3; ++c) {
      auto v = mesh->memberForKey(std::to_string(k + c)).structure();
      x[c] = v->memberForKey("X").doubleValue();
      y[c] = v->memberForKey("Y").doubleValue();
      EXPECT_EQ(v->memberForKey("NZ").doubleValue(), 1.0);
    }
    area += 0.5 * ((x[1] - x[0]) * (y[2] - y[0]) - (y[1] - y[0]) * (x[2] - x[0]));
  }
  EXPECT_NEAR(area, M_PI * 25, 0.05);
}

}  // namespace
}  // namespace vellum

namespace vellum {
namespace {

TEST(TriangleStructureRegression, MirrorImageGlyphsSideBySide) {
  // "d" beside "b" in a serif face: each glyph is the other's mirror image, so their points are
  // cocircular in many fours.
  auto font = Font::fontWithName("DejaVuSerif-Bold", 200);
  ASSERT_TRUE(font);
  auto outline = [&](const char* text) {
    auto path = BezierPath::bezierPath();
    path->moveToPoint({0, 0});
    appendBezierPathWithString(*path, text, *font);
    return path->bezierPathByFlatteningPathWithFlatness(0.01);
  };
  auto both = outline("db");
  const auto t = phase2(*both);
  EXPECT_NEAR(exactArea(t), exactArea(phase2(*outline("d"))) + exactArea(phase2(*outline("b"))), 1e-6);
  EXPECT_TRUE(everyCentroidInside(t, *both));
}

TEST(TriangleStructureRegression, SerifCapitalsOnOneBaseline) {
  // Serifs of neighbouring capitals touch and overlap along the baseline and the cap height:
  // rows of collinear points and overlapping constraints.
  auto font = Font::fontWithName("DejaVuSerif", 200);
  ASSERT_TRUE(font);
  auto outline = [&](const std::string& text) {
    auto path = BezierPath::bezierPath();
    path->moveToPoint({0, 0});
    appendBezierPathWithString(*path, text, *font);
    // Reversed, as the text patch gives it.
    return path->bezierPathByReversingPath()->bezierPathByFlatteningPathWithFlatness(0.001);
  };
  const std::string capitals = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  auto all = outline(capitals);
  double least = 0;
  const auto t = phase2(*all);
  const double area = exactArea(t, &least);
  // The overlaps count once in the union, twice in the letters' sum.
  double letters = 0;
  for (char c : capitals) letters += exactArea(phase2(*outline(std::string(1, c))));
  EXPECT_LE(area, letters);
  EXPECT_GT(area, 0.999 * letters);
  EXPECT_GT(least, 0);  // no zero-area or reversed triangle
  EXPECT_TRUE(everyCentroidInside(t, *all));
}

}  // namespace
}  // namespace vellum
