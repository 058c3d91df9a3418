// Paths from point lists: "Vellum Vector With Line Structure" joins points with lines (one
// polyline, or separate segments), "Vellum Vector With Curve Structure" with cubic curves.
#pragma once

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathWithLineStructurePatch : public Patch {
 public:
  explicit V2DBezierPathWithLineStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // A new path from (x, y) through the entries of `points`. Point entries are structures keyed
  // "X" and "Y" (when drawing lines and the first member has "X") or indexed x, y; curve entries
  // are indexed end point, control point 1, control point 2. Members that are not structures, are
  // too short, or hold a coordinate that is not a number or a numeric string are skipped and do
  // not count as entries.
  static std::shared_ptr<BezierPath> _bezierPathWithPoints(const Structure* points, double x, double y, bool curve,
                                                           bool segments, bool relative);

  NumberPort inputX{this, "inputX"};
  NumberPort inputY{this, "inputY"};
  StructurePort inputLines{this, "inputLines"};
  IndexPort inputType{this, "inputType"};
  BooleanPort inputRelative{this, "inputRelative"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathWithCurveStructurePatch : public Patch {
 public:
  explicit V2DBezierPathWithCurveStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  NumberPort inputX{this, "inputX"};
  NumberPort inputY{this, "inputY"};
  StructurePort inputCurves{this, "inputCurves"};
  BooleanPort inputRelative{this, "inputRelative"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

}  // namespace vellum
