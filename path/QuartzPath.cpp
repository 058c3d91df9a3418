#include "path/QuartzPath.h"

namespace vellum {

// Without a current point a line or curve starts a subpath at its end, as Cairo does.
void QuartzPath::addLineToPoint(Point p) {
  if (d_.empty())
    d_.move(p);
  else
    d_.line(p);
}

void QuartzPath::addCurveToPoint(Point controlPoint1, Point controlPoint2, Point end) {
  if (d_.empty())
    d_.move(end);
  else
    d_.curve(controlPoint1, controlPoint2, end);
}

Rect QuartzPath::boundingBox() const {
  Rect r;
  return detail::tightBounds(d_, r) ? r : Rect{};
}

}  // namespace vellum
