// The planar clean-up and its crossing sweep, against brute force on small grids where
// coincident points, collinear overlaps and T-junctions are the rule.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>

#include "mesh/PlanarGraph.h"
#include "path/Winding.h"

using namespace vellum;
using namespace vellum::mesh;

namespace {

bool strictlyInside(GridPoint p, GridPoint a, GridPoint b) {
  return orientation(a, b, p) == 0 && !(p == a) && !(p == b) && std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) &&
         std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y);
}

// Every pair and every vertex against every segment.
bool meetOnlyAtEndpointsBruteForce(const std::vector<GridPoint>& v, const std::vector<Constraint>& edges) {
  for (size_t i = 0; i < v.size(); ++i)
    for (size_t j = i + 1; j < v.size(); ++j)
      if (v[i] == v[j]) return false;
  for (const Constraint& e : edges) {
    for (const GridPoint& p : v)
      if (strictlyInside(p, v[e.a], v[e.b])) return false;
    for (const Constraint& f : edges) {
      const GridPoint a = v[e.a], b = v[e.b], c = v[f.a], d = v[f.b];
      if (orientation(a, b, c) * orientation(a, b, d) < 0 && orientation(c, d, a) * orientation(c, d, b) < 0) return false;
    }
  }
  return true;
}

}  // namespace

TEST(CrossingSweep, AgreesWithBruteForceOverTwentyThousandRandomRounds) {
  std::mt19937 rng(2024);
  int clean = 0;
  for (int round = 0; round < 20000; ++round) {
    std::uniform_int_distribution<int> coordinate(-3, 3), count(2, 7);
    std::vector<GridPoint> v(size_t(count(rng)));
    for (GridPoint& p : v) p = {coordinate(rng), coordinate(rng)};
    std::set<std::pair<uint32_t, uint32_t>> pairs;
    std::uniform_int_distribution<uint32_t> index(0, uint32_t(v.size() - 1));
    for (int k = count(rng); k > 0; --k) {
      const uint32_t a = index(rng), b = index(rng);
      if (a != b) pairs.insert({std::min(a, b), std::max(a, b)});
    }
    std::vector<Constraint> edges;
    for (auto [a, b] : pairs) edges.push_back({a, b, 1});
    const bool expected = meetOnlyAtEndpointsBruteForce(v, edges);
    clean += expected;
    ASSERT_EQ(segmentsMeetOnlyAtEndpoints(v, edges), expected) << "round " << round;
  }
  // Both answers come up often enough to matter.
  EXPECT_GT(clean, 2000);
  EXPECT_LT(clean, 18000);
}

// The clean-up's result meets only at endpoints, and every point off the segments keeps its
// winding number: crossings and overlaps are split and merged, never lost or doubled.
TEST(PlanarGraph, CleanAndWindingPreservingOnRandomTangles) {
  std::mt19937 rng(77);
  for (int round = 0; round < 3000; ++round) {
    std::uniform_int_distribution<int> coordinate(-3, 3), count(2, 9), multiplicity(-2, 2);
    std::vector<double> xy(2 * size_t(count(rng)));
    for (double& c : xy) c = coordinate(rng);
    const size_t n = xy.size() / 2;
    std::uniform_int_distribution<uint32_t> index(0, uint32_t(n - 1));
    std::vector<Constraint> input;
    for (int k = count(rng); k > 0; --k) input.push_back({index(rng), index(rng), multiplicity(rng)});
    const PlanarGraph g = makePlanarGraph(xy.data(), n, input.data(), input.size());
    ASSERT_TRUE(g.clean) << "round " << round;
    ASSERT_TRUE(meetOnlyAtEndpointsBruteForce(g.vertices, g.edges)) << "round " << round;
    for (const Constraint& e : g.edges) ASSERT_LT(e.a, e.b);

    // Sample points that no segment between these integer points passes within 1.7e-5 of; the
    // grid moves a crossing by less than 1e-8.
    for (int i = 0; i < 12; ++i)
      for (int j = 0; j < 12; ++j) {
        const double sx = -2.9137 + 0.5231 * i, sy = -2.8711 + 0.4973 * j;
        long before = 0, after = 0;
        for (const Constraint& c : input)
          before += c.multiplicity * lineWinding({xy[2 * c.a], xy[2 * c.a + 1]}, {xy[2 * c.b], xy[2 * c.b + 1]}, {sx, sy});
        const GridPoint q = g.map.toGrid(sx, sy);
        for (const Constraint& e : g.edges)
          after += e.multiplicity * lineWinding({double(g.vertices[e.a].x), double(g.vertices[e.a].y)},
                                                {double(g.vertices[e.b].x), double(g.vertices[e.b].y)},
                                                {double(q.x), double(q.y)});
        ASSERT_EQ(after, before) << "round " << round << " at " << sx << ", " << sy;
      }
  }
}
