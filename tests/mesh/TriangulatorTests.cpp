#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "mesh/Triangulator.h"
#include "text/Font.h"
#include "text/TextOutlines.h"
#include "tests/support/FilledArea.h"

namespace vellum::mesh {
namespace {

TEST(Predicates, CocircularPointsNearTheLimitAreExact) {
  // Points of x^2 + y^2 = (5k)^2 at the largest scale the triangulator uses: the in-circle
  // determinant is exactly zero, and a step of one unit in or out decides it.
  const int64_t k = (int64_t{1} << 52) / 5 - 7;
  const GridPoint a{5 * k, 0}, b{4 * k, 3 * k}, c{0, 5 * k}, d{-3 * k, 4 * k};
  EXPECT_EQ(inCircle(a, b, c, d), 0);
  EXPECT_EQ(inCircle(a, b, c, {d.x + 1, d.y}), 1);
  EXPECT_EQ(inCircle(a, b, c, {d.x - 1, d.y}), -1);
  EXPECT_EQ(inCircle(b, c, a, {-4 * k, -3 * k}), 0);
  // Collinear to the last unit at the same scale.
  const GridPoint p{-(int64_t{1} << 52), 3}, q{int64_t{1} << 52, 5};
  EXPECT_EQ(orientation(p, q, {0, 4}), 0);
  EXPECT_EQ(orientation(p, q, {1 << 20, 4}), -1);
  EXPECT_EQ(orientation(p, q, {0, 5}), 1);
}

// An outline as points and constraints, checked against the slab oracle.
struct Outline {
  std::vector<double> xy;
  std::vector<Constraint> constraints;
  std::vector<test::Segment> segments;

  void ring(const std::vector<std::pair<double, double>>& points, int runs = 1) {
    const auto first = uint32_t(xy.size() / 2);
    for (auto [x, y] : points) xy.insert(xy.end(), {x, y});
    for (uint32_t i = 0; i < points.size(); ++i) {
      const uint32_t a = first + i, b = first + (i + 1) % uint32_t(points.size());
      constraints.push_back({a, b, runs});
      for (int r = 0; r < std::abs(runs); ++r)
        segments.push_back(runs > 0 ? test::Segment{xy[2 * a], xy[2 * a + 1], xy[2 * b], xy[2 * b + 1]}
                                    : test::Segment{xy[2 * b], xy[2 * b + 1], xy[2 * a], xy[2 * a + 1]});
    }
  }
};

double triangleArea(const Outline& o, const Triangulation& t, double* least) {
  const size_t n = o.xy.size() / 2;
  auto at = [&](uint32_t i, int axis) { return i < n ? o.xy[2 * i + axis] : t.newPoints[2 * (i - n) + axis]; };
  double sum = 0;
  *least = INFINITY;
  for (size_t i = 0; i < t.triangles.size(); i += 3) {
    const uint32_t a = t.triangles[i], b = t.triangles[i + 1], c = t.triangles[i + 2];
    const double s = 0.5 * ((at(b, 0) - at(a, 0)) * (at(c, 1) - at(a, 1)) - (at(b, 1) - at(a, 1)) * (at(c, 0) - at(a, 0)));
    sum += s;
    *least = std::min(*least, s);
  }
  return sum;
}

// Every invariant of the whole triangulation, before and after refinement; the kept triangles'
// area against the oracle, with and without refinement, under both rules.
void verify(const Outline& o, const std::string& name) {
  SCOPED_TRACE(name);
  for (InsertionOrder order : {InsertionOrder::AlongSegments, InsertionOrder::PointsFirst}) {
    ConstrainedDelaunay cdt(o.xy, o.constraints, order);
    EXPECT_EQ(cdt.check(), "") << "order " << int(order);
    std::vector<uint8_t> kept = cdt.selectInside(FillRule::NonZero, {}, o.xy);
    cdt.refine(kept, 4 * o.xy.size() + 1000);
    EXPECT_EQ(cdt.check(), "") << "order " << int(order) << " after refinement";
  }
  for (bool evenOdd : {false, true})
    for (bool conform : {false, true}) {
      TriangulationOptions options;
      options.rule = evenOdd ? FillRule::EvenOdd : FillRule::NonZero;
      options.conform = conform;
      // Each order on alternate cases, to keep the run short.
      options.order = conform == evenOdd ? InsertionOrder::PointsFirst : InsertionOrder::AlongSegments;
      const Triangulation t = triangulate(o.xy, o.constraints, options);
      double least = 0;
      const double area = triangleArea(o, t, &least), expected = test::filledArea(o.segments, evenOdd);
      // Crossings and midpoints are rounded to a grid of 2^31 steps, far finer than the single
      // precision corners are written in.
      EXPECT_NEAR(area, expected, 1e-7 * std::max(1.0, expected)) << "even-odd " << evenOdd << " conform " << conform;
      if (!t.triangles.empty()) {
        EXPECT_GT(least, 0);
      }
    }
}

std::vector<std::pair<double, double>> star(int n, double r0, double r1, unsigned seed, double cx = 0, double cy = 0) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> radius(r0, r1);
  std::vector<std::pair<double, double>> ring;
  for (int i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n, r = radius(rng);
    ring.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
  }
  return ring;
}

TEST(Triangulator, RandomPolygonsWithHoles) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    Outline o;
    o.ring(star(200, 50, 100, seed));
    auto hole = star(60, 10, 40, seed + 100);
    std::reverse(hole.begin(), hole.end());
    o.ring(hole);
    verify(o, "seed " + std::to_string(seed));
  }
}

TEST(Triangulator, SelfCrossingOutlines) {
  for (unsigned seed = 1; seed <= 20; ++seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 100);
    std::vector<std::pair<double, double>> ring;
    for (int i = 0; i < 40; ++i) ring.push_back({u(rng), u(rng)});
    Outline o;
    o.ring(ring, int(seed % 3) + 1);
    o.ring(star(30, 5, 60, seed, 50, 50), -1);
    verify(o, "seed " + std::to_string(seed));
  }
}

TEST(Triangulator, DegenerateInput) {
  struct Case {
    const char* name;
    std::vector<std::vector<std::pair<double, double>>> rings;
  };
  const std::vector<Case> cases = {
      {"duplicate points", {{{0, 0}, {0, 0}, {4, 0}, {4, 0}, {4, 4}, {0, 4}}}},
      {"the same square twice", {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{0, 0}, {4, 0}, {4, 4}, {0, 4}}}},
      {"a corner on the other's edge", {{{0, 0}, {4, 0}, {2, 3}}, {{2, 0}, {3, -2}, {1, -2}}}},
      {"partly overlapping sides", {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{4, 1}, {6, 1}, {6, 3}, {4, 3}}}},
      {"collinear points and a spike", {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {3, 3}, {2, 3}, {2, 6}, {2, 3}, {0, 3}}}},
      {"all on one line", {{{0, 0}, {1, 1}, {2, 2}, {3, 3}}}},
      {"pentagram", {{{0, 1}, {0.5878, -0.809}, {-0.9511, 0.309}, {0.9511, 0.309}, {-0.5878, -0.809}}}},
      {"crossings through vertices", {{{0, 0}, {4, 4}, {4, 0}, {0, 4}}, {{2, 0}, {2, 4}, {1, 2}}}},
  };
  for (const Case& c : cases) {
    Outline o;
    for (const auto& r : c.rings) o.ring(r);
    verify(o, c.name);
  }
}

TEST(Triangulator, CocircularGridsAndStaircases) {
  // Every grid point of a 30 x 30 square as a vertex of its outline or alone inside it.
  Outline grid;
  std::vector<std::pair<double, double>> side;
  for (int i = 0; i < 30; ++i) side.push_back({double(i), 0});
  for (int i = 0; i < 30; ++i) side.push_back({30, double(i)});
  for (int i = 30; i > 0; --i) side.push_back({double(i), 30});
  for (int i = 30; i > 0; --i) side.push_back({0, double(i)});
  grid.ring(side);
  for (int x = 1; x < 30; ++x)
    for (int y = 1; y < 30; ++y) grid.xy.insert(grid.xy.end(), {double(x), double(y)});
  verify(grid, "grid");
  for (unsigned seed : {38u, 159u, 198u, 213u, 292u}) {
    std::mt19937 rng(seed);
    std::vector<std::pair<double, double>> ring{{0, 0}};
    int x = 0, y = 0;
    for (int i = 0, steps = 5 + int(rng() % 40); i < steps; ++i) {
      const int dx = 1 + int(rng() % 4), dy = 1 + int(rng() % 4);
      for (int k = 1; k <= dx; ++k) ring.push_back({double(x + k), double(y)});
      x += dx;
      for (int k = 1; k <= dy; ++k) ring.push_back({double(x), double(y + k)});
      y += dy;
    }
    for (int k = x - 1; k >= 0; --k) ring.push_back({double(k), double(y)});
    for (int k = y - 1; k >= 1; --k) ring.push_back({0, double(k)});
    Outline o;
    o.ring(ring);
    verify(o, "staircase " + std::to_string(seed));
  }
}

TEST(Triangulator, GlyphOutlinesOfEveryFace) {
  const char* faces[] = {"DejaVuSans", "DejaVuSans-Bold", "DejaVuSans-Oblique", "DejaVuSerif", "DejaVuSerif-Bold",
                         "DejaVuSerif-Italic", "DejaVuSansMono", "DejaVuSansCondensed-Bold", "LiberationSans",
                         "LiberationSans-BoldItalic", "LiberationSerif", "LiberationSerif-Bold", "LiberationMono-Italic"};
  for (const char* face : faces) {
    auto font = Font::fontWithName(face, 200);
    ASSERT_TRUE(font) << face;
    auto path = BezierPath::bezierPath();
    path->moveToPoint({0, 0});
    appendBezierPathWithString(*path, "db@8&gQ", *font);
    const auto flat = path->bezierPathByFlatteningPathWithFlatness(0.05);
    Outline o;
    std::vector<std::pair<double, double>> ring;
    for (auto e = flat->enumerator(); auto element = e.next();) {
      const Point p = element->points[0];
      if (element->type == uint64_t(BezierPathElement::MoveTo)) ring = {{p.x, p.y}};
      else if (element->type == uint64_t(BezierPathElement::LineTo)) ring.push_back({p.x, p.y});
      else if (ring.size() >= 3) o.ring(ring), ring.clear();
    }
    verify(o, face);
  }
}

TEST(Triangulator, PointsNearTheDoubleLimitBesideSmallOnes) {
  // Found by fuzzing: the small points merge on the grid, the segments cross, and the edge
  // search after a flip met the enclosing triangle's open ring.
  const std::vector<double> xy = {236.1875, -20, -9.6717420388060839e+307, -3.031404109767826e+307,
                                  -3.031404109767826e+307, -3.0314041097678181e+307, -3.0314041093604471e+307, -195.9375,
                                  -20, 1.2555475504332697e+308, 1, -20, 115.25, -3.0315347397483846e+307,
                                  -4.8571861998623656e+307, -16, 199.9375, 142.125, -136.8125, 154.875,
                                  -3.031404109767826e+307, -3.031404109767826e+307, -3.0314041097803978e+307, -10};
  std::vector<Constraint> constraints;
  auto ring = [&](std::vector<uint32_t> r, int32_t runs) {
    for (size_t i = 0; i < r.size(); ++i) constraints.push_back({r[i], r[(i + 1) % r.size()], runs});
  };
  ring({11, 2, 6, 1, 9, 5, 3, 3, 3, 3, 4, 9}, 1);
  ring({7, 6, 0, 6, 3}, 0);
  ring({4, 6, 0, 8, 8, 5, 8, 8, 8, 8, 8, 8}, -1);
  ConstrainedDelaunay cdt(xy, constraints);
  EXPECT_EQ(cdt.check(), "");
  const Triangulation t = triangulate(xy, constraints);
  for (uint32_t i : t.triangles) EXPECT_LT(i, xy.size() / 2 + t.newPoints.size() / 2);
}

TEST(Triangulator, NewPointsAtTheEdgeOfTheDoubleRangeStayFinite) {
  // Found by fuzzing: a refinement point at the bottom edge, rounded to the grid and back, came
  // out past the largest double.
  const std::vector<double> xy = {2.7113838189898679e+307, 1.4227855464201577e+308, -1.5509509398812142e+307,
                                  -1.797693134819377e+308, 2.7270164849517713e+307, 1.3118755136208186e+304,
                                  1.6425980408741943e+308, -1.7976931348623099e+308};
  const std::vector<Constraint> constraints = {{3, 0, 1}, {0, 1, 1}, {1, 3, 1}, {3, 2, -2}, {2, 3, -2}};
  for (InsertionOrder order : {InsertionOrder::AlongSegments, InsertionOrder::PointsFirst}) {
    TriangulationOptions options;
    options.rule = FillRule::EvenOdd;
    options.conform = true;
    options.order = order;
    const Triangulation t = triangulate(xy, constraints, options);
    EXPECT_FALSE(t.newPoints.empty());
    for (double c : t.newPoints) EXPECT_TRUE(std::isfinite(c)) << "order " << int(order);
  }
}

TEST(Triangulator, RefinementLeavesNoKeptConstraintEncroached) {
  Outline o;
  o.ring({{0, 0}, {20, 0}, {20, 1}, {11, 1}, {10, 8}, {9, 1}, {0, 1}});
  ConstrainedDelaunay cdt(o.xy, o.constraints);
  std::vector<uint8_t> kept = cdt.selectInside(FillRule::NonZero, {}, o.xy);
  const size_t before = cdt.vertexCount();
  cdt.refine(kept, 10000);
  EXPECT_GT(cdt.vertexCount(), before);
  for (uint32_t h = 0; h < cdt.halfedgeCount(); ++h) {
    if (!kept[h / 3] || !cdt.isConstraint(h)) continue;
    const GridPoint a = cdt.point(cdt.vertex(h)), b = cdt.point(cdt.vertex(ConstrainedDelaunay::next(h))),
                    c = cdt.point(cdt.vertex(ConstrainedDelaunay::prev(h)));
    EXPECT_GE(double(a.x - c.x) * double(b.x - c.x) + double(a.y - c.y) * double(b.y - c.y), 0);
  }
}

}  // namespace
}  // namespace vellum::mesh
