// "Vellum Lathe With Vector": a surface of revolution. The flattened path is a profile in the x-y
// plane revolved about the y axis through an angle range in a number of steps; each profile
// segment sweeps a band of two triangles per step, and optional caps close the solid with fans
// around the axis. Normals can be smoothed.
#pragma once

#include <cstdint>

#include "host/Log.h"
#include "host/Patch.h"
#include "mesh/Solids.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DLatheTriangleStructurePatch : public Patch {
 public:
  static constexpr uint64_t kMaxTriangles = kMaxLatheTriangles;

  explicit V2DLatheTriangleStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // latheBezierPath (mesh/Solids.h) with the sweep the ports give.
  void _latheStructureForBezierPath(const BezierPath* path, V2DTriangleList& triangles,
                                    V2DTriangleIndexMap& triangleIndices) const {
    latheBezierPath(path,
                    {inputAngleBegin.doubleValue(), inputAngleEnd.doubleValue(), inputAngleSteps.indexValue(),
                     inputTopCap.booleanValue(), inputBottomCap.booleanValue(), inputSmooth.indexValue() != 0},
                    triangles, triangleIndices);
  }

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  NumberPort inputAngleBegin{this, "inputAngleBegin"};
  NumberPort inputAngleEnd{this, "inputAngleEnd"};
  IndexPort inputAngleSteps{this, "inputAngleSteps"};
  BooleanPort inputTopCap{this, "inputTopCap"};
  BooleanPort inputBottomCap{this, "inputBottomCap"};
  IndexPort inputSmooth{this, "inputSmooth"};
  StructurePort outputTriangles{this, "outputTriangles"};

 private:
  LogOnce complain_;
};

}  // namespace vellum
