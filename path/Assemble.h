// Paths put together from parts: several paths joined into one, and a path through a list of
// points.
#pragma once

#include <memory>
#include <span>

#include "path/BezierPath.h"

namespace vellum {

// The elements of `paths` in order (null and empty paths contribute nothing). A move to the
// current point is dropped, except for the first element of each path, where it is dropped only
// when joining and an earlier path had elements: so with `join`, a path starting where the one
// before it ended continues its subpath.
std::shared_ptr<BezierPath> combineBezierPaths(std::span<const BezierPathRef> paths, bool join);

}  // namespace vellum
