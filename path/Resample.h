// Measuring a path along its drawn length: even resampling and the point at a fraction of the
// length. Lengths count lines and closes (a close draws back to its subpath's start), not moves.
#pragma once

#include <cstdint>
#include <memory>

#include "path/BezierPath.h"

namespace vellum {

// `maxPts` when the caller wants no bound of its own.
inline constexpr uint64_t kNoPointLimit = 4294967295u;
// The most sample targets one call walks past. A sample rate above it is lowered to it when
// `maxPts` does not already bound the result more tightly, so the samples still span the whole
// path evenly; in line-strip mode (where samples run on past the measured length) and for
// degenerate rates the walk simply stops producing samples here. Moves, closes and kept
// vertices are never dropped, so the result holds at most this many samples plus two elements
// per element of the flattened path.
inline constexpr uint64_t kMaxSamples = uint64_t{1} << 20;

// A new path: `path` flattened with `flatness`, then a line to each point at the distances
// L/S, 2L/S, ... along its drawn length L, interleaved in path order with its moves, every
// close and, with `keepOrig`, every vertex. At most `maxPts` samples, closes and kept vertices
// are appended. A rate that is not above 0 (NaN included) gives the single sample at distance
// 0. A path of zero or non-finite length gets no samples. An absent path gives an empty path.
// With `isLineStrip`, moves and closes after the first element count as lines.
std::shared_ptr<BezierPath> resampleBezierPath(const BezierPath* path, double sampleRate, uint64_t maxPts,
                                               bool keepOrig, double flatness, bool isLineStrip);

// The point at fraction `t` of the drawn length: the first point for t <= 0 (and NaN), the end
// of the drawn length for t >= 1; (0, 0) for an absent or empty path.
Point pointOnBezierPath(const BezierPath* path, double t, double flatness);

}  // namespace vellum
