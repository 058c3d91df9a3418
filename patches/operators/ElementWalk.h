// A fast walk over a path's elements that hands out the same points as the element enumerator
// (a close carries the first point of the subpath it closes), without a record per element.
// Internal to the operator patches.
#pragma once

#include "path/BezierPath.h"

namespace vellum::operators {

struct ElementWalk {
  const detail::PathData& d;
  Point subpathPoint{};
  bool startSubpath = true;

  explicit ElementWalk(const BezierPath& path) : d(path.data()) {}

  size_t size() const { return d.size(); }
  uint8_t kind(size_t i) const { return d.kinds[i]; }
  // The element's end point as the enumerator gives it; call once per element, in order.
  Point next(size_t i) {
    const uint8_t kind = d.kinds[i];
    const Point* q = d.points.data() + d.offsets[i];
    if (kind == detail::kClose) {
      startSubpath = true;
      return subpathPoint;
    }
    if (kind == detail::kMove) subpathPoint = q[0];
    startSubpath = false;
    return q[detail::kPointCount[kind] - 1];
  }
};

}  // namespace vellum::operators
