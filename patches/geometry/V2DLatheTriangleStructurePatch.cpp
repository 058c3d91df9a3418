#include "patches/geometry/V2DLatheTriangleStructurePatch.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/PathTriangulation.h"
#include "mesh/SolidGeometry.h"

namespace vellum {

using namespace solids;

V2DLatheTriangleStructurePatch::V2DLatheTriangleStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Lathe With Vector", "name");
  inputFlatness.setMinDoubleValue(0.0001);
  inputFlatness.setDoubleValue(0.01);
  inputSmooth.setMaxIndexValue(1);
}

void V2DLatheTriangleStructurePatch::_latheStructureForBezierPath(const BezierPath* path, V2DTriangleList& triangles,
                                                                  V2DTriangleIndexMap& triangleIndices) const {
  if (!path) return;
  const bool s = inputSmooth.indexValue() != 0;
  const bool topCap = inputTopCap.booleanValue(), bottomCap = inputBottomCap.booleanValue();
  const uint64_t elementCount = path->elementCount();
  const double begin = inputAngleBegin.doubleValue(), end = inputAngleEnd.doubleValue();
  uint64_t steps = inputAngleSteps.indexValue();
  if (steps == 0 || !std::isfinite(begin) || !std::isfinite(end)) return;

  const uint64_t segments = V2DLineSegmentCount(*path);
  if (segments == 0) return;
  const uint64_t perStep = 2 * segments + (topCap ? 1 : 0) + (bottomCap ? 1 : 0);
  steps = std::min(steps, kMaxTriangles / perStep);
  if (steps == 0) return;
  const double delta = (end - begin) / double(steps);
  if (!std::isfinite(delta)) return;

  // The angles of the rings, by repeated addition; every segment revolves through the same ones.
  constexpr double kPi = 3.141592653589793;
  std::vector<double> cosines(steps + 1), sines(steps + 1);
  double angle = begin;
  for (uint64_t k = 0; k <= steps; ++k) {
    const double theta = angle * kPi / 180;
    cosines[k] = std::cos(theta);
    sines[k] = std::sin(theta);
    angle += delta;
  }
  auto revolve = [&](Point p, uint64_t ring) -> V2DVector3 {
    return {float(p.x * cosines[ring]), float(p.y), float(p.x * sines[ring])};
  };

  V2DTriangleIndexMap* map = s ? &triangleIndices : nullptr;
  triangles.reserve(triangles.size() + steps * perStep);
  if (map) map->reserve(map->size() + (segments + 3) * (steps + 1));
  auto append = [&](V2DVector3 a, V2DVector3 b, V2DVector3 c) {
    V2DVector3 n;
    if (storable(a) && storable(b) && storable(c) && faceNormal(a, b, c, n)) V2DAppendTriangle(triangles, map, a, b, c, n, s);
  };

  uint64_t segment = 0;
  forEachSegment(*path, [&](Point p, Point c) {
    const bool top = topCap && segment == 0;
    // The end of the segment numbered E - 2: the last segment of a single open profile.
    const bool bottom = bottomCap && segment + 2 == elementCount;
    const V2DVector3 ap{0, float(p.y), 0}, ac{0, float(c.y), 0};
    const bool bandFromC = std::fabs(c.x) > 0.0001, bandFromP = std::fabs(p.x) > 0.0001;
    for (uint64_t k = 1; k <= steps; ++k) {
      const V2DVector3 p0 = revolve(p, k - 1), p1 = revolve(p, k), c0 = revolve(c, k - 1), c1 = revolve(c, k);
      if (top) append(ap, p1, p0);
      if (bandFromC) append(p0, c1, c0);
      if (bandFromP) append(p1, c1, p0);
      if (bottom) append(c1, ac, c0);
    }
    ++segment;
  });
}

bool V2DLatheTriangleStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  V2DTriangleList triangles;
  V2DTriangleIndexMap triangleIndices;
  if (const auto path = inputBezierPath.bezierPathValue()) {
    // A profile to revolve but no angle to revolve it through makes an empty mesh: say which input.
    const double begin = inputAngleBegin.doubleValue(), end = inputAngleEnd.doubleValue();
    std::string why;
    if (inputAngleSteps.indexValue() == 0)
      why = "inputAngleSteps is 0, so the lathe makes no triangles; give it 1 or more steps";
    else if (begin == end)
      why = "inputAngleBegin and inputAngleEnd are both " + Value(begin).stringValue() +
            ", so the lathe sweeps no angle; set inputAngleEnd to 360 for a full turn";
    if (!why.empty() && !path->isEmpty())
      complain_(why, [&] { return "[V2DLatheTriangleStructurePatch execute:time:arguments:]  " + why + "."; });
    _latheStructureForBezierPath(path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue()).get(),
                                 triangles, triangleIndices);
  }
  outputTriangles.setStructureValue(V2DMeshStructureFromTriangles(triangles, triangleIndices, inputSmooth.indexValue() != 0));
  return true;
}

}  // namespace vellum
