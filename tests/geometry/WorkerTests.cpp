#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <tuple>
#include <vector>

#include "GeometryTestSupport.h"
#include "patches/geometry/GtsWorkerClient.h"
#include "patches/geometry/PlanarGraph.h"

namespace vellum {
namespace {

using namespace vellum::test;
using namespace vellum::triangulation;

TEST(GtsWorker, ExecutableIsFound) {
  const auto exe = GtsWorkerClient::workerExecutable();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe.filename(), "vellum-gts-worker");
}

TEST(GtsWorker, RunsOutsideTheHostProcess) {
  triangulate(*polygonPath({square(0, 0, 1)}));
  const int pid = GtsWorkerClient::shared().workerProcess();
  EXPECT_GT(pid, 0);
  EXPECT_NE(pid, ::getpid());
}

TEST(GtsWorker, AKilledWorkerIsReplaced) {
  auto path = polygonPath({square(0, 0, 10), square(3, 3, 4, false)});
  ASSERT_NEAR(exactArea(phase2(*path)), 84, 1e-9);
  const int before = GtsWorkerClient::shared().workerProcess();
  ASSERT_GT(before, 0);
  // The worker dies as it would when GTS aborts; the next triangulation still succeeds.
  ASSERT_EQ(::kill(before, SIGKILL), 0);
  EXPECT_NEAR(exactArea(phase2(*path)), 84, 1e-9);
  const int after = GtsWorkerClient::shared().workerProcess();
  EXPECT_GT(after, 0);
  EXPECT_NE(after, before);
}

TEST(GtsWorker, AWorkerThatEndsAfterALargeCallIsReplaced) {
  // Past some thousands of vertices the worker answers, then ends instead of freeing the call's
  // objects one by one; the next call starts a new one.
  std::vector<Point> ring;
  const int n = 20000;
  for (int i = 0; i < n; ++i) ring.push_back({std::cos(2 * M_PI * i / n), std::sin(2 * M_PI * i / n)});
  const auto circle = polygonPath({ring});
  triangulate(*polygonPath({square(0, 0, 1)}));
  const int before = GtsWorkerClient::shared().workerProcess();
  ASSERT_GT(before, 0);
  const V2DTriangulation t = phase2(*circle);
  EXPECT_EQ(t.triangles.size(), size_t(3 * (n - 2)));
  EXPECT_EQ(GtsWorkerClient::shared().workerProcess(), 0);
  EXPECT_EQ(triangulate(*polygonPath({square(0, 0, 1)})).size(), 2u);
  const int after = GtsWorkerClient::shared().workerProcess();
  EXPECT_GT(after, 0);
  EXPECT_NE(after, before);
  // The ended worker was reaped, not left behind.
  EXPECT_EQ(::waitpid(before, nullptr, WNOHANG), -1);
}

TEST(GtsWorker, BadRequestIsAnsweredNotFatal) {
  // Non-finite coordinates sent straight to the worker are refused by it.
  const double xy[] = {0, 0, 1, 0, NAN, 1};
  const Constraint c[] = {{0, 1, 1}, {1, 2, 1}, {2, 0, 1}};
  WorkerAnswer answer;
  ASSERT_EQ(GtsWorkerClient::shared().request(0, xy, c, {}, answer), GtsWorkerClient::Outcome::Answered);
  EXPECT_EQ(answer.status, kBadRequest);
  EXPECT_TRUE(answer.triangles.empty());
}

TEST(GtsWorker, StoppedWorkerIsRestartedOnDemand) {
  GtsWorkerClient::shared().stopWorker();
  EXPECT_EQ(GtsWorkerClient::shared().workerProcess(), 0);
  EXPECT_EQ(triangulate(*polygonPath({square(0, 0, 1)})).size(), 2u);
}

TEST(GtsWorker, RotatedAttemptKeepsTheExactGeometry) {
  // The rotation is rounded, so the worker must check the triangles on the exact grid: a
  // square with a hole and a 24-point star with collinear runs on its tips, each way round.
  std::vector<double> xy = {0, 0, 4, 0, 4, 4, 0, 4, 1, 1, 1, 3, 3, 3, 3, 1};
  std::vector<Constraint> c = {{0, 1, 1}, {1, 2, 1}, {2, 3, 1}, {3, 0, 1}, {4, 5, 1}, {5, 6, 1}, {6, 7, 1}, {7, 4, 1}};
  const double holeArea = 16 - 4;
  std::vector<double> star;
  std::vector<Constraint> starEdges;
  for (int i = 0; i < 24; ++i) {
    // Every third point halfway between its neighbours on a straight line.
    const double a = 2 * M_PI * i / 24, r = i % 3 == 0 ? 10 : i % 3 == 1 ? 4 : 7;
    star.insert(star.end(), {std::round(r * std::cos(a) * 64) / 64, std::round(r * std::sin(a) * 64) / 64});
  }
  for (int i = 0; i < 24; i += 3) {
    // Make point i+2 the midpoint of i+1 and i+3: collinear on the grid exactly.
    const int p = i + 1, q = (i + 3) % 24;
    star[2 * (i + 2)] = (star[2 * p] + star[2 * q]) / 2, star[2 * (i + 2) + 1] = (star[2 * p + 1] + star[2 * q + 1]) / 2;
  }
  std::vector<Point> starRing;
  for (uint32_t i = 0; i < 24; ++i) {
    starEdges.push_back({i, (i + 1) % 24, 1});
    starRing.push_back({star[2 * i], star[2 * i + 1]});
  }
  const double starArea = ringArea(starRing);
  for (uint32_t flags : {kVerticesFirst | kRotate, uint32_t(kRotate)}) {
    for (const auto& [points, edges, want] :
         {std::tuple{xy, c, holeArea}, std::tuple{star, starEdges, starArea}}) {
      WorkerAnswer answer;
      ASSERT_EQ(GtsWorkerClient::shared().request(flags, points, edges, {}, answer), GtsWorkerClient::Outcome::Answered);
      ASSERT_EQ(answer.status, kOk) << flags;
      ASSERT_TRUE(answer.newVertices.empty());
      double area = 0, least = INFINITY;
      for (size_t i = 0; i + 2 < answer.triangles.size(); i += 3) {
        const auto at = [&](int k) { return Point{points[2 * answer.triangles[i + k]], points[2 * answer.triangles[i + k] + 1]}; };
        const Point a = at(0), b = at(1), d = at(2);
        const double s = 0.5 * ((b.x - a.x) * (d.y - a.y) - (b.y - a.y) * (d.x - a.x));
        area += s, least = std::min(least, s);
      }
      EXPECT_NEAR(area, want, 1e-9 * want) << flags;
      EXPECT_GT(least, 0) << flags;
    }
  }
}

// ---- the planar clean-up -------------------------------------------------------------------

TEST(PlanarGraph, CrossingSegmentsAreSplitAtTheirCrossing) {
  const double xy[] = {0, 0, 2, 2, 2, 0, 0, 2};
  const Constraint c[] = {{0, 1, 1}, {2, 3, 1}};
  const PlanarGraph g = makePlanarGraph(xy, 4, c, 2);
  EXPECT_TRUE(g.clean);
  ASSERT_EQ(g.vertices.size(), 5u);
  EXPECT_EQ(g.origin[4], -1);
  EXPECT_DOUBLE_EQ(g.toX(g.vertices[4].x), 1.0);
  EXPECT_DOUBLE_EQ(g.toY(g.vertices[4].y), 1.0);
  EXPECT_EQ(g.edges.size(), 4u);
}

TEST(PlanarGraph, VertexOnASegmentSplitsIt) {
  const double xy[] = {0, 0, 4, 0, 2, 0, 2, 3};
  const Constraint c[] = {{0, 1, 1}, {2, 3, 1}};
  const PlanarGraph g = makePlanarGraph(xy, 4, c, 2);
  EXPECT_EQ(g.vertices.size(), 4u);
  EXPECT_EQ(g.edges.size(), 3u);
}

TEST(PlanarGraph, OverlappingCollinearSegmentsMergeWithTheirMultiplicities) {
  // 0-4 forwards and 1-3 backwards: pieces 0-1 (1), 1-3 (1 - 1 = 0), 3-4 (1).
  const double xy[] = {0, 0, 4, 0, 3, 0, 1, 0};
  const Constraint c[] = {{0, 1, 1}, {2, 3, 1}};
  const PlanarGraph g = makePlanarGraph(xy, 4, c, 2);
  ASSERT_EQ(g.edges.size(), 3u);
  int zero = 0, one = 0;
  for (const auto& e : g.edges) {
    const int m = std::abs(e.multiplicity);
    zero += m == 0, one += m == 1;
  }
  EXPECT_EQ(zero, 1);
  EXPECT_EQ(one, 2);
}

TEST(PlanarGraph, NearlyCoincidentPointsFallTogether) {
  const double xy[] = {0, 0, 1, 0, 1, 1e-14, 0, 1};
  const Constraint c[] = {{0, 1, 1}, {1, 2, 1}, {2, 3, 1}, {3, 0, 1}};
  const PlanarGraph g = makePlanarGraph(xy, 4, c, 4);
  EXPECT_EQ(g.vertices.size(), 3u);
  EXPECT_EQ(g.edges.size(), 3u);
}

// The sweep against every pair and every vertex, on small integer grids where vertical,
// collinear, touching and shared-endpoint cases are common.
bool meetOnlyAtEndpointsByPairs(const std::vector<GridPoint>& v, const std::vector<Constraint>& e) {
  auto within = [](GridPoint a, GridPoint b, GridPoint p) {
    return orientation(a, b, p) == 0 && std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) &&
           std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y);
  };
  for (const Constraint& s : e)
    for (uint32_t p = 0; p < v.size(); ++p)
      if (p != s.a && p != s.b && within(v[s.a], v[s.b], v[p])) return false;
  for (size_t i = 0; i < e.size(); ++i)
    for (size_t j = i + 1; j < e.size(); ++j) {
      const Constraint s = e[i], t = e[j];
      if (s.a == t.a || s.a == t.b || s.b == t.a || s.b == t.b) continue;  // overlaps put a vertex inside
      const GridPoint a = v[s.a], b = v[s.b], c = v[t.a], d = v[t.b];
      if (orientation(a, b, c) * orientation(a, b, d) < 0 && orientation(c, d, a) * orientation(c, d, b) < 0) return false;
    }
  return true;
}

TEST(PlanarGraph, SweepAgreesWithTheTestOfEveryPair) {
  std::mt19937 rng(5);
  int clean = 0, meeting = 0;
  for (int round = 0; round < 20000; ++round) {
    const int range = 2 + int(rng() % (round % 2 ? 5 : 30)), count = 2 + int(rng() % 12), segments = 1 + int(rng() % 10);
    // Points far from the origin as well, where the products need the wide arithmetic.
    const int64_t scale = round % 3 ? 1 : (int64_t{1} << 36) - 7;
    std::vector<GridPoint> v;
    for (int i = 0; i < count; ++i) {
      const GridPoint p{int64_t(rng() % range) * scale, int64_t(rng() % range) * scale};
      if (std::find(v.begin(), v.end(), p) == v.end()) v.push_back(p);
    }
    std::vector<Constraint> e;
    for (int i = 0; i < segments; ++i) {
      const uint32_t a = rng() % v.size(), b = rng() % v.size();
      const bool repeated = std::any_of(e.begin(), e.end(), [&](const Constraint& c) {
        return (c.a == a && c.b == b) || (c.a == b && c.b == a);
      });
      if (a != b && !repeated) e.push_back({a, b, 1});
    }
    const bool expected = meetOnlyAtEndpointsByPairs(v, e);
    ASSERT_EQ(segmentsMeetOnlyAtEndpoints(v, e), expected) << "round " << round;
    (expected ? clean : meeting) += 1;
  }
  // Both answers were exercised often.
  EXPECT_GT(clean, 2000);
  EXPECT_GT(meeting, 2000);
}

TEST(PlanarGraph, SimplePolygonNeedsNoSplitting) {
  // A comb: long teeth close to each other, every segment's box overlapping many others.
  std::vector<double> xy;
  for (int i = 0; i < 200; ++i) xy.insert(xy.end(), {double(i), 0.0, double(i) + 0.5, 100.0});
  xy.insert(xy.end(), {200.0, -1.0, -1.0, -1.0});
  std::vector<Constraint> c;
  const uint32_t n = uint32_t(xy.size() / 2);
  for (uint32_t i = 0; i < n; ++i) c.push_back({i, (i + 1) % n, 1});
  const PlanarGraph g = makePlanarGraph(xy.data(), n, c.data(), c.size());
  EXPECT_TRUE(g.clean);
  EXPECT_EQ(g.vertices.size(), size_t(n));
  EXPECT_EQ(g.edges.size(), size_t(n));
}

TEST(PlanarGraph, OrientationIsExact) {
  const GridPoint a{0, 0}, b{int64_t{1} << 39, (int64_t{1} << 39) - 1}, c{(int64_t{1} << 39) - 1, (int64_t{1} << 39) - 2};
  EXPECT_EQ(orientation(a, b, c), -orientation(a, c, b));
  EXPECT_NE(orientation(a, b, c), 0);
  EXPECT_EQ(orientation(a, {2, 2}, {5, 5}), 0);
}

}  // namespace
}  // namespace vellum
