#include "path/Assemble.h"

namespace vellum {

std::shared_ptr<BezierPath> combineBezierPaths(std::span<const BezierPathRef> paths, bool join) {
  auto result = BezierPath::bezierPath();
  Point current{};
  bool earlierHadElements = false;
  for (const BezierPathRef& path : paths) {
    if (!path || path->isEmpty()) continue;
    V2DBezierPathEnumerator enumerator = path->enumerator();
    bool first = true;
    while (auto e = enumerator.next()) {
      const bool testActive = !first || (join && earlierHadElements);
      first = false;
      if (e->type == uint64_t(BezierPathElement::MoveTo) && testActive && e->points[0] == current) continue;
      switch (e->type) {
        case uint64_t(BezierPathElement::MoveTo):
          result->moveToPoint(e->points[0]);
          current = e->points[0];
          break;
        case uint64_t(BezierPathElement::LineTo):
          result->lineToPoint(e->points[0]);
          current = e->points[0];
          break;
        case uint64_t(BezierPathElement::CurveTo):
          result->curveToPoint(e->points[2], e->points[0], e->points[1]);
          current = e->points[2];
          break;
        default:
          result->closePath();
          current = e->points[0];
          break;
      }
    }
    earlierHadElements = true;
  }
  return result;
}

}  // namespace vellum
