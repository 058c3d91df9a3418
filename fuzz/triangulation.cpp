// Triangulation of fuzzed polygons: phase 1 (collecting vertices and constraints from the
// path) in process, phase 2 through the GTS worker process, kept small so that each input
// costs a few milliseconds. Triangles must index existing vertices, and vertices be finite.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "patches/geometry/V2DTriangleStructurePatch.h"

using namespace vellum;

namespace {

[[noreturn]] void fail(const char* what) {
  fprintf(stderr, "triangulation: %s\n", what);
  abort();
}

Point point(FuzzedDataProvider& in, bool grid) {
  if (grid) return {double(in.ConsumeIntegralInRange<int>(-6, 6)), double(in.ConsumeIntegralInRange<int>(-6, 6))};
  if (in.ConsumeIntegralInRange<int>(0, 31) == 0) return {fuzz::number(in), fuzz::number(in)};
  return {fuzz::finiteNumber(in), fuzz::finiteNumber(in)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool evenOdd = in.ConsumeBool(), conform = in.ConsumeBool(), grid = in.ConsumeBool();
  BezierPath path;
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, 40);
  for (size_t i = 0; i < n && in.remaining_bytes(); ++i) {
    const int kind = path.hasCurrentPoint() ? in.ConsumeIntegralInRange<int>(0, 7) : 0;
    if (kind == 0) path.moveToPoint(point(in, grid));
    else if (kind == 7) path.closePath();
    else if (kind == 6) path.curveToPoint(point(in, grid), point(in, grid), point(in, grid));
    else path.lineToPoint(point(in, grid));
  }
  path.setWindingRule(evenOdd ? EvenOddWindingRule : NonZeroWindingRule);
  auto flat = path.bezierPathByFlatteningPath();

  const V2DTriangulationInput input = V2DCollectTriangulationInput(*flat);
  for (const auto& c : input.constraints)
    if (c.a >= input.vertices.size() || c.b >= input.vertices.size()) fail("constraint index");
  if (input.segments.size() % 4 != 0) fail("segment list");

  const V2DTriangulation result = triangulateWithConstraints(input, evenOdd, conform);
  if (result.triangles.size() % 3 != 0) fail("triangle list");
  for (uint32_t index : result.triangles)
    if (index >= result.vertices.size()) fail("triangle index");
  if (!result.triangles.empty())
    for (const Point& p : result.vertices)
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) fail("vertex not finite");
  return 0;
}
