// Paths put together from parts: several paths joined into one, and a path through a list of
// points.
#pragma once

#include <span>

#include "path/BezierPath.h"

namespace vellum {

// The elements of `paths` in order (null and empty paths contribute nothing). A move to the
// current point is dropped, except for the first element of each path, where it is dropped only
// when joining and an earlier path had elements: so with `join`, a path starting where the one
// before it ended continues its subpath.
std::shared_ptr<BezierPath> combineBezierPaths(std::span<const BezierPathRef> paths, bool join);

// A new path from (x, y) through the entries of `points`. Point entries are structures keyed
// "X" and "Y" (when drawing lines and the first member has "X") or indexed x, y; curve entries
// are indexed end point, control point 1, control point 2. Members that are not structures, are
// too short, or hold a coordinate that is no number, boolean or string are skipped and do not
// count as entries (a string reads as its leading number, else 0). With `segments`, every second entry lifts the pen to its point.
std::shared_ptr<BezierPath> bezierPathWithPoints(const Structure* points, double x, double y, bool curve,
                                                 bool segments, bool relative);

}  // namespace vellum
