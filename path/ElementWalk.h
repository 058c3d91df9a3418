// The one walk over a path's elements, and the one place the close rule lives: every move
// starts a subpath, and a close ends at the point of the latest move (the start of the subpath
// it closes). Consecutive moves are kept as elements (text and SVG path data begin with one),
// so the latest move, not the first after a close, is the point returned to. The element
// enumerator, the operators, the solids, the renderer and the SVG reader all walk with it.
#pragma once

#include <span>

#include "path/BezierPath.h"

namespace vellum {

class ElementWalk {
 public:
  explicit ElementWalk(const BezierPath& path) : d_(path.data()) {}
  explicit ElementWalk(const QuartzPath& path) : d_(path.data()) {}
  // The path library's own algorithms walk its store directly.
  explicit ElementWalk(const detail::PathData& store) : d_(store) {}

  size_t size() const { return d_.size(); }
  BezierPathElement kind(size_t i) const { return BezierPathElement(d_.kinds[i]); }
  // The element's own points: 1 (move, line), 3 (curve: control point 1, control point 2, end)
  // or none (close).
  std::span<const Point> points(size_t i) const {
    return {d_.points.data() + d_.offsets[i], size_t(detail::kPointCount[d_.kinds[i]])};
  }
  // The element's end point under the close rule; call once per element, in order.
  Point next(size_t i) { return endPoint(kind(i), d_.points.data() + d_.offsets[i], subpathStart_); }
  // The start of the subpath the walk is in.
  Point subpathStart() const { return subpathStart_; }

  // The close rule: the end point of an element with points `q`, keeping `subpathStart`.
  static Point endPoint(BezierPathElement kind, const Point* q, Point& subpathStart) {
    switch (kind) {
      case BezierPathElement::MoveTo: return subpathStart = q[0];
      case BezierPathElement::LineTo: return q[0];
      case BezierPathElement::CurveTo: return q[2];
      default: return subpathStart;
    }
  }

 private:
  const detail::PathData& d_;
  Point subpathStart_{};
};

}  // namespace vellum
