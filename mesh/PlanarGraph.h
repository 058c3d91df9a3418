// Turns points and constraint segments into a clean planar graph: distinct vertices, and
// segments that meet only at shared endpoints. Coordinates are moved to an integer grid of
// 2^31 steps across the input's extent, where orientation tests are exact; then, until nothing
// changes, segments are split at every vertex lying inside them and at every crossing (the
// crossing point rounded to the grid), and equal segments are merged with their
// multiplicities added. The triangulator needs this only for input whose segments cross.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/Predicates.h"

namespace vellum::mesh {

// A constraint segment between two points, with how often the outline runs from a to b less
// how often it runs from b to a.
struct Constraint {
  uint32_t a, b;
  int32_t multiplicity;
};

inline constexpr int64_t kGridHalfExtent = int64_t{1} << 30;

// Input coordinates are (grid / scale) + centre; the scale is a power of two.
struct GridMap {
  double centerX = 0, centerY = 0, scale = 1;

  GridPoint toGrid(double x, double y) const;
  double toX(int64_t gx) const { return double(gx) / scale + centerX; }
  double toY(int64_t gy) const { return double(gy) / scale + centerY; }
};

// The map that puts the extent of `count` points (2 * count finite doubles) within
// +-kGridHalfExtent.
GridMap gridMapFor(const double* xy, size_t count);

struct PlanarGraph {
  std::vector<GridPoint> vertices;  // distinct
  // The first input vertex that fell on each vertex, or -1 for a crossing point made here.
  std::vector<int64_t> origin;
  // Segments as (a, b, multiplicity from a to b), a < b, distinct, never of zero length.
  std::vector<Constraint> edges;
  GridMap map;
  // False when crossings were still being found after the round limit, or past the budget.
  bool clean = true;
  // True when the segments cross more than kMaxCrossings times: the graph is left unfinished.
  bool overBudget = false;
};

// Crossings are vertices of the result, and a few thousand segments drawn at random cross
// millions of times: past this many new vertices the clean-up stops.
inline constexpr size_t kMaxCrossings = size_t{1} << 22;

// Whether the segments (a, b) over `vertices` meet only at shared endpoints: no proper
// crossing, no vertex strictly inside a segment, no coincident vertices. Exact, O(n log n).
bool segmentsMeetOnlyAtEndpoints(const std::vector<GridPoint>& vertices, const std::vector<Constraint>& edges);

// `xy` holds 2 * count finite doubles. Constraints refer to input vertices; indices out of
// range are ignored.
PlanarGraph makePlanarGraph(const double* xy, size_t count, const Constraint* constraints, size_t constraintCount);

}  // namespace vellum::mesh
