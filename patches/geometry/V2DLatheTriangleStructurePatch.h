// "Vellum Lathe With Vector": a surface of revolution. The flattened path is a profile in the x-y
// plane revolved about the y axis through an angle range in a number of steps; each profile
// segment sweeps a band of two triangles per step, and optional caps close the solid with fans
// around the axis. Normals can be smoothed.
#pragma once

#include <cstdint>

#include "host/Log.h"
#include "host/Patch.h"
#include "mesh/V2DMeshStructure.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DLatheTriangleStructurePatch : public Patch {
 public:
  // The most triangles one execution may make: the mesh structure costs about 2 KB per
  // triangle, so this bounds it near 512 MB. A step count that would pass it is lowered so that
  // the whole angle range is still covered, in fewer, larger steps.
  static constexpr uint64_t kMaxTriangles = uint64_t{1} << 18;

  explicit V2DLatheTriangleStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // Appends the lathe of a flattened path, reading the angle, step, cap and smoothing ports. A
  // close's segment ends at its subpath's move point; the bottom cap is made at the segment
  // numbered E - 2, E the path's element count (the last segment of a single open profile).
  // Begin or end angles that are not finite, or whose step is not, give no triangles. A triangle
  // without area (a cap around a point on the axis, a zero-length segment, a zero angle step) or
  // with a corner that cannot be written as a finite number is left out.
  void _latheStructureForBezierPath(const BezierPath* path, V2DTriangleList& triangles,
                                    V2DTriangleIndexMap& triangleIndices) const;

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
