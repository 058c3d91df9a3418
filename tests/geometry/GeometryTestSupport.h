// Shared helpers for the geometry tests: paths from point lists, and measures of a triangle list.
#pragma once

#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "patches/geometry/V2DTriangleStructurePatch.h"

namespace vellum::test {

// One subpath per list: move, lines, and a close when `closed`.
inline std::shared_ptr<BezierPath> polyline(std::initializer_list<std::vector<Point>> runs, bool closed = true) {
  auto path = BezierPath::bezierPath();
  for (const auto& run : runs) {
    path->moveToPoint(run[0]);
    for (size_t i = 1; i < run.size(); ++i) path->lineToPoint(run[i]);
    if (closed) path->closePath();
  }
  return path;
}

// One closed subpath per list, filled under `rule`.
inline std::shared_ptr<BezierPath> polygonPath(std::initializer_list<std::vector<Point>> rings, int rule = NonZeroWindingRule) {
  auto path = polyline(rings);
  path->setWindingRule(rule);
  return path;
}

// Area enclosed by a closed ring (shoelace), whatever its direction.
inline double ringArea(const std::vector<Point>& ring) {
  double twice = 0;
  for (size_t i = 0; i < ring.size(); ++i) {
    const Point a = ring[i], b = ring[(i + 1) % ring.size()];
    twice += a.x * b.y - b.x * a.y;
  }
  return std::fabs(twice) / 2;
}

inline std::vector<Point> square(double x, double y, double size, bool counterClockwise = true) {
  std::vector<Point> p = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}};
  if (!counterClockwise) std::swap(p[1], p[3]);
  return p;
}

inline V2DTriangleList triangulate(const BezierPath& path, bool conform = false, float z = 0, bool backfaces = false) {
  V2DTriangleList list;
  V2DTriangleIndexMap map;
  _triangleStructureForBezierPath(&path, conform, z, backfaces, list, map);
  return list;
}

// Signed area (counter-clockwise positive) of one record, seen from +z.
inline double signedArea(const V2DTriangleRecord& t) {
  const auto& a = t.corners[0];
  const auto& b = t.corners[1];
  const auto& c = t.corners[2];
  return 0.5 * ((double(b.x) - a.x) * (double(c.y) - a.y) - (double(b.y) - a.y) * (double(c.x) - a.x));
}

inline double totalArea(const V2DTriangleList& list) {
  double sum = 0;
  for (const auto& t : list) sum += std::fabs(signedArea(t));
  return sum;
}

// Area of the triangles of a phase-2 result, in double precision (no rounding to thousandths).
inline double exactArea(const V2DTriangulation& t, double* minSigned = nullptr) {
  double sum = 0, least = INFINITY;
  for (size_t i = 0; i + 2 < t.triangles.size(); i += 3) {
    const Point a = t.vertices[t.triangles[i]], b = t.vertices[t.triangles[i + 1]], c = t.vertices[t.triangles[i + 2]];
    const double s = 0.5 * ((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
    sum += s;
    least = std::min(least, s);
  }
  if (minSigned) *minSigned = least;
  return sum;
}

// Whether every triangle's centroid is inside the path (by its own winding rule).
inline bool everyCentroidInside(const V2DTriangulation& t, const BezierPath& path) {
  for (size_t i = 0; i + 2 < t.triangles.size(); i += 3) {
    const Point a = t.vertices[t.triangles[i]], b = t.vertices[t.triangles[i + 1]], c = t.vertices[t.triangles[i + 2]];
    if (!path.containsPoint({(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3})) return false;
  }
  return true;
}

inline V2DTriangulation phase2(const BezierPath& path, bool conform = false) {
  return triangulateWithConstraints(V2DCollectTriangulationInput(path), path.windingRule() == EvenOddWindingRule, conform);
}

inline bool noNaN(const V2DTriangleList& list) {
  for (const auto& t : list)
    for (const auto& v : {t.corners[0], t.corners[1], t.corners[2], t.normal})
      if (std::isnan(v.x) || std::isnan(v.y) || std::isnan(v.z)) return false;
  return true;
}

}  // namespace vellum::test
