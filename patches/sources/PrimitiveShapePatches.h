// Six sources that build a path from plain numbers: arc, curve, line, oval, rectangle and
// rounded rectangle. Each execution builds a new path; nothing is clamped or reordered.
#pragma once

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DBezierPathWithArcPatch : public Patch {
 public:
  explicit V2DBezierPathWithArcPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  NumberPort inputX{this, "inputX"};
  NumberPort inputY{this, "inputY"};
  NumberPort inputRadius{this, "inputRadius"};
  NumberPort inputStartDegrees{this, "inputStartDegrees"};
  NumberPort inputEndDegrees{this, "inputEndDegrees"};
  BooleanPort inputClockwise{this, "inputClockwise"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathWithCurvePatch : public Patch {
 public:
  explicit V2DBezierPathWithCurvePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  NumberPort inputFromPointX{this, "inputFromPointX"};
  NumberPort inputFromPointY{this, "inputFromPointY"};
  NumberPort inputToPointX{this, "inputToPointX"};
  NumberPort inputToPointY{this, "inputToPointY"};
  NumberPort inputFromControlPointX{this, "inputFromControlPointX"};
  NumberPort inputFromControlPointY{this, "inputFromControlPointY"};
  NumberPort inputToControlPointX{this, "inputToControlPointX"};
  NumberPort inputToControlPointY{this, "inputToControlPointY"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathWithLinePatch : public Patch {
 public:
  explicit V2DBezierPathWithLinePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  NumberPort inputFromPointX{this, "inputFromPointX"};
  NumberPort inputFromPointY{this, "inputFromPointY"};
  NumberPort inputToPointX{this, "inputToPointX"};
  NumberPort inputToPointY{this, "inputToPointY"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

// Oval and rectangle share their ports: a box given by its lower-left corner and size.
class V2DBoxShapePatch : public Patch {
 public:
  explicit V2DBoxShapePatch(const std::string& identifier, const char* displayName);

  NumberPort inputX{this, "inputX"};
  NumberPort inputY{this, "inputY"};
  NumberPort inputWidth{this, "inputWidth"};
  NumberPort inputHeight{this, "inputHeight"};

 protected:
  Rect inputRect() const;
};

class V2DBezierPathWithOvalPatch : public V2DBoxShapePatch {
 public:
  explicit V2DBezierPathWithOvalPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathWithRectanglePatch : public V2DBoxShapePatch {
 public:
  explicit V2DBezierPathWithRectanglePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

class V2DBezierPathWithRoundedRectanglePatch : public V2DBoxShapePatch {
 public:
  explicit V2DBezierPathWithRoundedRectanglePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  NumberPort inputRadiusX{this, "inputRadiusX"};
  NumberPort inputRadiusY{this, "inputRadiusY"};
  V2DBezierPathPort outputBezierPath{this, "outputBezierPath"};
};

}  // namespace vellum
