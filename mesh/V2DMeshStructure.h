// Triangle records, the triangle list and index map, and the mesh writer that every mesh patch
// (triangle structure, extrusion, lathe) uses to build its output structure.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "host/Structure.h"
#include "path/V2DVector3.h"

namespace vellum {

// One triangle: three corners (counter-clockwise seen from where the normal points), the face
// normal and whether the mesh writer may smooth its corners. Corners and normal are stored as
// V2DVector3 values store them: rounded to thousandths, zero as +0.
struct V2DTriangleRecord {
  V2DVector3 corners[3];
  V2DVector3 normal;
  bool smoothable = false;
};

using V2DTriangleList = std::vector<V2DTriangleRecord>;
// Corner position -> indices of the smoothable triangles touching it, in append order (a
// triangle with the position at two corners is listed twice).
using V2DTriangleIndexMap = std::unordered_map<V2DVector3, std::vector<uint32_t>, V2DVector3Hash>;

// Appends a record (rounding corners and normal as a V2DVector3 value does). When smoothable,
// its index is listed under each of its corners in `triangleIndices` (which may be null).
void V2DAppendTriangle(V2DTriangleList& triangles, V2DTriangleIndexMap* triangleIndices, V2DVector3 a, V2DVector3 b,
                       V2DVector3 c, V2DVector3 normal, bool smoothable);

// (x, y, z) times an estimate of 1/sqrt((x*x + y*y) + z*z), in single precision. Answers false
// (and leaves `out` alone) when the vector has no direction: zero, too small or too large for
// single precision, or not finite.
bool V2DFastNormalize(V2DVector3 v, V2DVector3& out);

// The mesh structure: members keyed "0", "1", ... (three per record, in list order), each a
// structure of "X", "Y", "Z", "NX", "NY", "NZ". With `smooth`, a smoothable record's corners get
// the normalized sum of the face normals listed under their position (worked out once per
// position). A position whose listed normals sum to no direction gives each such corner its own
// triangle's face normal (not cached); a face normal that is itself not finite is written as
// (0, 0, 0). No NaN or infinity is ever written as a normal.
Structure V2DMeshStructureFromTriangles(const V2DTriangleList& triangles, const V2DTriangleIndexMap& triangleIndices,
                                        bool smooth);

}  // namespace vellum
