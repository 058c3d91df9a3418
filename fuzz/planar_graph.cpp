// The planar clean-up on fuzzed vertices (many coincident and collinear) and constraints: the
// result must be distinct vertices, distinct edges a < b of non-zero length, and, when it says
// it is clean, no vertex inside an edge and no two edges crossing.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <utility>

#include "fuzz/FuzzSupport.h"
#include "mesh/PlanarGraph.h"

using namespace vellum;
using namespace vellum::mesh;

namespace {

[[noreturn]] void fail(const char* what) {
  fprintf(stderr, "planar graph: %s\n", what);
  abort();
}

bool strictlyInside(GridPoint p, GridPoint a, GridPoint b) {
  if (orientation(a, b, p) != 0 || p == a || p == b) return false;
  return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
         p.y <= std::max(a.y, b.y);
}

bool properlyCross(GridPoint a, GridPoint b, GridPoint c, GridPoint d) {
  const int o1 = orientation(a, b, c), o2 = orientation(a, b, d);
  const int o3 = orientation(c, d, a), o4 = orientation(c, d, b);
  return o1 * o2 < 0 && o3 * o4 < 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const size_t count = in.ConsumeIntegralInRange<size_t>(0, 48);
  const bool smallGrid = in.ConsumeBool();
  std::vector<double> xy;
  for (size_t i = 0; i < 2 * count; ++i)
    xy.push_back(smallGrid ? in.ConsumeIntegralInRange<int>(-4, 4) : fuzz::finiteNumber(in));
  std::vector<Constraint> constraints;
  const size_t m = in.ConsumeIntegralInRange<size_t>(0, 64);
  for (size_t i = 0; i < m && in.remaining_bytes(); ++i) {
    Constraint c;
    c.a = in.ConsumeIntegralInRange<uint32_t>(0, uint32_t(count + 1));
    c.b = in.ConsumeIntegralInRange<uint32_t>(0, uint32_t(count + 1));
    c.multiplicity = in.ConsumeIntegralInRange<int32_t>(-3, 3);
    constraints.push_back(c);
  }

  const PlanarGraph g = makePlanarGraph(xy.data(), count, constraints.data(), constraints.size());

  if (g.origin.size() != g.vertices.size()) fail("origin size");
  std::set<std::pair<int64_t, int64_t>> seen;
  for (const GridPoint& p : g.vertices) {
    if (!seen.insert({p.x, p.y}).second) fail("duplicate vertex");
    if (std::llabs(p.x) > 2 * kGridHalfExtent || std::llabs(p.y) > 2 * kGridHalfExtent) fail("vertex off the grid");
  }
  std::set<std::pair<uint32_t, uint32_t>> edges;
  for (const Constraint& e : g.edges) {
    if (!(e.a < e.b) || e.b >= g.vertices.size()) fail("edge indices");
    if (!edges.insert({e.a, e.b}).second) fail("duplicate edge");
  }
  if (g.clean && g.edges.size() <= 200) {
    for (const Constraint& e : g.edges) {
      for (size_t v = 0; v < g.vertices.size(); ++v)
        if (strictlyInside(g.vertices[v], g.vertices[e.a], g.vertices[e.b])) fail("vertex inside an edge");
      for (const Constraint& f : g.edges)
        if (properlyCross(g.vertices[e.a], g.vertices[e.b], g.vertices[f.a], g.vertices[f.b])) fail("edges cross");
    }
  }
  return 0;
}
