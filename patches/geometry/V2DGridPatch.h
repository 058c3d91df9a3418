// "Vellum Grid With Vector": a grid of vertices from a list of paths. Each path, resampled to
// W + 1 evenly spaced points, becomes one row; every vertex carries its position, texture
// coordinates u = j / (W + 1) and v = i / (H + 1), and opaque white.
#pragma once

#include "host/Patch.h"
#include "mesh/Solids.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DGridPatch : public Patch {
 public:
  explicit V2DGridPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // gridRowsForBezierPaths (mesh/Solids.h).
  static constexpr auto& _gridRowsForBezierPaths = gridRowsForBezierPaths;

  StructurePort inputBezierPaths{this, "inputBezierPaths"};
  IndexPort inputWidth{this, "inputWidth"};
  NumberPort inputFlatness{this, "inputFlatness"};
  StructurePort outputGrid{this, "outputGrid"};
};

}  // namespace vellum
