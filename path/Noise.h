// The noise walk: every point of a path, control points included, displaced by an offset drawn
// from a generator such as POSIX random().
#pragma once

#include <functional>

#include "path/BezierPath.h"

namespace vellum {

// One displacement for amount `amount`, from one draw: the low 23 bits r give
// (r * e - 0.5) * amount in single precision, e being the float of bit pattern 0x34000001.
float noiseDisplacement(long draw, float amount);
// The amount as the formula uses it: converted to single precision; an amount that is not
// finite there (NaN, infinities, doubles beyond the float range) displaces nothing.
float noiseAmount(double amount);

// A copy of `path` with each point moved by one draw for x, then one for y. A curve draws for
// its second control point, its end point, then its first control point; a close draws nothing.
std::shared_ptr<BezierPath> noisyBezierPath(const BezierPath& path, float xAmount, float yAmount,
                                            const std::function<long()>& draw);

}  // namespace vellum
