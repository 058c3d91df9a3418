#include "patches/operators/ResamplePatches.h"

namespace vellum {

// --- resample ----------------------------------------------------------------------------

V2DBezierPathResamplePatch::V2DBezierPathResamplePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Resample", "name");
  inputSampleRate.setMinDoubleValue(1);
  inputSampleRate.setDoubleValue(10);
  setUpFlatnessPort(inputFlatness);
}

bool V2DBezierPathResamplePatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  outputBezierPath.setBezierPathValue(_resampleBezierPath(path.get(), inputSampleRate.doubleValue(), kNoPointLimit,
                                                          inputKeepOriginalPoints.booleanValue(),
                                                          inputFlatness.doubleValue(), false));
  return true;
}

// --- intermediate point --------------------------------------------------------------------

V2DBezierPathPointPatch::V2DBezierPathPointPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Intermediate Point", "name");
  setUpFlatnessPort(inputFlatness);
}

bool V2DBezierPathPointPatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  const Point p = _pointOnBezierPath(path.get(), inputT.doubleValue(), inputFlatness.doubleValue());
  outputX.setDoubleValue(p.x);
  outputY.setDoubleValue(p.y);
  return true;
}

// --- contains point ------------------------------------------------------------------------

V2DBezierPathContainsPointPatch::V2DBezierPathContainsPointPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Vector Contains Point", "name");
  inputFillRule.setMaxIndexValue(1);
}

bool V2DBezierPathContainsPointPatch::execute(ExecutionContext*, double, const Arguments&) {
  const auto path = inputBezierPath.bezierPathValue();
  bool contains = false;
  if (path) {
    const QuartzPath quartz = path->quartzPath();
    contains = quartz.containsPoint({inputX.doubleValue(), inputY.doubleValue()}, inputFillRule.indexValue() != 0);
  }
  outputContains.setBooleanValue(contains);
  return true;
}

}  // namespace vellum
