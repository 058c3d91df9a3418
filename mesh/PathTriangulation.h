// A path's inside as triangles (a flat mesh at constant z facing +z), by a constrained Delaunay
// triangulation: the triangle structure patch's mesh and the extrusion's caps.
#pragma once

#include <vector>

#include "mesh/PlanarGraph.h"
#include "mesh/V2DMeshStructure.h"
#include "path/BezierPath.h"

namespace vellum {

// Phase 1's output: the vertices and constraints collected from the path's committed runs, in
// the order they were made, each constraint with its multiplicity (runs a -> b minus runs
// b -> a over the whole path). When some segment the path's containment test looks at is not a
// constraint (an open subpath's closing line, a dropped run), `covered` is false and
// `segments` holds every segment of the path (x0, y0, x1, y1) for the outside test.
struct V2DTriangulationInput {
  std::vector<Point> vertices;
  std::vector<mesh::Constraint> constraints;
  std::vector<double> segments;
  bool covered = true;
};

V2DTriangulationInput V2DCollectTriangulationInput(const BezierPath& path);

// Phase 2: vertices (the input's, then any the triangulation added) and three indices per
// triangle, counter-clockwise. Empty when the path gives no triangles (non-finite or
// out-of-range coordinates).
struct V2DTriangulation {
  std::vector<Point> vertices;
  std::vector<uint32_t> triangles;
};

V2DTriangulation triangulateWithConstraints(const V2DTriangulationInput& input, bool evenOdd, bool conform);

// Both phases on a path: flattened within `flatness`, its inside by its own winding rule (with
// `conform`, constraint segments split until none is encroached). Empty beyond
// kMaxTriangulatedSegments.
V2DTriangulation triangulateBezierPath(const BezierPath& path, double flatness, bool conform);

// A path with more line segments than this (after flattening) gives no triangles: a memory
// budget, with the extrusion's (the triangulator takes about 145 bytes a vertex, the mesh 144
// bytes a triangle).
inline constexpr uint64_t kMaxTriangulatedSegments = uint64_t{1} << 20;
// Line and close elements of a path, which become constraint segments and walls.
uint64_t V2DLineSegmentCount(const BezierPath& path);

// The shared operation: appends the path's triangles to `triangles` (corners at z = zOffset,
// normal (0, 0, 1); with `backfaces` the triangles in reverse order with reversed corners and
// normal (0, 0, -1)). `triangleIndices` is left unchanged. The path is expected flattened.
// Nothing is appended beyond kMaxTriangulatedSegments.
void _triangleStructureForBezierPath(const BezierPath* path, bool conform, float zOffset, bool backfaces,
                                     V2DTriangleList& triangles, V2DTriangleIndexMap& triangleIndices);

}  // namespace vellum
