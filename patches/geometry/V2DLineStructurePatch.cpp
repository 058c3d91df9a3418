#include "patches/geometry/V2DLineStructurePatch.h"

#include <cmath>

#include "mesh/SolidGeometry.h"

namespace vellum {

V2DLineStructurePatch::V2DLineStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Line Structure With Vector", "name");
  inputFlatness.setMinDoubleValue(0.0001);
  inputFlatness.setDoubleValue(0.01);
}

Structure V2DLineStructurePatch::_lineStructureForBezierPath(const BezierPath* path) {
  std::vector<double> numbers;
  if (!path) return {};
  auto finite = [](Point p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  solids::forEachSegment(*path, [&](Point previous, Point q) {
    if (!finite(previous) || !finite(q)) return;
    numbers.insert(numbers.end(), {previous.x, previous.y, 0.0, q.x, q.y, 0.0});
  });
  return Structure::withNumberRows(3, std::move(numbers));
}

bool V2DLineStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  Structure lines;
  if (const auto path = inputBezierPath.bezierPathValue())
    lines = _lineStructureForBezierPath(path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue()).get());
  outputLines.setStructureValue(std::move(lines));
  return true;
}

}  // namespace vellum
