// Paths from point lists: "Vellum Vector With Line Structure" joins points with lines (one
// polyline, or separate segments), "Vellum Vector With Curve Structure" with cubic curves.
#pragma once

#include "host/Patch.h"
#include "path/Assemble.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathWithLineStructurePatch : public Patch {
 public:
  explicit V2DBezierPathWithLineStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // bezierPathWithPoints (path/Assemble.h), which both point-structure patches use.
  static constexpr auto& _bezierPathWithPoints = bezierPathWithPoints;

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
