#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

TEST(PlanarGraph, OrientationIsExact) {
  const GridPoint a{0, 0}, b{int64_t{1} << 39, (int64_t{1} << 39) - 1}, c{(int64_t{1} << 39) - 1, (int64_t{1} << 39) - 2};
  EXPECT_EQ(orientation(a, b, c), -orientation(a, c, b));
  EXPECT_NE(orientation(a, b, c), 0);
  EXPECT_EQ(orientation(a, {2, 2}, {5, 5}), 0);
}

}  // namespace
}  // namespace vellum
