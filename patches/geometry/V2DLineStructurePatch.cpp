#include "patches/geometry/V2DLineStructurePatch.h"

namespace vellum {

V2DLineStructurePatch::V2DLineStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Line Structure With Vector", "name");
  setUpFlatnessPort(inputFlatness);
}

bool V2DLineStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  Structure lines;
  if (const auto path = inputBezierPath.bezierPathValue())
    lines = _lineStructureForBezierPath(path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue()).get());
  outputLines.setStructureValue(std::move(lines));
  return true;
}

}  // namespace vellum
