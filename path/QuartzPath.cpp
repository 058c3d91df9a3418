#include "path/QuartzPath.h"

#include <cairo.h>

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

void QuartzPath::appendTo(cairo_t* cr) const {
  const Point* pts = d_.points.data();
  for (size_t i = 0; i < d_.size(); ++i) {
    const Point* q = pts + d_.offsets[i];
    switch (d_.kinds[i]) {
      case detail::kMove: cairo_move_to(cr, q[0].x, q[0].y); break;
      case detail::kLine: cairo_line_to(cr, q[0].x, q[0].y); break;
      case detail::kCurve: cairo_curve_to(cr, q[0].x, q[0].y, q[1].x, q[1].y, q[2].x, q[2].y); break;
      default: cairo_close_path(cr); break;
    }
  }
}

}  // namespace vellum
