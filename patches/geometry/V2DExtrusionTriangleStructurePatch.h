// "Vellum Extrusion With Vector": a path swept along z from 0 to the depth. Each outline segment
// becomes a wall of two triangles; the path's inside, triangulated, closes the solid at z = depth
// (front cap, facing +z) and z = 0 (back cap, facing -z). Walls can be smoothed across corners.
#pragma once

#include "host/Patch.h"
#include "mesh/V2DMeshStructure.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DExtrusionTriangleStructurePatch : public Patch {
 public:
  // Depths are limited to this: beyond it a wall's single-precision corners and normals could
  // not be written as finite numbers. A depth that is not a number counts as 0.
  static constexpr float kMaxDepth = 1e30f;
  // A path with more line segments than this (after flattening) gives an empty solid: the
  // working lists and the mesh of 2^20 segments (2^21 wall triangles, as many again in caps)
  // stay within about 1.5 GB. The caps' triangulation has the same limit.
  static constexpr uint64_t kMaxExtrudedSegments = uint64_t{1} << 20;

  explicit V2DExtrusionTriangleStructurePatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // The walls of a flattened path, appended in path order (a close's wall ends at its subpath's
  // move point); registered in `triangleIndices` when
  // `inputSmooth` is not 0. A wall that would have no area once written (its two ends on the same
  // stored position, or a depth that rounds to 0) is left out, as is a wall with a corner that
  // cannot be written as a finite number.
  void _extrusionStructureForBezierPath(const BezierPath* path, float depth, V2DTriangleList& triangles,
                                        V2DTriangleIndexMap& triangleIndices) const;

  // The front cap (at z = depth) and/or the back cap (at z = 0) of a flattened path, from one
  // triangulation: the back cap is the front cap's triangles in reverse order with reversed
  // corners, which is what triangulating again with back faces gives. Execution hands it the
  // flattened path without moves that another move follows. The front cap's records
  // are appended at once; the back cap's are returned, to be appended after the walls.
  static V2DTriangleList _capsForBezierPath(const BezierPath* path, bool conform, float depth, bool front, bool back,
                                            V2DTriangleList& triangles);

  V2DBezierPathPort inputBezierPath{this, "inputBezierPath"};
  NumberPort inputFlatness{this, "inputFlatness"};
  BooleanPort inputConforming{this, "inputConforming"};
  NumberPort inputDepth{this, "inputDepth"};
  BooleanPort inputFrontCap{this, "inputFrontCap"};
  BooleanPort inputBackCap{this, "inputBackCap"};
  IndexPort inputSmooth{this, "inputSmooth"};
  StructurePort outputTriangles{this, "outputTriangles"};
};

}  // namespace vellum
