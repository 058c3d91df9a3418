// Constrained Delaunay triangulation of points and segments given in flat arrays, and the
// selection of the triangles inside the region the segments bound under a winding rule.
//
// Points are mapped to an integer grid of 2^31 steps across their extent (see GridMap), where
// every orientation and in-circle test is exact. Points equal on the grid become one vertex,
// segments through vertices are split at them, and overlapping and crossing segments are
// ordinary input (crossings become new points). Each segment carries a multiplicity, how often
// the outline runs from a to b less how often it runs from b to a; the inside is where the
// winding number, the sum of the multiplicities crossed on the way in from outside, is inside
// under the fill rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "mesh/PlanarGraph.h"
#include "mesh/Predicates.h"

namespace vellum::mesh {

enum class FillRule { NonZero, EvenOdd };

// How points go in. The mesh is a valid constrained Delaunay triangulation either way; the
// choice only changes speed (and, among equally Delaunay diagonals, which one is taken).
// Automatic takes PointsFirst when the median segment is shorter than the spacing of as many
// points spread over their bounding box (flattened curves), else AlongSegments.
enum class InsertionOrder { Automatic, AlongSegments, PointsFirst };

struct TriangulationOptions {
  FillRule rule = FillRule::NonZero;
  InsertionOrder order = InsertionOrder::Automatic;
  // Split constraint segments that a vertex of the kept region encroaches (lies strictly
  // inside the circle on the segment as diameter) until none is, adding at most
  // min(4 n + 1000, 2 000 000) points for n input points.
  bool conform = false;
  // When not empty: segments (x0, y0, x1, y1) whose winding number at a triangle's centroid
  // decides whether the triangle is kept, for outlines not wholly among the constraints.
  std::span<const double> windingSegments;
};

struct Triangulation {
  std::vector<double> newPoints;    // x, y of points made here; their indices follow the input's
  std::vector<uint32_t> triangles;  // three point indices per triangle, counter-clockwise
};

// `xy` holds 2 * n finite coordinates. Constraints with an index out of range are ignored.
Triangulation triangulate(std::span<const double> xy, std::span<const Constraint> constraints,
                          const TriangulationOptions& options = {});

// The triangulation behind `triangulate`, whole (the enclosing triangle's corners included),
// on its grid: for tests and fuzzing, which check its invariants.
class ConstrainedDelaunay {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  ConstrainedDelaunay(std::span<const double> xy, std::span<const Constraint> constraints,
                      InsertionOrder order = InsertionOrder::Automatic);

  // Empty when every invariant holds, else the first one found broken: twins are mutual and
  // run the other way, every triangle turns counter-clockwise with non-zero area, the
  // triangles tile the enclosing triangle, every constraint is a chain of constraint edges
  // along its segment, and every other edge is locally Delaunay.
  std::string check() const;

  // Half-edge h runs from vertex(h) to vertex(next(h)) in triangle h / 3, counter-clockwise.
  size_t halfedgeCount() const { return corner_.size(); }
  uint32_t vertex(uint32_t h) const { return corner_[h]; }
  uint32_t twin(uint32_t h) const { return twin_[h]; }
  bool isConstraint(uint32_t h) const { return fixed_[h] != 0; }
  GridPoint point(uint32_t v) const { return points_[v]; }
  size_t vertexCount() const { return points_.size(); }
  // The input point a vertex stands for, or kNone for the enclosing corners and new points.
  uint32_t origin(uint32_t v) const { return origin_[v]; }
  // False only when crossings could not all be resolved on the grid (after many rounds of
  // splitting, or past kMaxCrossings), so that some constraint is only partly placed.
  bool complete() const { return complete_; }

  // Per triangle, whether it is inside; the triangles on the enclosing corners never are.
  std::vector<uint8_t> selectInside(FillRule rule, std::span<const double> windingSegments, std::span<const double> xy) const;
  // Splits constraint edges of kept triangles that the kept triangle's third corner encroaches,
  // at their midpoints, adding at most `limit` points; `kept` follows the triangles.
  void refine(std::vector<uint8_t>& kept, size_t limit);

  static uint32_t next(uint32_t h) { return h % 3 == 2 ? h - 2 : h + 1; }
  static uint32_t prev(uint32_t h) { return h % 3 == 0 ? h + 2 : h - 1; }

 private:
  friend Triangulation triangulate(std::span<const double>, std::span<const Constraint>, const TriangulationOptions&);

  void reset(size_t vertexCapacity);
  uint32_t addVertex(GridPoint p, uint32_t origin);
  uint32_t addTriangle();
  void setTriangle(uint32_t t, uint32_t a, uint32_t b, uint32_t c);
  void link(uint32_t h, uint32_t outer);
  void join(uint32_t h, uint32_t g);
  void markConstraint(uint32_t h, int32_t runs);

  enum class Where { Inside, OnEdge, OnVertex };
  Where locate(GridPoint p, uint32_t& halfedge);
  uint32_t insertPoint(uint32_t v);  // the vertex p stands on (v, or the one it duplicates)
  void splitTriangle(uint32_t t, uint32_t v);
  void splitEdge(uint32_t h, uint32_t v);
  void legalize(uint32_t h);
  bool insertConstraint(uint32_t a, uint32_t b, int32_t runs);
  uint32_t flip(uint32_t h);
  uint32_t findEdge(uint32_t x, uint32_t y) const;
  bool build(std::span<const GridPoint> points, std::span<const uint32_t> origins,
             std::span<const Constraint> constraints, InsertionOrder order, bool stopAtCrossing);

  double coordinate(uint32_t v, int axis, std::span<const double> xy) const;

  std::vector<GridPoint> points_;
  std::vector<uint32_t> origin_;
  std::vector<uint32_t> corner_;      // start vertex of each half-edge
  std::vector<uint32_t> twin_;        // the half-edge the other way, kNone on the outer boundary
  std::vector<int32_t> runs_;         // multiplicity along each half-edge's direction
  std::vector<uint8_t> fixed_;        // constraint half-edges
  std::vector<uint32_t> vertexEdge_;  // a half-edge starting at each vertex
  std::vector<Constraint> inserted_;  // the constraints as placed, on vertices
  GridMap map_;
  bool complete_ = true;
  bool overBudget_ = false;  // crossings past kMaxCrossings: no triangles
  uint32_t last_ = 0;                 // where the next point search starts
  uint32_t walkSeed_ = 0;
  uint64_t flips_ = 0;
  bool delaunay_ = false;  // no constraint yet: a walk in fixed order cannot cycle
  std::vector<uint8_t>* kept_ = nullptr;  // while refining: kept triangles, kept up to date

  // Scratch space, kept between calls to save allocations.
  std::vector<uint32_t> stack_;  // edges to legalize
  std::vector<std::pair<uint32_t, uint32_t>> crossing_, fresh_;  // edges as vertex pairs
};

}  // namespace vellum::mesh
