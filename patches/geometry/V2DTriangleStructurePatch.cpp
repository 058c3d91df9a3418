#include "patches/geometry/V2DTriangleStructurePatch.h"

namespace vellum {

V2DTriangleStructurePatch::V2DTriangleStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Triangle Structure With Vector", "name");
  setUpFlatnessPort(inputFlatness);
}

bool V2DTriangleStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  V2DTriangleList triangles;
  V2DTriangleIndexMap triangleIndices;
  if (const auto path = inputBezierPath.bezierPathValue()) {
    const auto flat = path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue());
    _triangleStructureForBezierPath(flat.get(), inputConforming.booleanValue(), 0.0f, false, triangles, triangleIndices);
  }
  outputLines.setStructureValue(V2DMeshStructureFromTriangles(triangles, triangleIndices, false));
  return true;
}

}  // namespace vellum
