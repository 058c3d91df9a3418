// Solids from flattened paths: the line list, the walls and caps of an extrusion, a lathe; and
// the grid of vertices through a list of paths.
#pragma once

#include <cstdint>
#include <vector>

#include "host/Structure.h"
#include "mesh/V2DMeshStructure.h"
#include "path/BezierPath.h"

namespace vellum {

// For each line and close element of the (flattened) path, in order: (previous x, previous y,
// 0) and (x, y, 0), each an unkeyed list of three numbers, unrounded; a close ends at its
// subpath's move point. A segment with a coordinate that is not finite is left out, so no NaN
// or infinity is ever written. An absent path gives an empty list. Stored as number rows.
Structure lineStructureForBezierPath(const BezierPath* path);

// The walls of a flattened path, appended in path order (a close's wall ends at its subpath's
// move point); registered in `triangleIndices` when `smooth`. A wall that would have no area
// once written (its two ends on the same stored position, or a depth that rounds to 0) is left
// out, as is a wall with a corner that cannot be written as a finite number.
void extrusionWalls(const BezierPath* path, float depth, bool smooth, V2DTriangleList& triangles,
                    V2DTriangleIndexMap& triangleIndices);

// The front cap (at z = depth) and/or the back cap (at z = 0) of a flattened path, from one
// triangulation: the back cap is the front cap's triangles in reverse order with reversed
// corners, which is what triangulating again with back faces gives. The front cap's records are
// appended at once; the back cap's are returned, to be appended after the walls.
V2DTriangleList extrusionCaps(const BezierPath* path, bool conform, float depth, bool front, bool back,
                              V2DTriangleList& triangles);

// The most triangles one lathe may make: the mesh structure costs about 2 KB per
// triangle, so this bounds it near 512 MB. A step count that would pass it is lowered so that
// the whole angle range is still covered, in fewer, larger steps.
inline constexpr uint64_t kMaxLatheTriangles = uint64_t{1} << 18;

// The revolution: angles in degrees, the number of steps, the caps, and smoothed normals.
struct LatheSweep {
  double begin = 0, end = 0;
  uint64_t steps = 0;
  bool topCap = false, bottomCap = false, smooth = false;
};

// Appends the lathe of a flattened path through `sweep`. A close's segment ends at its
// subpath's move point; the bottom cap is made at the segment numbered E - 2, E the path's
// element count (the last segment of a single open profile).
// Begin or end angles that are not finite, or whose step is not, give no triangles. A triangle
// without area (a cap around a point on the axis, a zero-length segment, a zero angle step) or
// with a corner that cannot be written as a finite number is left out.
void latheBezierPath(const BezierPath* path, const LatheSweep& sweep, V2DTriangleList& triangles,
                     V2DTriangleIndexMap& triangleIndices);

// The most vertices one grid may hold (512 x 512): each vertex is a structure of nine numbers,
// about 1 KB, so this bounds the grid near 256 MB.
inline constexpr uint64_t kMaxGridVertices = uint64_t{1} << 18;

// The width actually used for `rows` paths: `width` lowered so that (width + 1) * rows vertices
// fit in kMaxGridVertices; 0 when not even two per row fit (no grid).
uint64_t gridEffectiveWidth(uint64_t width, uint64_t rows);

// One row per path: the path resampled as one polyline at `width` equal steps (its own
// vertices not kept), every element's point in order. A row with a point that is not finite
// is left empty, like the row of a path without elements.
std::vector<std::vector<Point>> gridRowsForBezierPaths(const std::vector<BezierPathRef>& paths, uint64_t width,
                                                       double flatness);

// The grid structure of at least one row: "vertex_0", "vertex_1", ... row by row, each keyed x, y,
// z (0), u = j / (width + 1), v = i / (number of rows) and opaque white r, g, b, a; then "width"
// and "height" (the number of rows less one).
Structure gridStructureFromRows(const std::vector<std::vector<Point>>& rows, uint64_t width);

}  // namespace vellum
