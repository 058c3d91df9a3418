// Paths from point lists, for the mesh, solids and export suites.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "path/BezierPath.h"

namespace vellum::test {

// One subpath per list: move, lines, and a close when `closed`.
inline std::shared_ptr<BezierPath> polyline(const std::vector<std::vector<Point>>& runs, bool closed = true) {
  auto path = BezierPath::bezierPath();
  for (const auto& run : runs) {
    path->moveToPoint(run[0]);
    for (size_t i = 1; i < run.size(); ++i) path->lineToPoint(run[i]);
    if (closed) path->closePath();
  }
  return path;
}

// One closed subpath per list, filled under `rule`.
inline std::shared_ptr<BezierPath> polygonPath(const std::vector<std::vector<Point>>& rings, int rule = NonZeroWindingRule) {
  auto path = polyline(rings);
  path->setWindingRule(rule);
  return path;
}

inline std::vector<Point> square(double x, double y, double size, bool counterClockwise = true) {
  std::vector<Point> p = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
  if (!counterClockwise) std::swap(p[1], p[3]);
  return p;
}

}  // namespace vellum::test
