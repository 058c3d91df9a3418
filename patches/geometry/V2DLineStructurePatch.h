// "Vellum Line Structure With Vector": a path's flattened segments as a list of 3D points in the
// plane z = 0, two members (start, end) per segment.
#pragma once

#include <vector>

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DLineStructurePatch : public Patch {
 public:
  explicit V2DLineStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // For each line and close element of the (flattened) path, in order: (previous x, previous y,
  // 0) and (x, y, 0), each an unkeyed list of three numbers, unrounded; a close ends at its
  // subpath's move point. A segment with a coordinate that is not finite is left out, so no NaN
  // or infinity is ever written. An absent path gives an empty list. Stored as number rows.
  static Structure _lineStructureForBezierPath(const BezierPath* path);

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  StructurePort outputLines{this, "outputLines"};
};

}  // namespace vellum
