// "Vellum Extrusion With Vector": a path swept along z from 0 to the depth. Each outline segment
// becomes a wall of two triangles; the path's inside, triangulated, closes the solid at z = depth
// (front cap, facing +z) and z = 0 (back cap, facing -z). Walls can be smoothed across corners.
#pragma once

#include "host/Patch.h"
#include "mesh/Solids.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DExtrusionTriangleStructurePatch : public Patch {
 public:
  // Depths are limited to this: beyond it a wall's single-precision corners and normals could
  // not be written as finite numbers. A depth that is not a number counts as 0.
  static constexpr float kMaxDepth = 1e30f;
  // A path with more line segments than this (after flattening) gives an empty solid: the
  // working lists and the mesh of 2^20 segments (2^21 wall triangles, as many again in caps)
  // stay within about 1.5 GB. The caps' triangulation has the same limit.
  static constexpr uint64_t kMaxExtrudedSegments = uint64_t{1} << 20;

  explicit V2DExtrusionTriangleStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // extrusionWalls and extrusionCaps (mesh/Solids.h), the walls smoothed as inputSmooth says.
  void _extrusionStructureForBezierPath(const BezierPath* path, float depth, V2DTriangleList& triangles,
                                        V2DTriangleIndexMap& triangleIndices) const {
    extrusionWalls(path, depth, inputSmooth.indexValue() != 0, triangles, triangleIndices);
  }
  static constexpr auto& _capsForBezierPath = extrusionCaps;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  BooleanPort inputConforming{this, "inputConforming"};
  NumberPort inputDepth{this, "inputDepth"};
  BooleanPort inputFrontCap{this, "inputFrontCap"};
  BooleanPort inputBackCap{this, "inputBackCap"};
  IndexPort inputSmooth{this, "inputSmooth"};
  StructurePort outputTriangles{this, "outputTriangles"};
};

}  // namespace vellum
