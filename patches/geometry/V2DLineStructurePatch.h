// "Vellum Line Structure With Vector": a path's flattened segments as a list of 3D points in the
// plane z = 0, two members (start, end) per segment.
#pragma once

#include "host/Patch.h"
#include "mesh/Solids.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DLineStructurePatch : public Patch {
 public:
  explicit V2DLineStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // lineStructureForBezierPath (mesh/Solids.h).
  static constexpr auto& _lineStructureForBezierPath = lineStructureForBezierPath;

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  StructurePort outputLines{this, "outputLines"};
};

}  // namespace vellum
