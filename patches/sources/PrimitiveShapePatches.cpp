#include "patches/sources/PrimitiveShapePatches.h"

namespace vellum {

namespace {
// A size input: minimum 0 in the editor, 10 to start with.
void setUpSize(NumberPort& port, double initial) {
  port.setMinDoubleValue(0);
  port.setDoubleValue(initial);
}
}  // namespace

// --- arc ---------------------------------------------------------------------------------

V2DBezierPathWithArcPatch::V2DBezierPathWithArcPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Arc", "name");
  setUpSize(inputRadius, 10);
  inputEndDegrees.setDoubleValue(90);
}

bool V2DBezierPathWithArcPatch::execute(ExecutionContext*, double, const Arguments&) {
  auto path = std::make_shared<BezierPath>();
  path->appendBezierPathWithArcWithCenter({inputX.doubleValue(), inputY.doubleValue()}, inputRadius.doubleValue(),
                                          inputStartDegrees.doubleValue(), inputEndDegrees.doubleValue(),
                                          inputClockwise.booleanValue());
  outputBezierPath.setBezierPathValue(std::move(path));
  return true;
}

// --- curve -------------------------------------------------------------------------------

V2DBezierPathWithCurvePatch::V2DBezierPathWithCurvePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Curve", "name");
  inputToPointX.setDoubleValue(10);
  inputToPointY.setDoubleValue(10);
  inputFromControlPointX.setDoubleValue(2);
  inputFromControlPointY.setDoubleValue(12);
  inputToControlPointX.setDoubleValue(9);
  inputToControlPointY.setDoubleValue(4);
}

bool V2DBezierPathWithCurvePatch::execute(ExecutionContext*, double, const Arguments&) {
  auto path = std::make_shared<BezierPath>();
  path->moveToPoint({inputFromPointX.doubleValue(), inputFromPointY.doubleValue()});
  path->curveToPoint({inputToPointX.doubleValue(), inputToPointY.doubleValue()},
                     {inputFromControlPointX.doubleValue(), inputFromControlPointY.doubleValue()},
                     {inputToControlPointX.doubleValue(), inputToControlPointY.doubleValue()});
  outputBezierPath.setBezierPathValue(std::move(path));
  return true;
}

// --- line --------------------------------------------------------------------------------

V2DBezierPathWithLinePatch::V2DBezierPathWithLinePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Line", "name");
  inputToPointX.setDoubleValue(10);
  inputToPointY.setDoubleValue(10);
}

bool V2DBezierPathWithLinePatch::execute(ExecutionContext*, double, const Arguments&) {
  auto path = std::make_shared<BezierPath>();
  path->moveToPoint({inputFromPointX.doubleValue(), inputFromPointY.doubleValue()});
  path->lineToPoint({inputToPointX.doubleValue(), inputToPointY.doubleValue()});
  outputBezierPath.setBezierPathValue(std::move(path));
  return true;
}

// --- oval, rectangle, rounded rectangle --------------------------------------------------

V2DBoxShapePatch::V2DBoxShapePatch(const std::string& identifier, const char* displayName) : Patch(identifier) {
  userInfo().setMember(displayName, "name");
  setUpSize(inputWidth, 10);
  setUpSize(inputHeight, 10);
}

Rect V2DBoxShapePatch::inputRect() const {
  return {{inputX.doubleValue(), inputY.doubleValue()}, {inputWidth.doubleValue(), inputHeight.doubleValue()}};
}

V2DBezierPathWithOvalPatch::V2DBezierPathWithOvalPatch(const std::string& identifier)
    : V2DBoxShapePatch(identifier, "Vellum Vector With Oval") {}

bool V2DBezierPathWithOvalPatch::execute(ExecutionContext*, double, const Arguments&) {
  auto path = std::make_shared<BezierPath>();
  path->appendBezierPathWithOvalInRect(inputRect());
  path->closePath();
  outputBezierPath.setBezierPathValue(std::move(path));
  return true;
}

V2DBezierPathWithRectanglePatch::V2DBezierPathWithRectanglePatch(const std::string& identifier)
    : V2DBoxShapePatch(identifier, "Vellum Vector With Rectangle") {}

bool V2DBezierPathWithRectanglePatch::execute(ExecutionContext*, double, const Arguments&) {
  auto path = std::make_shared<BezierPath>();
  path->appendBezierPathWithRect(inputRect());
  outputBezierPath.setBezierPathValue(std::move(path));
  return true;
}

V2DBezierPathWithRoundedRectanglePatch::V2DBezierPathWithRoundedRectanglePatch(const std::string& identifier)
    : V2DBoxShapePatch(identifier, "Vellum Vector With Rounded Rectangle") {
  setUpSize(inputRadiusX, 1);
  setUpSize(inputRadiusY, 1);
}

bool V2DBezierPathWithRoundedRectanglePatch::execute(ExecutionContext*, double, const Arguments&) {
  auto path = std::make_shared<BezierPath>();
  path->appendBezierPathWithRoundedRect(inputRect(), inputRadiusX.doubleValue(), inputRadiusY.doubleValue());
  outputBezierPath.setBezierPathValue(std::move(path));
  return true;
}

}  // namespace vellum
