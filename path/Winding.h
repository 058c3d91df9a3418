// The crossing rule every winding number in the project uses.
#pragma once

#include "host/Value.h"

namespace vellum {

// Signed crossing of the ray from p towards +x by the segment a-b; half-open in y so that a
// vertex shared by two segments is counted once.
inline int lineWinding(Point a, Point b, Point p) {
  if (a.y <= p.y) {
    if (b.y > p.y && (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y) > 0) return 1;
  } else if (b.y <= p.y && (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y) < 0) {
    return -1;
  }
  return 0;
}

}  // namespace vellum
