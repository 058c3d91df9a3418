// The renderer-side path: what the renderer draws (render/Renderer.h) and what point containment
// is asked of. A value type; whoever holds it owns it.
#pragma once

#include "host/Value.h"
#include "path/PathGeometry.h"

namespace vellum {

class QuartzPath {
 public:
  QuartzPath() = default;
  explicit QuartzPath(detail::PathData data) : d_(std::move(data)) {}

  void moveToPoint(Point p) { d_.move(p); }
  void addLineToPoint(Point p);
  void addCurveToPoint(Point controlPoint1, Point controlPoint2, Point end);
  void closeSubpath() {
    if (!d_.empty()) d_.close();
  }

  bool isEmpty() const { return d_.empty(); }
  size_t elementCount() const { return d_.size(); }
  // The tight box of the outline; the zero rectangle when empty.
  Rect boundingBox() const;
  // With no transform; open subpaths count as closed.
  bool containsPoint(Point point, bool evenOdd) const { return detail::contains(d_, point, evenOdd); }

  const detail::PathData& data() const { return d_; }

 private:
  detail::PathData d_;
};

}  // namespace vellum
