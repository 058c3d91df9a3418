#include "patches/sources/V2DBezierPathWithPointStructurePatches.h"

namespace vellum {

namespace {

// The path, or nothing when it has no element.
BezierPathRef nonEmpty(std::shared_ptr<BezierPath> path) { return path->isEmpty() ? nullptr : path; }

}  // namespace

// --- line structure --------------------------------------------------------------------------

V2DBezierPathWithLineStructurePatch::V2DBezierPathWithLineStructurePatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Line Structure", "name");
  inputType.setMaxIndexValue(1);
}

bool V2DBezierPathWithLineStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  const StructureRef lines = inputLines.structureValue();
  outputBezierPath.setBezierPathValue(nonEmpty(_bezierPathWithPoints(
      lines.get(), inputX.doubleValue(), inputY.doubleValue(), false, inputType.indexValue() != 0,
      inputRelative.booleanValue())));
  return true;
}

// --- curve structure -------------------------------------------------------------------------

V2DBezierPathWithCurveStructurePatch::V2DBezierPathWithCurveStructurePatch(const std::string& identifier)
    : Patch(identifier) {
  userInfo().setMember("Vellum Vector With Curve Structure", "name");
}

bool V2DBezierPathWithCurveStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  const StructureRef curves = inputCurves.structureValue();
  outputBezierPath.setBezierPathValue(nonEmpty(V2DBezierPathWithLineStructurePatch::_bezierPathWithPoints(
      curves.get(), inputX.doubleValue(), inputY.doubleValue(), true, false, inputRelative.booleanValue())));
  return true;
}

}  // namespace vellum
