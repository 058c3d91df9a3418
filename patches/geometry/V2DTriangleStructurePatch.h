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

  static constexpr auto& _triangleStructureForBezierPath = vellum::_triangleStructureForBezierPath;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  BooleanPort inputConforming{this, "inputConforming"};
  StructurePort outputLines{this, "outputLines"};
};

}  // namespace vellum
