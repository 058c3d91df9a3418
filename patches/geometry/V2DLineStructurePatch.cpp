#include "patches/geometry/V2DLineStructurePatch.h"

#include <cmath>

#include "patches/geometry/SolidGeometry.h"

namespace vellum {

V2DLineStructurePatch::V2DLineStructurePatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Line Structure With Vector", "name");
  inputFlatness.setMinDoubleValue(0.0001);
  inputFlatness.setDoubleValue(0.01);
}

std::vector<Value> V2DLineStructurePatch::_lineStructureForBezierPath(const BezierPath* path) {
  std::vector<Value> lines;
  if (!path) return lines;
  auto finite = [](Point p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  solids::forEachSegment(*path, [&](Point previous, Point q) {
    if (!finite(previous) || !finite(q)) return;
    lines.push_back(Value(std::vector<Value>{previous.x, previous.y, 0.0}));
    lines.push_back(Value(std::vector<Value>{q.x, q.y, 0.0}));
  });
  return lines;
}

bool V2DLineStructurePatch::execute(ExecutionContext*, double, const Arguments&) {
  std::vector<Value> lines;
  if (const auto path = inputBezierPath.bezierPathValue())
    lines = _lineStructureForBezierPath(path->bezierPathByFlatteningPathWithFlatness(inputFlatness.doubleValue()).get());
  outputLines.setStructureValue(Structure::withArray(std::move(lines)));
  return true;
}

}  // namespace vellum
