// Small single-precision helpers shared by the extrusion and the lathe.
#pragma once

#include <algorithm>
#include <cmath>

#include "mesh/V2DMeshStructure.h"
#include "path/BezierPath.h"
#include "path/ElementWalk.h"

namespace vellum::solids {

inline V2DVector3 minus(V2DVector3 a, V2DVector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

inline V2DVector3 cross(V2DVector3 u, V2DVector3 v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

// Whether a corner can be written: finite once rounded to thousandths (the rounding multiplies
// by 1000, so coordinates beyond about 3.4e35 overflow).
inline bool storable(V2DVector3 p) {
  const V2DVector3 r = V2DVector3Rounded(p);
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z);
}

// The face normal of the triangle a, b, c: the fast normalization of (b - a) x (c - a), formed in
// single precision. When single precision over- or underflows on a triangle that still has a
// direction, the same cross product is taken in double precision from the same corners, scaled.
// Answers false only for a triangle without area (collinear or coincident corners).
inline bool faceNormal(V2DVector3 a, V2DVector3 b, V2DVector3 c, V2DVector3& n) {
  if (V2DFastNormalize(cross(minus(b, a), minus(c, a)), n)) return true;
  const double ux = double(b.x) - a.x, uy = double(b.y) - a.y, uz = double(b.z) - a.z;
  const double vx = double(c.x) - a.x, vy = double(c.y) - a.y, vz = double(c.z) - a.z;
  double x = uy * vz - uz * vy, y = uz * vx - ux * vz, z = ux * vy - uy * vx;
  const double m = std::max({std::fabs(x), std::fabs(y), std::fabs(z)});
  if (!(m > 0) || !std::isfinite(m)) return false;
  x /= m, y /= m, z /= m;
  const double l = std::sqrt(x * x + y * y + z * z);
  n = {float(x / l), float(y / l), float(z / l)};
  return true;
}

// Calls f(P, C) for each line and close element of a flattened path, in order: P the previous
// point (at first (0, 0)), C the element's end point (a curve, not expected here, stands in by
// its end point).
template <class F>
void forEachSegment(const BezierPath& path, F&& f) {
  ElementWalk walk(path);
  Point previous{0, 0};
  for (size_t i = 0; i < walk.size(); ++i) {
    const BezierPathElement kind = walk.kind(i);
    const Point c = walk.next(i);
    if (kind != BezierPathElement::MoveTo) f(previous, c);
    previous = c;
  }
}

}  // namespace vellum::solids
