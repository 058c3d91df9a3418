#include "patches/operators/PathOperatorPatches.h"

#include "path/AffineTransform.h"

namespace vellum {

// --- transform ---------------------------------------------------------------------------

V2DBezierPathTransformPatch::V2DBezierPathTransformPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Transform", "name");
  inputScaleX.setDoubleValue(1);
  inputScaleY.setDoubleValue(1);
}

AffineTransform V2DBezierPathTransformPatch::transformWith(double translateX, double translateY, double scaleX,
                                                           double scaleY, double rotateDegrees) {
  // Each call acts before those already there, so the rotation, added last, acts first.
  AffineTransform transform = AffineTransform::transform();
  transform.translateXBy(translateX, translateY);
  transform.scaleXBy(scaleX, scaleY);
  transform.rotateByDegrees(rotateDegrees);
  return transform;
}

bool V2DBezierPathTransformPatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  if (!path) {
    outputBezierPath.setBezierPathValue(nullptr);
    return true;
  }
  auto copy = path->copy();
  copy->transformUsingAffineTransform(transformWith(inputTranslateX.doubleValue(), inputTranslateY.doubleValue(),
                                                    inputScaleX.doubleValue(), inputScaleY.doubleValue(),
                                                    inputRotateDegrees.doubleValue()));
  outputBezierPath.setBezierPathValue(std::move(copy));
  return true;
}

// --- reverse -----------------------------------------------------------------------------

V2DBezierPathReversePatch::V2DBezierPathReversePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Reverse", "name");
}

bool V2DBezierPathReversePatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  outputBezierPath.setBezierPathValue(path ? path->bezierPathByReversingPath() : nullptr);
  return true;
}

// --- close -------------------------------------------------------------------------------

V2DBezierPathClosePatch::V2DBezierPathClosePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Close", "name");
}

bool V2DBezierPathClosePatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  if (!path) {
    outputBezierPath.setBezierPathValue(nullptr);
    return true;
  }
  auto copy = path->copy();
  copy->closePath();
  outputBezierPath.setBezierPathValue(std::move(copy));
  return true;
}

// --- flatten -----------------------------------------------------------------------------

V2DBezierPathFlattenPatch::V2DBezierPathFlattenPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Flatten", "name");
  setUpFlatnessPort(inputFlatness);
}

bool V2DBezierPathFlattenPatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  outputBezierPath.setBezierPathValue(path ? path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue())
                                           : nullptr);
  return true;
}

// --- bounds ------------------------------------------------------------------------------

V2DBezierPathBoundsPatch::V2DBezierPathBoundsPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Bounds", "name");
}

bool V2DBezierPathBoundsPatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  const Rect r = path && path->elementCount() > 0 ? path->bounds() : Rect{};
  outputX.setDoubleValue(r.origin.x);
  outputY.setDoubleValue(r.origin.y);
  outputWidth.setDoubleValue(r.size.width);
  outputHeight.setDoubleValue(r.size.height);
  return true;
}

}  // namespace vellum
