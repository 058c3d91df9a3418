// "Vellum Triangle Structure With Vector": fills a path's inside with triangles
// (mesh/PathTriangulation.h).
#pragma once

#include "host/Patch.h"
#include "mesh/PathTriangulation.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DTriangleStructurePatch : public Patch {
 public:
  explicit V2DTriangleStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  static void _triangleStructureForBezierPath(const BezierPath* path, bool conform, float zOffset, bool backfaces,
                                              V2DTriangleList& triangles, V2DTriangleIndexMap& triangleIndices) {
    vellum::_triangleStructureForBezierPath(path, conform, zOffset, backfaces, triangles, triangleIndices);
  }

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  BooleanPort inputConforming{this, "inputConforming"};
  StructurePort outputLines{this, "outputLines"};
};

}  // namespace vellum
