#include "patches/geometry/V2DGridPatch.h"

#include <algorithm>
#include <cmath>

#include "path/Resample.h"

namespace vellum {

V2DGridPatch::V2DGridPatch(const std::string& identifier) : Patch(identifier) {
  userInfo().setMember("Vellum Grid With Vector", "name");
  setUpFlatnessPort(inputFlatness);
  inputWidth.setIndexValue(2);
}

std::vector<std::vector<Point>> V2DGridPatch::_gridRowsForBezierPaths(const std::vector<BezierPathRef>& paths,
                                                                      uint64_t width, double flatness) {
  std::vector<std::vector<Point>> rows;
  rows.reserve(paths.size());
  for (const BezierPathRef& path : paths) {
    const auto resampled = resampleBezierPath(path.get(), double(width), kNoPointLimit, false, flatness, true);
    std::vector<Point>& row = rows.emplace_back();
    V2DBezierPathEnumerator e = resampled->enumerator();
    while (auto element = e.next()) {
      const Point p = element->points[0];
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        row.clear();
        break;
      }
      row.push_back(p);
    }
  }
  return rows;
}

uint64_t V2DGridPatch::_effectiveWidth(uint64_t width, uint64_t rows) {
  if (rows == 0 || kMaxVertices / rows < 2) return 0;
  return std::min(width, kMaxVertices / rows - 1);
}

bool V2DGridPatch::execute(ExecutionContext*, double, const Arguments&) {
  // Members that are not paths are skipped, so the rows and "height" agree.
  std::vector<BezierPathRef> paths;
  if (const StructureRef members = inputBezierPaths.structureValue())
    for (const Structure::Member& m : *members)
      if (auto path = m.value.objectAs<BezierPath>()) paths.push_back(std::move(path));
  const uint64_t m = paths.size();
  const uint64_t w = _effectiveWidth(inputWidth.indexValue(), m);
  if (m < 2 || w == 0) {
    outputGrid.setObject(Value());
    return true;
  }
  const uint64_t h = m - 1;

  const auto rows = _gridRowsForBezierPaths(paths, w, inputFlatness.doubleValue());
  static const Structure::Keys vertexKeys = KeyTable::of({"x", "y", "z", "u", "v", "r", "g", "b", "a"});
  std::vector<Value> vertices;
  vertices.reserve((w + 1) * m);
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = 0; j < rows[i].size(); ++j)
      vertices.push_back(Value(std::make_shared<const Structure>(
          std::vector<Value>{rows[i][j].x, rows[i][j].y, 0.0, double(j) / double(w + 1), double(i) / double(h + 1), 1.0,
                             1.0, 1.0, 1.0},
          vertexKeys)));
  auto grid = std::make_shared<Structure>(std::move(vertices), "vertex_");
  grid->setMember(Value(w), "width");
  grid->setMember(Value(h), "height");
  outputGrid.setObject(Value(std::move(grid)));
  return true;
}

}  // namespace vellum
