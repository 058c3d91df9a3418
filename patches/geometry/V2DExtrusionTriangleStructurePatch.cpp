#include "patches/geometry/V2DExtrusionTriangleStructurePatch.h"

#include <algorithm>
#include <cmath>

#include "mesh/PathTriangulation.h"
#include "mesh/SolidGeometry.h"

namespace vellum {

using namespace solids;

V2DExtrusionTriangleStructurePatch::V2DExtrusionTriangleStructurePatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Extrusion With Vector", "name");
  inputFlatness.setMinDoubleValue(0.0001);
  inputFlatness.setDoubleValue(0.01);
  inputFrontCap.setBooleanValue(true);
  inputBackCap.setBooleanValue(true);
  inputDepth.setMinDoubleValue(0);
  inputDepth.setDoubleValue(1.0);
  inputSmooth.setMaxIndexValue(1);
}

void V2DExtrusionTriangleStructurePatch::_extrusionStructureForBezierPath(const BezierPath* path, float d,
                                                                          V2DTriangleList& triangles,
                                                                          V2DTriangleIndexMap& triangleIndices) const {
  if (!path) return;
  const bool s = inputSmooth.indexValue() != 0;
  // With no thickness once written, the walls are lines; the two caps already close the sheet.
  if (!std::isfinite(d) || V2DVector3Rounded({0, 0, d}).z == 0) return;
  V2DTriangleIndexMap* map = s ? &triangleIndices : nullptr;
  forEachSegment(*path, [&](Point previous, Point q) {
    const float px = float(previous.x), py = float(previous.y), cx = float(q.x), cy = float(q.y);
    const V2DVector3 p0{px, py, 0}, c0{cx, cy, 0}, c1{cx, cy, d}, p1{px, py, d};
    // A wall whose ends are one stored position has no area; leaving it out keeps the solid
    // closed (its neighbours already meet there).
    V2DVector3 n1, n2;
    if (storable(p1) && storable(c1) && !(V2DVector3Rounded(p0) == V2DVector3Rounded(c0)) &&
        faceNormal(p0, c0, c1, n1) && faceNormal(c1, p1, p0, n2)) {
      V2DAppendTriangle(triangles, map, p0, c0, c1, n1, s);
      V2DAppendTriangle(triangles, map, c1, p1, p0, n2, s);
    }
  });
}

V2DTriangleList V2DExtrusionTriangleStructurePatch::_capsForBezierPath(const BezierPath* path, bool conform,
                                                                       float depth, bool front, bool back,
                                                                       V2DTriangleList& triangles) {
  V2DTriangleList backCap;
  if (!path || (!front && !back)) return backCap;
  V2DTriangleIndexMap unused;
  if (!front) {
    _triangleStructureForBezierPath(path, conform, 0.0f, true, backCap, unused);
    return backCap;
  }
  const size_t first = triangles.size();
  _triangleStructureForBezierPath(path, conform, depth, false, triangles, unused);
  if (!back) return backCap;
  backCap.reserve(triangles.size() - first);
  for (size_t i = triangles.size(); i-- > first;) {
    V2DTriangleRecord r = triangles[i];
    std::swap(r.corners[0], r.corners[2]);
    for (V2DVector3& c : r.corners) c.z = 0;
    r.normal = {0, 0, -1};
    backCap.push_back(r);
  }
  return backCap;
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
