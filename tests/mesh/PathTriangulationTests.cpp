// A path's inside as triangles (mesh/PathTriangulation.h): what a path commits, areas against
// hand-computed ones under both winding rules, and input that must give nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "mesh/PathTriangulation.h"
#include "tests/support/Polylines.h"
#include "text/Font.h"
#include "text/TextOutlines.h"

namespace vellum {
namespace {

using namespace vellum::test;

// Front faces at z 0. Back faces are the extrusion's: its watertight checks and the golden
// extrusion file hold them.
V2DTriangleList triangulate(const BezierPath* path) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  _triangleStructureForBezierPath(path, false, 0, false, list, map);
  return list;
}

V2DTriangulation phase2(const BezierPath& path, bool conform = false) {
  return triangulateWithConstraints(V2DCollectTriangulationInput(path), path.windingRule() == EvenOddWindingRule, conform);
}

// Signed area (counter-clockwise positive) of one record, seen from +z.
double signedArea(const V2DTriangleRecord& t) {
  const auto &a = t.corners[0], &b = t.corners[1], &c = t.corners[2];
  return 0.5 * ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x));
}

// The triangles' area in double precision; `least` gets the smallest signed triangle area.
double exactArea(const V2DTriangulation& t, double* least = nullptr) {
  double sum = 0, smallest = INFINITY;
  for (size_t i = 0; i + 2 < t.triangles.size(); i += 3) {
    const Point a = t.vertices[t.triangles[i]], b = t.vertices[t.triangles[i + 1]], c = t.vertices[t.triangles[i + 2]];
    const double s = 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
    sum += s;
    smallest = std::min(smallest, s);
  }
  if (least) *least = smallest;
  return sum;
}

// Whether every triangle's centroid is inside the path, by the path's own containment test.
bool everyCentroidInside(const V2DTriangulation& t, const BezierPath& path) {
  for (size_t i = 0; i + 2 < t.triangles.size(); i += 3) {
    const Point a = t.vertices[t.triangles[i]], b = t.vertices[t.triangles[i + 1]], c = t.vertices[t.triangles[i + 2]];
    if (!path.containsPoint({(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3})) return false;
  }
  return true;
}

TEST(PathTriangulation, ClosedRunsBecomeConstraintsAndUpwardTriangles) {
  // Two lines left open, then a closed run: the open run's segment counts towards the close.
  auto openThenClosed = polyline({{{10, 0}, {11, 0}}}, false);
  openThenClosed->appendBezierPath(*polyline({{{0, 0}, {2, 0}}}));
  const struct {
    const char* name;
    std::shared_ptr<BezierPath> path;
    size_t vertices, constraints, triangles;
  } cases[] = {
      {"unit square", polygonPath({square(0, 0, 1)}), 4, 4, 2},
      {"a line and its close", polyline({{{0, 0}, {5, 5}}}), 0, 0, 0},
      {"an open square", polyline({square(0, 0, 5)}, false), 0, 0, 0},
      {"an open run, then a closed one", openThenClosed, 4, 3, 0},
      {"zero-length segments", polygonPath({{{0, 0}, {0, 0}, {3, 0}, {3, 0}, {0, 3}}}), 3, 3, 1},
      // -0 is 0; the shared side is run once each way, two directed constraints.
      {"negative zero", polygonPath({{{0, 0}, {1, 0}, {0, 1}}, {{-0.0, -0.0}, {0, 1}, {-1, 0}}}), 4, 6, 2},
      {"all points equal", polygonPath({{{1, 1}, {1, 1}, {1, 1}, {1, 1}}}), 0, 0, 0},
      {"empty", BezierPath::bezierPath(), 0, 0, 0},
  };
  for (const auto& c : cases) {
    const auto input = V2DCollectTriangulationInput(*c.path);
    EXPECT_EQ(input.vertices.size(), c.vertices) << c.name;
    EXPECT_EQ(input.constraints.size(), c.constraints) << c.name;
    const auto list = triangulate(c.path.get());
    ASSERT_EQ(list.size(), c.triangles) << c.name;
    for (const auto& t : list) {
      EXPECT_EQ(t.normal, (V2DVector3{0, 0, 1})) << c.name;
      EXPECT_FALSE(t.smoothable) << c.name;
      EXPECT_GT(signedArea(t), 0) << c.name << ": corners run counter-clockwise seen from +z";
      for (const auto& corner : t.corners) EXPECT_EQ(corner.z, 0.0f) << c.name;
    }
  }
  EXPECT_TRUE(triangulate(nullptr).empty());
}

// The path's own winding rule decides; crossings and coincident edges of every kind are the
// triangulator's property suite's. Refinement adds points (the triangulator's suite shows it
// does) but no area: the new points must come back as vertices.
TEST(PathTriangulation, AreasFollowTheWindingRuleWithAndWithoutRefinement) {
  const auto outer = square(0, 0, 10), hole = square(3, 3, 4, false), island = square(3, 3, 4);
  const int nz = NonZeroWindingRule, eo = EvenOddWindingRule;
  const struct {
    const char* name;
    std::vector<std::vector<Point>> rings;
    int rule;
    double area;
  } cases[] = {
      {"triangle", {{{0, 0}, {4, 0}, {1, 3}}}, nz, 6},
      {"reversed hole, non-zero", {outer, hole}, nz, 84},
      {"same-direction hole, non-zero", {outer, island}, nz, 100},
      {"same-direction hole, even-odd", {outer, island}, eo, 84},
      {"nearly coincident points", {{{0, 0}, {1, 0}, {1, 1e-15}, {1, 1}, {0, 1}}}, nz, 1},
      {"a square twice: winding 2, outside under even-odd", {square(0, 0, 2), square(0, 0, 2)}, eo, 0},
      {"a thin spike, whose edges refinement splits", {{{0, 0}, {20, 0}, {20, 1}, {11, 1}, {10, 8}, {9, 1}, {0, 1}}}, nz, 27},
  };
  for (const auto& c : cases)
    for (bool conform : {false, true}) {
      auto path = polygonPath(c.rings, c.rule);
      const auto t = phase2(*path, conform);
      double least = 0;
      EXPECT_NEAR(exactArea(t, &least), c.area, 1e-9 * std::max(1.0, c.area)) << c.name << ", refined " << conform;
      EXPECT_TRUE(c.area == 0 || least > 0) << c.name;
      EXPECT_TRUE(everyCentroidInside(t, *path)) << c.name;
    }
}

TEST(PathTriangulationBadInput, NotANumberInfinityAndBeyondSinglePrecisionGiveNothing) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(triangulate(polygonPath({{{0, 0}, {1, 0}, {nan, 1}}, square(5, 5, 1)}).get()).empty());
  EXPECT_TRUE(triangulate(polygonPath({{{0, 0}, {INFINITY, 0}, {0, 1}}}).get()).empty());
  EXPECT_TRUE(triangulate(polygonPath({{{0, 0}, {1e300, 0}, {0, 1e300}}}).get()).empty());
}

TEST(PathTriangulationBadInput, HugeAndTinyMagnitudesWithinRangeAreTriangulated) {
  EXPECT_NEAR(exactArea(phase2(*polygonPath({square(1e30, -1e30, 1e30)}))), 1e60, 1e51);
  const auto t = phase2(*polygonPath({square(1e-200, 1e-200, 1e-200)}));
  ASSERT_EQ(t.triangles.size(), 6u);
  for (uint32_t i : t.triangles) {
    EXPECT_GE(t.vertices[i].x, 1e-200);
    EXPECT_LE(t.vertices[i].x, 2e-200);
  }
}

TEST(PathTriangulationBadInput, OpenSubpathBesideAClosedOneUsesTheWholePathsWinding) {
  // An open triangle (counted as closed by the containment test) inside a closed square: the
  // faces whose centroid falls in it have winding 2, still inside under non-zero.
  auto path = polygonPath({square(0, 0, 10)});
  path->moveToPoint({1, 1});
  path->lineToPoint({9.5, 1});
  path->lineToPoint({1, 9.5});
  EXPECT_FALSE(V2DCollectTriangulationInput(*path).covered);
  const auto t = phase2(*path);
  EXPECT_TRUE(everyCentroidInside(t, *path));
  EXPECT_NEAR(exactArea(t), 100, 1e-9);
  path->setWindingRule(EvenOddWindingRule);
  const auto odd = phase2(*path);
  EXPECT_TRUE(everyCentroidInside(odd, *path));
  EXPECT_LT(exactArea(odd), 100);
}

// A long, very flat ellipse, finely flattened, beside an open subpath far below it: the points
// crowd a sliver of heights (the containment test's strips used to hold them all in one, and
// points along the outline flipped the whole chain each), and the fill is still the polygon's.
TEST(PathTriangulationRegression, FlatEllipseBesideAnOpenSubpath) {
  const double k = 0.5523, rx = 5e4, ry = 20;
  auto oval = BezierPath::bezierPath();
  oval->moveToPoint({rx, 0});
  oval->curveToPoint({0, ry}, {rx, k * ry}, {k * rx, ry});
  oval->curveToPoint({-rx, 0}, {-k * rx, ry}, {-rx, k * ry});
  oval->curveToPoint({0, -ry}, {-rx, -k * ry}, {-k * rx, -ry});
  oval->curveToPoint({rx, 0}, {k * rx, -ry}, {rx, -k * ry});
  oval->closePath();
  auto path = oval->bezierPathByFlatteningPathWithFlatness(1e-4);
  double area = 0;  // the flattened outline's, by the shoelace formula
  Point last = path->associatedPoints(0)[0];
  for (size_t i = 1; i < path->elementCount(); ++i)
    for (const Point& p : path->associatedPoints(i)) area += 0.5 * (last.x * p.y - p.x * last.y), last = p;
  ASSERT_GT(path->elementCount(), 2000u);
  path->moveToPoint({0, -1e5});
  path->lineToPoint({-1e5, -2e5});
  const auto t = phase2(*path);
  EXPECT_FALSE(V2DCollectTriangulationInput(*path).covered);
  EXPECT_NEAR(exactArea(t), area, 1e-6 * area);
  EXPECT_TRUE(everyCentroidInside(t, *path));
}

TEST(PathTriangulationRegression, CircleOfCollinearFreeEdgesIsFilled) {
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

std::shared_ptr<BezierPath> glyphs(const char* face, const std::string& text, double flatness, bool reversed = false) {
  auto font = Font::fontWithName(face, 200);
  EXPECT_TRUE(font) << face;
  auto path = BezierPath::bezierPath();
  path->moveToPoint({0, 0});
  if (font) appendBezierPathWithString(*path, text, *font);
  return (reversed ? path->bezierPathByReversingPath() : path)->bezierPathByFlatteningPathWithFlatness(flatness);
}

TEST(PathTriangulationRegression, MirrorImageGlyphsSideBySide) {
  // "d" beside "b" in a serif face: each glyph is the other's mirror image, so their points are
  // cocircular in many fours.
  auto both = glyphs("DejaVuSerif-Bold", "db", 0.01);
  const auto t = phase2(*both);
  EXPECT_NEAR(exactArea(t),
              exactArea(phase2(*glyphs("DejaVuSerif-Bold", "d", 0.01))) +
                  exactArea(phase2(*glyphs("DejaVuSerif-Bold", "b", 0.01))),
              1e-6);
  EXPECT_TRUE(everyCentroidInside(t, *both));
}

TEST(PathTriangulationRegression, SerifCapitalsOnOneBaseline) {
  // Serifs of neighbouring capitals touch and overlap along the baseline and the cap height:
  // rows of collinear points and overlapping constraints. Reversed, as the text patch gives it.
  const std::string capitals = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  auto all = glyphs("DejaVuSerif", capitals, 0.001, true);
  double least = 0;
  const auto t = phase2(*all);
  const double area = exactArea(t, &least);
  // The overlaps count once in the union, twice in the letters' sum.
  double letters = 0;
  for (char c : capitals) letters += exactArea(phase2(*glyphs("DejaVuSerif", std::string(1, c), 0.001, true)));
  EXPECT_LE(area, letters);
  EXPECT_GT(area, 0.999 * letters);
  EXPECT_GT(least, 0);
  EXPECT_TRUE(everyCentroidInside(t, *all));
}

}  // namespace
}  // namespace vellum
