#include "patches/geometry/V2DExtrusionTriangleStructurePatch.h"

#include <algorithm>
#include <cmath>

#include "mesh/PathTriangulation.h"

namespace vellum {

V2DExtrusionTriangleStructurePatch::V2DExtrusionTriangleStructurePatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Extrusion With Vector", "name");
  setUpFlatnessPort(inputFlatness);
  inputFrontCap.setBooleanValue(true);
  inputBackCap.setBooleanValue(true);
  inputDepth.setMinDoubleValue(0);
  inputDepth.setDoubleValue(1.0);
  inputSmooth.setMaxIndexValue(1);
}

bool V2DExtrusionTriangleStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  V2DTriangleList triangles;
  V2DTriangleIndexMap triangleIndices;
  if (const auto path = inputBezierPath.bezierPathValue()) {
    const auto flat = path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue());
    // Beyond the triangulation's limit the caps would be empty; walls alone would not be the
    // solid asked for.
    const uint64_t segments = V2DLineSegmentCount(*flat);
    const bool caps = inputFrontCap.booleanValue() || inputBackCap.booleanValue();
    if (segments > kMaxExtrudedSegments || (caps && segments > kMaxTriangulatedSegments)) {
      outputTriangles.setStructureValue(V2DMeshStructureFromTriangles({}, {}, inputSmooth.indexValue() != 0));
      return true;
    }
    const double depth = inputDepth.doubleValue();
    const float d = std::isnan(depth) ? 0.0f : float(std::clamp(depth, 0.0, double(kMaxDepth)));
    V2DTriangleList backCap = _capsForBezierPath(flat.get(), inputConforming.booleanValue(), d,
                                                 inputFrontCap.booleanValue(), inputBackCap.booleanValue(), triangles);
    _extrusionStructureForBezierPath(flat.get(), d, triangles, triangleIndices);
    triangles.insert(triangles.end(), backCap.begin(), backCap.end());
  }
  outputTriangles.setStructureValue(V2DMeshStructureFromTriangles(triangles, triangleIndices, inputSmooth.indexValue() != 0));
  return true;
}

}  // namespace vellum
