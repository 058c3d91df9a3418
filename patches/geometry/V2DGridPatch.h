// "Vellum Grid With Vector": a grid of vertices from a list of paths. Each path, resampled to
// W + 1 evenly spaced points, becomes one row; every vertex carries its position, texture
// coordinates u = j / (W + 1) and v = i / (H + 1), and opaque white.
#pragma once

#include <cstdint>
#include <vector>

#include "host/Patch.h"
#include "path/V2DBezierPathPort.h"

namespace vellum {

class V2DGridPatch : public Patch {
 public:
  // The most vertices one grid may hold (512 x 512): each vertex is a structure of nine numbers,
  // about 1 KB, so this bounds the grid near 256 MB.
  static constexpr uint64_t kMaxVertices = uint64_t{1} << 18;
  // The width actually used for `rows` paths: `width` lowered so that (width + 1) * rows vertices
  // fit in kMaxVertices; 0 when not even two per row fit (no grid). "width" reports it.
  static uint64_t _effectiveWidth(uint64_t width, uint64_t rows);

  explicit V2DGridPatch(const std::string& identifier);
  bool execute(ExecutionContext* context, double time, const Arguments& arguments) override;

  // One row per path: the path resampled as one polyline at `width` equal steps (its own
  // vertices not kept), every element's point in order. A row with a point that is not finite
  // is left empty, like the row of a path without elements.
  static std::vector<std::vector<Point>> _gridRowsForBezierPaths(const std::vector<BezierPathRef>& paths,
                                                                 uint64_t width, double flatness);

  StructurePort inputBezierPaths{this, "inputBezierPaths"};
  IndexPort inputWidth{this, "inputWidth"};
  NumberPort inputFlatness{this, "inputFlatness"};
  StructurePort outputGrid{this, "outputGrid"};
};

}  // namespace vellum
