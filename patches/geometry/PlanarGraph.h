// Turns the triangulation's vertices and constraint segments into a clean planar input for
// GTS, which aborts on coincident points, on a constraint passing through a vertex, on
// overlapping collinear constraints and drops crossing constraints. Coordinates are moved to
// an integer grid of 2^40 steps across the input's extent, where orientation tests are exact;
// then, until nothing changes, segments are split at every vertex lying inside them and at
// every crossing (the crossing point rounded to the grid), and equal segments are merged with
// their multiplicities added.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "patches/geometry/TriangulationProtocol.h"

namespace vellum::triangulation {

struct GridPoint {
  int64_t x = 0, y = 0;
  friend bool operator==(const GridPoint&, const GridPoint&) = default;
};

inline constexpr int64_t kGridHalfExtent = int64_t{1} << 40;

struct PlanarGraph {
  std::vector<GridPoint> vertices;  // distinct
  // The first input vertex that fell on each vertex, or -1 for a crossing point made here.
  std::vector<int64_t> origin;
  // Segments as (a, b, multiplicity from a to b), a < b, distinct, never of zero length.
  std::vector<Constraint> edges;
  // Input coordinates are (grid / scale) + centre.
  double centerX = 0, centerY = 0, scale = 1;
  // False when crossings were still being found after the round limit.
  bool clean = true;

  double toX(int64_t gx) const { return double(gx) / scale + centerX; }
  double toY(int64_t gy) const { return double(gy) / scale + centerY; }
};

// Sign of the turn a -> b -> c: +1 counter-clockwise, -1 clockwise, 0 collinear. Exact.
int orientation(GridPoint a, GridPoint b, GridPoint c);

// Whether the segments (a, b) over `vertices` meet only at shared endpoints: no proper
// crossing, no vertex strictly inside a segment, no coincident vertices. Exact, O(n log n).
bool segmentsMeetOnlyAtEndpoints(const std::vector<GridPoint>& vertices, const std::vector<Constraint>& edges);

// `xy` holds 2 * count finite doubles. Constraints refer to input vertices; indices out of
// range are ignored.
PlanarGraph makePlanarGraph(const double* xy, size_t count, const Constraint* constraints, size_t constraintCount);

}  // namespace vellum::triangulation
