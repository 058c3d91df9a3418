#include "patches/geometry/V2DGridPatch.h"

namespace vellum {

V2DGridPatch::V2DGridPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Grid With Vector", "name");
  setUpFlatnessPort(inputFlatness);
  inputWidth.setIndexValue(2);
}

bool V2DGridPatch::execute(ExecutionContext*, double, const Arguments&) {
  // Members that are not paths are skipped, so the rows and "height" agree.
  std::vector<BezierPathRef> paths;
  if (const StructureRef members = inputBezierPaths.structureValue())
    for (const Structure::Member& m : *members)
      if (auto path = m.value.objectAs<BezierPath>()) paths.push_back(std::move(path));
  // The width is lowered to fit the vertex budget; "width" reports the one used.
  const uint64_t w = gridEffectiveWidth(inputWidth.indexValue(), paths.size());
  if (paths.size() < 2 || w == 0) {
    outputGrid.setObject(Value());
    return true;
  }
  const auto rows = _gridRowsForBezierPaths(paths, w, inputFlatness.doubleValue());
  outputGrid.setObject(Value(std::make_shared<Structure>(gridStructureFromRows(rows, w))));
  return true;
}

}  // namespace vellum
