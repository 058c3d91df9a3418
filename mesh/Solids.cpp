#include "mesh/Solids.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/PathTriangulation.h"
#include "path/ElementWalk.h"
#include "path/Resample.h"

namespace vellum {

namespace {

V2DVector3 minus(V2DVector3 a, V2DVector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

V2DVector3 cross(V2DVector3 u, V2DVector3 v) {
  return {u.y * v.z - u.z * v.y, u.z * v.x - u.x * v.z, u.x * v.y - u.y * v.x};
}

// Whether a corner can be written: finite once rounded to thousandths (the rounding multiplies
// by 1000, so coordinates beyond about 3.4e35 overflow).
bool storable(V2DVector3 p) {
  const V2DVector3 r = V2DVector3Rounded(p);
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.z);
}

// The face normal of the triangle a, b, c: the fast normalization of (b - a) x (c - a), formed in
// single precision. When single precision over- or underflows on a triangle that still has a
// direction, the same cross product is taken in double precision from the same corners, scaled.
// Answers false only for a triangle without area (collinear or coincident corners).
bool faceNormal(V2DVector3 a, V2DVector3 b, V2DVector3 c, V2DVector3& n) {
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

}  // namespace

Structure lineStructureForBezierPath(const BezierPath* path) {
  std::vector<double> numbers;
  if (!path) return {};
  auto finite = [](Point p) { return std::isfinite(p.x) && std::isfinite(p.y); };
  forEachSegment(*path, [&](Point previous, Point q) {
    if (!finite(previous) || !finite(q)) return;
    numbers.insert(numbers.end(), {previous.x, previous.y, 0.0, q.x, q.y, 0.0});
  });
  return Structure::withNumberRows(3, std::move(numbers));
}

void extrusionWalls(const BezierPath* path, float d, bool s, V2DTriangleList& triangles,
                    V2DTriangleIndexMap& triangleIndices) {
  if (!path) return;
  // With no thickness once written, the walls are lines; the two caps already close the sheet.
  if (!std::isfinite(d) || V2DVector3Rounded({0, 0, d}).z == 0) return;
  V2DTriangleIndexMap* map = s ? &triangleIndices : nullptr;
  forEachSegment(*path, [&](Point previous, Point q) {
    const float px = float(previous.x), py = float(previous.y), cx = float(q.x), cy = float(q.y);
    const V2DVector3 p0{px, py, 0}, c0{cx, cy, 0}, c1{cx, cy, d}, p1{px, py, d};
    // A wall whose ends are one stored position has no area; leaving it out keeps the solid
    // closed (its neighbours already meet there).
    V2DVector3 n1, n2;
    if (storable(p1) && storable(c1) && !(V2DVector3Rounded(p0) == V2DVector3Rounded(c0)) &&
        faceNormal(p0, c0, c1, n1) && faceNormal(c1, p1, p0, n2)) {
      V2DAppendTriangle(triangles, map, p0, c0, c1, n1, s);
      V2DAppendTriangle(triangles, map, c1, p1, p0, n2, s);
    }
  });
}

V2DTriangleList extrusionCaps(const BezierPath* path, bool conform, float depth, bool front, bool back,
                              V2DTriangleList& triangles) {
  V2DTriangleList backCap;
  if (!path || (!front && !back)) return backCap;
  V2DTriangleIndexMap unused;
  if (!front) {
    _triangleStructureForBezierPath(path, conform, 0.0f, true, backCap, unused);
    return backCap;
  }
  const size_t first = triangles.size();
  _triangleStructureForBezierPath(path, conform, depth, false, triangles, unused);
  if (!back) return backCap;
  backCap.reserve(triangles.size() - first);
  for (size_t i = triangles.size(); i-- > first;) {
    V2DTriangleRecord r = triangles[i];
    std::swap(r.corners[0], r.corners[2]);
    for (V2DVector3& c : r.corners) c.z = 0;
    r.normal = {0, 0, -1};
    backCap.push_back(r);
  }
  return backCap;
}

void latheBezierPath(const BezierPath* path, const LatheSweep& sweep, V2DTriangleList& triangles,
                     V2DTriangleIndexMap& triangleIndices) {
  if (!path) return;
  const bool s = sweep.smooth;
  const bool topCap = sweep.topCap, bottomCap = sweep.bottomCap;
  const uint64_t elementCount = path->elementCount();
  const double begin = sweep.begin, end = sweep.end;
  uint64_t steps = sweep.steps;
  if (steps == 0 || !std::isfinite(begin) || !std::isfinite(end)) return;

  const uint64_t segments = V2DLineSegmentCount(*path);
  if (segments == 0) return;
  const uint64_t perStep = 2 * segments + (topCap ? 1 : 0) + (bottomCap ? 1 : 0);
  steps = std::min(steps, kMaxLatheTriangles / perStep);
  if (steps == 0) return;
  const double delta = (end - begin) / double(steps);
  if (!std::isfinite(delta)) return;

  // The angles of the rings, by repeated addition; every segment revolves through the same ones.
  constexpr double kPi = 3.141592653589793;
  std::vector<double> cosines(steps + 1), sines(steps + 1);
  double angle = begin;
  for (uint64_t k = 0; k <= steps; ++k) {
    const double theta = angle * kPi / 180;
    cosines[k] = std::cos(theta);
    sines[k] = std::sin(theta);
    angle += delta;
  }
  auto revolve = [&](Point p, uint64_t ring) -> V2DVector3 {
    return {float(p.x * cosines[ring]), float(p.y), float(p.x * sines[ring])};
  };

  V2DTriangleIndexMap* map = s ? &triangleIndices : nullptr;
  triangles.reserve(triangles.size() + steps * perStep);
  if (map) map->reserve(map->size() + (segments + 3) * (steps + 1));
  auto append = [&](V2DVector3 a, V2DVector3 b, V2DVector3 c) {
    V2DVector3 n;
    if (storable(a) && storable(b) && storable(c) && faceNormal(a, b, c, n)) V2DAppendTriangle(triangles, map, a, b, c, n, s);
  };

  uint64_t segment = 0;
  forEachSegment(*path, [&](Point p, Point c) {
    const bool top = topCap && segment == 0;
    // The end of the segment numbered E - 2: the last segment of a single open profile.
    const bool bottom = bottomCap && segment + 2 == elementCount;
    const V2DVector3 ap{0, float(p.y), 0}, ac{0, float(c.y), 0};
    const bool bandFromC = std::fabs(c.x) > 0.0001, bandFromP = std::fabs(p.x) > 0.0001;
    for (uint64_t k = 1; k <= steps; ++k) {
      const V2DVector3 p0 = revolve(p, k - 1), p1 = revolve(p, k), c0 = revolve(c, k - 1), c1 = revolve(c, k);
      if (top) append(ap, p1, p0);
      if (bandFromC) append(p0, c1, c0);
      if (bandFromP) append(p1, c1, p0);
      if (bottom) append(c1, ac, c0);
    }
    ++segment;
  });
}

uint64_t gridEffectiveWidth(uint64_t width, uint64_t rows) {
  if (rows == 0 || kMaxGridVertices / rows < 2) return 0;
  return std::min(width, kMaxGridVertices / rows - 1);
}

std::vector<std::vector<Point>> gridRowsForBezierPaths(const std::vector<BezierPathRef>& paths, uint64_t width,
                                                       double flatness) {
  std::vector<std::vector<Point>> rows;
  rows.reserve(paths.size());
  for (const BezierPathRef& path : paths) {
    const auto resampled = resampleBezierPath(path.get(), double(width), kNoPointLimit, false, flatness, true);
    std::vector<Point>& row = rows.emplace_back();
    V2DBezierPathEnumerator e = resampled->enumerator();
    while (auto element = e.next()) {
      const Point p = element->points[0];
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
        row.clear();
        break;
      }
      row.push_back(p);
    }
  }
  return rows;
}

Structure gridStructureFromRows(const std::vector<std::vector<Point>>& rows, uint64_t width) {
  static const Structure::Keys vertexKeys = KeyTable::of({"x", "y", "z", "u", "v", "r", "g", "b", "a"});
  const uint64_t h = rows.size() - 1;
  std::vector<Value> vertices;
  vertices.reserve((width + 1) * rows.size());
  for (size_t i = 0; i < rows.size(); ++i)
    for (size_t j = 0; j < rows[i].size(); ++j)
      vertices.push_back(Value(std::make_shared<const Structure>(
          std::vector<Value>{rows[i][j].x, rows[i][j].y, 0.0, double(j) / double(width + 1),
                             double(i) / double(h + 1), 1.0, 1.0, 1.0, 1.0},
          vertexKeys)));
  Structure grid(std::move(vertices), "vertex_");
  grid.setMember(Value(width), "width");
  grid.setMember(Value(h), "height");
  return grid;
}

}  // namespace vellum
