// The triangulator on fuzzed points and closed rings of constraints (many coincident, collinear
// and crossing on a small grid, or anywhere in the double range): the whole triangulation must pass its own
// check, and the triangles kept must cover the area the constraints enclose, by an independent
// slab computation, under both rules and with refinement, whichever order the points go in.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "mesh/Triangulator.h"
#include "tests/support/FilledArea.h"

using namespace vellum;
using namespace vellum::mesh;

namespace {

[[noreturn]] void fail(const std::string& what) {
  fprintf(stderr, "triangulation: %s\n", what.c_str());
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool smallGrid = in.ConsumeBool(), evenOdd = in.ConsumeBool(), conform = in.ConsumeBool();
  const size_t count = in.ConsumeIntegralInRange<size_t>(0, 40);
  std::vector<double> xy;
  for (size_t i = 0; i < 2 * count; ++i)
    xy.push_back(smallGrid ? in.ConsumeIntegralInRange<int>(-5, 5) : fuzz::finiteNumber(in));
  // Closed rings over the points (indices may repeat), so that the winding number is defined.
  std::vector<Constraint> constraints;
  std::vector<test::Segment> segments;
  const size_t rings = count ? in.ConsumeIntegralInRange<size_t>(0, 6) : 0;
  for (size_t r = 0; r < rings && in.remaining_bytes(); ++r) {
    const int32_t runs = in.ConsumeIntegralInRange<int32_t>(-2, 2);
    std::vector<uint32_t> ring(in.ConsumeIntegralInRange<size_t>(2, 12));
    for (uint32_t& v : ring) v = in.ConsumeIntegralInRange<uint32_t>(0, uint32_t(count - 1));
    for (size_t i = 0; i < ring.size(); ++i) {
      const uint32_t a = ring[i], b = ring[(i + 1) % ring.size()];
      constraints.push_back({a, b, runs});
      for (int k = 0; k < std::abs(runs); ++k)
        segments.push_back(runs > 0 ? test::Segment{xy[2 * a], xy[2 * a + 1], xy[2 * b], xy[2 * b + 1]}
                                    : test::Segment{xy[2 * b], xy[2 * b + 1], xy[2 * a], xy[2 * a + 1]});
    }
  }

  for (InsertionOrder order : {InsertionOrder::AlongSegments, InsertionOrder::PointsFirst}) {
    ConstrainedDelaunay cdt(xy, constraints, order);
    if (const std::string broken = cdt.check(); !broken.empty()) fail(broken);

    TriangulationOptions options;
    options.rule = evenOdd ? FillRule::EvenOdd : FillRule::NonZero;
    options.conform = conform;
    options.order = order;
    const Triangulation t = triangulate(xy, constraints, options);
    if (t.triangles.size() % 3 != 0) fail("triangle list");
    const size_t total = count + t.newPoints.size() / 2;
    for (uint32_t index : t.triangles)
      if (index >= total) fail("triangle index");
    for (double c : t.newPoints)
      if (!std::isfinite(c)) fail("new point not finite");
    // The area check only where the grid's rounding stays far below the tolerance.
    if (!smallGrid || !cdt.complete()) continue;
    auto at = [&](uint32_t i, int axis) { return i < count ? xy[2 * i + axis] : t.newPoints[2 * (i - count) + axis]; };
    double area = 0;
    for (size_t i = 0; i < t.triangles.size(); i += 3) {
      const uint32_t a = t.triangles[i], b = t.triangles[i + 1], c = t.triangles[i + 2];
      const double s = (at(b, 0) - at(a, 0)) * (at(c, 1) - at(a, 1)) - (at(b, 1) - at(a, 1)) * (at(c, 0) - at(a, 0));
      if (!(s > 0)) fail("triangle of no area or reversed");
      area += 0.5 * s;
    }
    const double expected = test::filledArea(segments, evenOdd);
    if (std::fabs(area - expected) > 1e-6 * std::max(1.0, expected))
      fail("area " + std::to_string(area) + " where the outline encloses " + std::to_string(expected));
  }
  return 0;
}
